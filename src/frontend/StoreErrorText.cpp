// SPDX-License-Identifier: GPL-3.0-or-later
#include "frontend/StoreErrorText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quillet {

namespace {

using Kind = StoreError::Kind;
using Step = StoreError::Step;

QString Tr(const char* text) {
    return QCoreApplication::translate("quillet::StoreErrorText", text);
}

QString Joined(const QStringList& names) {
    return names.join(QStringLiteral(", "));
}

/// What went wrong, without the file.
QString Problem(const StoreError& e) {
    switch (e.kind) {
        case Kind::Missing:
            return Tr("file not found");
        case Kind::Folder:
            return Tr("it is a folder");
        case Kind::Unreadable:
            return e.reason.isEmpty() ? Tr("the file cannot be opened")
                                      : Tr("the file cannot be opened (%1)").arg(e.reason);
        case Kind::NotADatabase:
            return Tr("the file is not a word-list database");
        case Kind::Damaged:
            return Tr("the file is damaged");
        case Kind::Locked:
            return Tr("the file is locked by another program");
        case Kind::ReadOnly:
            return Tr("the file cannot be written (it is read-only)");
        case Kind::DiskFull:
            return Tr("the disk is full");
        case Kind::NoTable:
            return Tr("the table %1 is missing").arg(e.table);
        case Kind::NoField:
            return Tr("the table %1 has no field %2 (its fields: %3)")
                .arg(e.table, e.field, Joined(e.found));
        case Kind::NoIndex:
            return Tr("the table %1 has no index %2").arg(e.table, e.index);
        case Kind::IndexOnOtherFields:
            return Tr("the index %1 of the table %2 is on %3, not on the field %4 alone")
                .arg(e.index, e.table, Joined(e.found), e.field);
        case Kind::IndexUnusable:
            return Tr("the index %1 on %2 (%3) cannot serve lookups")
                .arg(e.index, e.table, e.field);
        case Kind::Duplicate:
            if (e.listed == e.entry) return Tr("the %1 already holds \"%2\"").arg(e.list, e.listed);
            return Tr("the %1 already holds \"%2\", which differs from \"%3\" only in letter case")
                .arg(e.list, e.listed, e.entry);
        case Kind::NotText:
            return Tr("the entry cannot be stored, as %1").arg(e.reason);
        case Kind::NoIndexSelected:
            return Tr("no index selected");
        case Kind::NoCurrentEntry:
            return Tr("no entry to delete");
        case Kind::FolderNotMade:
            return Tr("cannot create the folder %1 (%2)")
                .arg(QDir::toNativeSeparators(QFileInfo(e.file).absolutePath()), e.reason);
        case Kind::None:
        case Kind::NoDataFolder:
        case Kind::NotWritten:
        case Kind::Other:
            break;
    }
    return e.reason;
}

/// What the store was doing, where it says more than opening the file.
QString Doing(Step step) {
    switch (step) {
        case Step::Opening:
            break;
        case Step::ReadingTables:
            return Tr("reading the tables");
        case Step::ReadingIndexes:
            return Tr("reading the indexes");
        case Step::LookingUp:
            return Tr("looking up an entry");
        case Step::Counting:
            return Tr("counting the entries");
        case Step::ReadingEntries:
            return Tr("reading the entries");
        case Step::Adding:
            return Tr("adding an entry");
        case Step::Deleting:
            return Tr("deleting an entry");
        case Step::Storing:
            return Tr("storing the changes");
        case Step::Creating:
            return Tr("creating the file");
    }
    return QString();
}

}  // namespace

QString StoreErrorText(const StoreError& error) {
    if (error.kind == Kind::NoDataFolder) {
        return Tr(
            "The word lists cannot be made: no per-user data folder is known (HOME is not "
            "set).");
    }
    QString problem = Problem(error);
    if (const QString doing = Doing(error.step); !doing.isEmpty()) {
        problem = doing + QStringLiteral(": ") + problem;
    }
    return Tr("Word-list database \"%1\": %2.").arg(QDir::toNativeSeparators(error.file), problem);
}

}  // namespace quillet
