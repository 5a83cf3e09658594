#include "documents/DocumentFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace quillet {

namespace {

FileResult Failed(FileResult::Failure failure, QString reason) {
    return FileResult{failure, std::move(reason)};
}

}  // namespace

FileResult::Failure ClassifyFileError(QFileDevice::FileError error, const QString& errorString) {
    if (error == QFileDevice::NoError) return FileResult::Failure::None;
    // Qt reports the system's reason as text; match it against the reasons it gives for the
    // error numbers that matter here.
    for (int code : {ENOSPC, EDQUOT}) {
        if (errorString.contains(qt_error_string(code), Qt::CaseInsensitive)) {
            return FileResult::Failure::DiskFull;
        }
    }
    if (error == QFileDevice::PermissionsError) return FileResult::Failure::Permission;
    for (int code : {EACCES, EPERM, EROFS, ETXTBSY}) {
        if (errorString.contains(qt_error_string(code), Qt::CaseInsensitive)) {
            return FileResult::Failure::Permission;
        }
    }
    if (errorString.contains(qt_error_string(ENOENT), Qt::CaseInsensitive)) {
        return FileResult::Failure::NotFound;
    }
    return FileResult::Failure::Other;
}

std::optional<QByteArray> ReadDocumentBytes(const QString& path, FileResult* result) {
    const QFileInfo info(path);
    if (!info.exists()) {
        if (result)
            *result = Failed(FileResult::Failure::NotFound, QStringLiteral("file not found"));
        return std::nullopt;
    }
    if (info.isDir()) {
        if (result) *result = Failed(FileResult::Failure::Other, QStringLiteral("it is a folder"));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (result)
            *result =
                Failed(ClassifyFileError(file.error(), file.errorString()), file.errorString());
        return std::nullopt;
    }
    // Read until the end rather than trusting the size: pipes and growing files have none.
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (result)
            *result =
                Failed(ClassifyFileError(file.error(), file.errorString()), file.errorString());
        return std::nullopt;
    }
    if (result) *result = FileResult{};
    return bytes;
}

FileResult AtomicFileWriter::Write(const QString& path, QByteArrayView bytes) {
    // A target marked read-only stays untouched, even for a user the system would let
    // replace it.
    const QFileInfo target(path);
    if (target.exists() && !target.isDir() && !(target.permissions() & QFileDevice::WriteOwner)) {
        return Failed(FileResult::Failure::Permission, QStringLiteral("the file is read-only"));
    }
    if (target.isDir()) return Failed(FileResult::Failure::Other, QStringLiteral("it is a folder"));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return Failed(ClassifyFileError(file.error(), file.errorString()), file.errorString());
    }
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        const FileResult failed =
            Failed(ClassifyFileError(file.error(), file.errorString()), file.errorString());
        file.cancelWriting();
        return failed;
    }
    if (!file.commit()) {
        return Failed(ClassifyFileError(file.error(), file.errorString()), file.errorString());
    }
    return {};
}

FileResult SaveDocument(DocumentWriter& writer, const QString& path, QStringView text,
                        const TextEncoding& encoding) {
    qsizetype bad = -1;
    const std::optional<QByteArray> bytes = encoding.encode(text, &bad);
    if (!bytes) {
        return Failed(FileResult::Failure::Unencodable, encoding.describeUnencodable(text, bad));
    }
    return writer.Write(path, *bytes);
}

}  // namespace quillet
