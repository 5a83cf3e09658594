// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordlists/WordListLocation.h"

#include "wordlists/DefaultWordLists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

namespace quillet {

QString PerUserDatabasePath() {
    // The generic data folder, not the application's: the folder is "quillet" whatever
    // name the running program gives itself.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return QString();
    return QDir(data).absoluteFilePath(QStringLiteral("quillet/") + DefaultDatabasePath());
}

WordListLocation WordListLocation::Choose(const QString& given) {
    if (!given.isEmpty()) return {QFileInfo(given).absoluteFilePath(), Origin::Given};
    const QFileInfo local(DefaultDatabasePath());
    if (local.exists() || local.isSymLink()) {
        return {local.absoluteFilePath(), Origin::WorkingFolder};
    }
    return {PerUserDatabasePath(), Origin::PerUser};
}

bool WordListLocation::Prepare(bool* created, StoreError* error) const {
    if (created) *created = false;
    if (origin_ != Origin::PerUser) return true;
    auto fail = [&](StoreError::Kind kind, const QString& reason = QString()) {
        if (error) *error = StoreError{.kind = kind, .file = path_, .reason = reason};
        return false;
    };
    if (path_.isEmpty()) return fail(StoreError::Kind::NoDataFolder);
    // Anything at the path, even a dangling link, is left for opening to report.
    const QFileInfo info(path_);
    if (info.exists() || info.isSymLink()) return true;

    std::error_code failure;
    std::filesystem::create_directories(QFile::encodeName(info.absolutePath()).toStdString(),
                                        failure);
    if (failure) {
        return fail(StoreError::Kind::FolderNotMade, QString::fromStdString(failure.message()));
    }
    StoreError refused;
    if (CreateWordListDatabase(path_, &refused)) {
        if (created) *created = true;
        return true;
    }
    // Another program may have made the file meanwhile; then that one is used.
    if (QFileInfo::exists(path_)) return true;
    if (error) *error = refused;
    return false;
}

}  // namespace quillet
