// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WordListLookup.h"
#include "wordlists/WordListStore.h"

#include <QString>
#include <QStringView>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace quillet {

/// Both word lists, read from the store once and held in memory, unchanging: many passes,
/// in many threads at once, look names up in it without the database. It answers as a
/// seek on the store would, by the comparison the store's index uses (exact, ASCII letters
/// in any case, or trailing spaces ignored).
class WordListSnapshot {
  public:
    /// Reads both lists of the database at `path`, waiting for another program's lock as
    /// `wait` says; null with `*error` set when the store fails.
    static std::shared_ptr<const WordListSnapshot> Read(const QString& path, StoreError* error,
                                                        LockWait wait = {});

    /// Whether the skip list holds `name` converted to lower case, as a pass looks it up.
    bool inSkipList(QStringView name) const { return skip_.holds(name); }
    /// Whether the include list holds `name` converted to lower case.
    bool inIncludeList(QStringView name) const { return include_.holds(name); }

  private:
    /// One list as a set of entries, each in the form its comparison reads it. The short
    /// ASCII names that tags mostly have are also held packed into a number each, in a
    /// small table that answers without hashing a string.
    class List {
      public:
        void fill(const QStringList& entries, const QString& collation);
        bool holds(QStringView name) const;

      private:
        std::u16string key(QStringView entry) const;
        /// `name` lower-cased and in its comparison's form, packed a byte a character;
        /// 0 when it is not 1 to 8 ASCII characters (without NUL).
        quint64 packed(QStringView name) const;

        bool foldCase_ = false;
        bool trimEnd_ = false;
        bool holdsEmpty_ = false;
        std::unordered_set<std::u16string> entries_;
        std::vector<quint64> table_;  // open addressing; 0 is an empty slot
    };

    List skip_;
    List include_;
};

/// Hands each pass a lookup over one shared snapshot of the lists (none: the lists are
/// missing).
class SnapshotListSource final : public WordListSource {
  public:
    explicit SnapshotListSource(std::shared_ptr<const WordListSnapshot> lists)
        : lists_(std::move(lists)) {}

    std::unique_ptr<WordListLookup> openLists(StoreError* error) override;

  private:
    std::shared_ptr<const WordListSnapshot> lists_;
};

}  // namespace quillet
