// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/SaveMessages.h"

#include "windows/Translations.h"

#include <QDir>
#include <QFileInfo>

namespace quillet {

QString SaveFailureMessage(const FileResult& result, const QString& path) {
    switch (result.failure) {
        case FileResult::Failure::None:
            return QString();
        case FileResult::Failure::DiskFull:
            return MainFormTr("Not enough space on the destination disk");
        case FileResult::Failure::Permission:
            return MainFormTr("File is locked or write protected");
        case FileResult::Failure::Unencodable:
            return MainFormTr("The file was not saved: %1.").arg(result.reason);
        case FileResult::Failure::NotFound:
        case FileResult::Failure::Other:
            break;
    }
    // The folder may have been removed or renamed since the dialog showed it.
    const QFileInfo target(path);
    if (!target.absoluteDir().exists()) {
        return MainFormTr("The file was not saved: the folder %1 no longer exists.")
            .arg(QDir::toNativeSeparators(target.absolutePath()));
    }
    if (!result.reason.isEmpty()) {
        return MainFormTr("The file was not saved: %1.")
            .arg(QDir::toNativeSeparators(path) + QStringLiteral(": ") + result.reason);
    }
    return MainFormTr("Couldn't copy the database. Reason unknown.");
}

}  // namespace quillet
