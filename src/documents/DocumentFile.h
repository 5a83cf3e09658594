#pragma once

#include "documents/TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QString>
#include <QStringView>
#include <optional>

namespace quillet {

/// Why reading or writing a document failed.
struct FileResult {
    enum class Failure {
        None,
        NotFound,     ///< no such file
        Permission,   ///< access denied, the file is read-only, or the medium is
        DiskFull,     ///< no space left (or the quota is used up)
        Unencodable,  ///< a character of the text has no bytes in the page's encoding
        Other,
    };
    Failure failure = Failure::None;
    /// The reason in words, without the file name ("no space left on device").
    QString reason;

    bool ok() const { return failure == Failure::None; }
};

/// Reads a whole file's bytes.
std::optional<QByteArray> ReadDocumentBytes(const QString& path, FileResult* result);

/// Writes a document's bytes to a path. An interface so that tests can make it fail.
class DocumentWriter {
  public:
    virtual ~DocumentWriter() = default;
    virtual FileResult Write(const QString& path, QByteArrayView bytes) = 0;
};

/// Writes through a temporary file in the target's folder, flushed to disk and renamed
/// over the target: a failure leaves an existing target as it was and no temporary file.
class AtomicFileWriter final : public DocumentWriter {
  public:
    FileResult Write(const QString& path, QByteArrayView bytes) override;
};

/// The failure kind of a file error, from Qt's error code and the system's reason text.
FileResult::Failure ClassifyFileError(QFileDevice::FileError error, const QString& errorString);

/// Encodes `text` in `encoding` (with its byte-order mark, if it has one) and writes it
/// through `writer`; nothing is written when a character cannot be encoded.
FileResult SaveDocument(DocumentWriter& writer, const QString& path, QStringView text,
                        const TextEncoding& encoding = TextEncoding::Windows1252());

}  // namespace quillet
