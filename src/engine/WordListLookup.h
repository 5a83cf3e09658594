// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/StoreError.h"

#include <QString>
#include <QStringView>
#include <memory>
#include <optional>

namespace quillet {

/// The two word lists as one Fix File pass sees them, open for the length of the pass.
class WordListLookup {
  public:
    virtual ~WordListLookup() = default;

    /// Whether the skip list holds `name`; nullopt when the store failed (see lastError).
    virtual std::optional<bool> inSkipList(QStringView name) = 0;
    /// Whether the include list holds `name`; nullopt when the store failed.
    virtual std::optional<bool> inIncludeList(QStringView name) = 0;
    /// Why the last failed lookup failed.
    virtual StoreError lastError() const = 0;
    /// Whether a name gets the same answer however often it is asked while the lists are
    /// open, so that a pass may keep the answers and ask each name once. False, the
    /// default: the pass asks at every tag.
    virtual bool answersFixed() const { return false; }
};

/// Opens the word lists at the start of each pass.
class WordListSource {
  public:
    virtual ~WordListSource() = default;

    /// Both lists, open until the returned object is destroyed; null with `*error` set
    /// when they cannot be opened.
    virtual std::unique_ptr<WordListLookup> openLists(StoreError* error) = 0;
};

}  // namespace quillet
