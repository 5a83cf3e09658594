// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/SaveMessages.h"

#include "common/Translations.h"

namespace quillet {

QString SaveFailureMessage(const FileResult& result) {
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
    return MainFormTr("Couldn't copy the database. Reason unknown.");
}

}  // namespace quillet
