#include "mainwindow/SaveMessages.h"

#include <QCoreApplication>

namespace quillet {

namespace {
QString Tr(const char* text) {
    return QCoreApplication::translate("quillet::MainForm", text);
}
}  // namespace

QString SaveFailureMessage(const FileResult& result) {
    switch (result.failure) {
        case FileResult::Failure::None:
            return QString();
        case FileResult::Failure::DiskFull:
            return Tr("Not enough space on the destination disk");
        case FileResult::Failure::Permission:
            return Tr("File is locked or write protected");
        case FileResult::Failure::Unencodable:
            return Tr("The file was not saved: %1.").arg(result.reason);
        case FileResult::Failure::NotFound:
        case FileResult::Failure::Other:
            break;
    }
    return Tr("Couldn't copy the database. Reason unknown.");
}

}  // namespace quillet
