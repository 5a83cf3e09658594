// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace quillet {

/// Why the word lists failed: what went wrong and at which step, with the file and the
/// system's reason. The store fills it in and the engine passes it on; each program words
/// it for its user.
struct StoreError {
    enum class Kind {
        None,
        Missing,             ///< the file does not exist
        Folder,              ///< the path names a folder
        Unreadable,          ///< the file cannot be opened; `reason` says why, when known
        NotADatabase,        ///< the file is not a database
        Damaged,             ///< the database is damaged
        Locked,              ///< another program holds the file locked
        ReadOnly,            ///< the file cannot be written
        DiskFull,            ///< the disk is full
        NoTable,             ///< `table` is missing
        NoField,             ///< `table` has no `field`; `found` holds its fields
        NoIndex,             ///< `table` has no `index`
        IndexOnOtherFields,  ///< `index` is on `found`, not on `field` alone
        IndexUnusable,       ///< `index` cannot serve lookups of `field`
        Duplicate,           ///< `list` holds `listed`, equal to `entry` but perhaps for case
        NotText,             ///< `entry` is no text to store; `reason` says why
        NoIndexSelected,     ///< a seek or walk came before the index was selected
        NoCurrentEntry,      ///< a delete came without an entry found by a seek
        NoDataFolder,        ///< no per-user data folder is known to make the file in
        FolderNotMade,       ///< the file's folder cannot be made; `reason` says why
        NotWritten,          ///< a new file cannot be written; `reason` says why
        Other,               ///< `reason` is the store's own account
    };
    /// What the store was doing when it failed.
    enum class Step {
        Opening,
        ReadingTables,
        ReadingIndexes,
        LookingUp,
        Counting,
        ReadingEntries,
        Adding,
        Deleting,
        Storing,  ///< beginning or ending a change of several entries
        Creating,
    };

    // Every member has an initializer, so that a designated initializer may leave it out.
    Kind kind = Kind::None;
    Step step = Step::Opening;
    QString file{};    ///< the database file, absolute
    QString reason{};  ///< the system's reason, where it gave one
    // The names the schema kinds and Duplicate report.
    QString list{};  ///< the list's name, "skip list" or "include list"
    QString table{};
    QString field{};
    QString index{};
    QStringList found{};
    QString entry{};   ///< the entry given
    QString listed{};  ///< the entry the list holds
};

}  // namespace quillet
