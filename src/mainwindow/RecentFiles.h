// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace quillet {

/// The pages opened last, newest first, kept in the program's settings so that the next
/// start offers them too.
class RecentFiles {
  public:
    /// How many pages the list keeps.
    static constexpr int kMaximum = 8;
    /// The settings key of the list.
    static const QString kKey;

    /// The pages, newest first; at most kMaximum.
    QStringList paths() const;
    /// Puts `path` (made absolute) first; an older place of it goes, and so does the
    /// oldest page beyond kMaximum.
    void add(const QString& path);
    /// Takes `path` off the list.
    void remove(const QString& path);
    /// Empties the list.
    void clear();
};

}  // namespace quillet
