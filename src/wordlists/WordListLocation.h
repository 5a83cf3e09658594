// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wordlists/WordListStore.h"

#include <QString>

namespace quillet {

/// Where a program takes its word lists from. Both programs choose the same way: the file
/// named on the command line; else SkipList.db in the working folder when it exists; else
/// the user's own file in the per-user data folder, made from the default lists the first
/// time it is needed.
class WordListLocation {
  public:
    enum class Origin {
        Given,          ///< named on the command line
        WorkingFolder,  ///< SkipList.db in the working folder
        PerUser,        ///< the user's own file in the per-user data folder
    };

    /// Chooses the file; `given` (relative to the working folder) wins when not empty.
    static WordListLocation Choose(const QString& given);

    /// The absolute path of the file; empty when the per-user data folder is unknown.
    const QString& path() const { return path_; }
    Origin origin() const { return origin_; }

    /// Makes the per-user file, with its folder, from the default lists when it does not
    /// exist yet. A file that exists is never touched, whatever it holds, and a given or
    /// working-folder file is never made: opening it reports what is wrong. False with
    /// `error` set when making the file failed; `created` tells whether this call made it.
    bool Prepare(bool* created, StoreError* error) const;

  private:
    WordListLocation(QString path, Origin origin) : path_(std::move(path)), origin_(origin) {}

    QString path_;
    Origin origin_;
};

/// The per-user word-list file: SkipList.db in the folder "quillet" of the user's data
/// folder ($XDG_DATA_HOME, by default ~/.local/share). Empty when no such folder is known.
QString PerUserDatabasePath();

}  // namespace quillet
