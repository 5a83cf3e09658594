// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/TextEncoding.h"
#include "documents/Utf8Check.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringView>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace quillet {

/// Why reading or writing a document failed.
struct FileResult {
    enum class Failure {
        None,
        NotFound,     ///< no such file
        Permission,   ///< access denied, the file is read-only, or the medium is
        DiskFull,     ///< no space left, the quota is used up, or the file size limit is hit
        Unencodable,  ///< a character of the text has no bytes in the page's encoding
        Other,
    };
    Failure failure = Failure::None;
    /// The reason in words, without the file name ("the disk is full (No space left on
    /// device)").
    QString reason;

    bool ok() const { return failure == Failure::None; }
};

/// The failure kind of a system error number.
FileResult::Failure ClassifyErrno(int errorNumber);
/// The failure kind and reason of a system error number.
FileResult ResultForErrno(int errorNumber);

/// The largest page, in bytes, that reading accepts: what the process may hold as bytes
/// and as text at once (a third of the memory it may use, and no more than a string can
/// hold), unless lowered with SetDocumentSizeLimit.
qint64 DocumentSizeLimit();
/// Sets the limit that DocumentSizeLimit returns; 0 goes back to the memory's limit.
void SetDocumentSizeLimit(qint64 bytes);
/// The reason given for a page above the limit, or one that memory cannot hold.
QString TooLargeReason();

/// Reads a whole file's bytes: a regular file, or anything that can be read to its end
/// (a pipe, a device). A page larger than DocumentSizeLimit, or one that memory cannot
/// hold, is refused with TooLargeReason; an endless one stops there. With `check`, the
/// bytes are read a slice at a time, and each slice is checked for UTF-8 while it is still
/// in the processor's cache, which costs a fraction of a second pass over a large page.
std::optional<QByteArray> ReadDocumentBytes(const QString& path, FileResult* result,
                                            Utf8Check* check = nullptr);

/// Reads `device` to its end, with the limits of ReadDocumentBytes.
std::optional<QByteArray> ReadDeviceBytes(QIODevice& device, FileResult* result);

/// A document's bytes handed out as pieces, a batch at a time: a document made of very many
/// stretches of another one then needs neither a copy nor a list of them all.
class DocumentPieces {
  public:
    virtual ~DocumentPieces() = default;
    /// Puts the next pieces at the start of `room` (never empty) and says how many; 0 once
    /// all were handed out.
    virtual qsizetype next(std::span<QByteArrayView> room) = 0;
};

/// Writes a document's bytes to a path. An interface so that tests can make it fail.
class DocumentWriter {
  public:
    virtual ~DocumentWriter() = default;
    /// Writes `pieces` one after another as the document's bytes, so that a document made
    /// of stretches of another one needs no copy of its own.
    virtual FileResult Write(const QString& path, std::span<const QByteArrayView> pieces) = 0;
    /// The same with the pieces handed out by `pieces`. By default they are gathered into a
    /// list and written as above; the file writers write them a batch at a time.
    virtual FileResult Write(const QString& path, DocumentPieces& pieces);
    FileResult Write(const QString& path, QByteArrayView bytes) { return Write(path, {&bytes, 1}); }
};

/// Writes a regular file through a temporary file in its folder, each write checked and
/// the data synced to disk before it is renamed over the target, so that a failure leaves
/// an existing file as it was and no temporary file behind. A replaced file keeps its
/// permissions (and its owner where the system allows); a new one gets the usual
/// permissions of a new file. A symbolic link is followed: its target is replaced and
/// the link stays. A device, FIFO or socket is written in place and never replaced; a
/// folder, and a target without write permission (even for the superuser), are refused.
class AtomicFileWriter final : public DocumentWriter {
  public:
    using DocumentWriter::Write;
    FileResult Write(const QString& path, std::span<const QByteArrayView> pieces) override;
    FileResult Write(const QString& path, DocumentPieces& pieces) override;
};

/// Writes files as AtomicFileWriter does, but flushes many to disk together. Each Write
/// puts the new contents at once into a new file without a name beside the target (one
/// under a temporary name where the file system has none); CommitStagedFiles then flushes
/// them all, with one sync of each file system they are on, and only then puts each in its
/// target's place. So no target is replaced before its new contents are on disk, and a
/// program that ends before the commit leaves every target as it was. A device or FIFO is
/// written in place at once, as AtomicFileWriter writes it. The files of one object are a
/// group: a later one takes its place only when every earlier one has (a page only after
/// its backup).
class StagedFiles final : public DocumentWriter {
  public:
    StagedFiles();
    ~StagedFiles() override;
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    using DocumentWriter::Write;
    /// Writes the new contents of `path`; the target stays as it is until the commit.
    /// After a failure the group takes no more files.
    FileResult Write(const QString& path, std::span<const QByteArrayView> pieces) override;
    FileResult Write(const QString& path, DocumentPieces& pieces) override;
    /// The same, giving the new file the permissions (and, where the system allows, the
    /// owner) of the file `model` instead of those of the file it replaces.
    FileResult WriteLike(const QString& path, std::span<const QByteArrayView> pieces,
                         const QString& model);
    FileResult WriteLike(const QString& path, DocumentPieces& pieces, const QString& model);

    /// Says whether the targets written next lie in a folder made for them moments ago,
    /// which held nothing: they are then not looked for before they are written.
    void setFreshTargets(bool fresh) { freshTargets_ = fresh; }

    /// The number of files waiting for the commit, and their bytes.
    qsizetype count() const;
    qint64 bytes() const { return bytes_; }
    /// The first failure of the group, staging or commit, and the path it concerns.
    const FileResult& result() const { return result_; }
    const QString& failedPath() const { return failedPath_; }

  private:
    friend void CommitStagedFiles(std::span<StagedFiles* const> groups);
    FileResult fail(const QString& path, FileResult why);

    struct File;
    std::vector<std::unique_ptr<File>> files_;
    qint64 bytes_ = 0;
    bool freshTargets_ = false;
    FileResult result_;
    QString failedPath_;
};

/// Puts the staged files of `groups` in their targets' places: syncs them (one sync of each
/// file system when there are more than a few, else each file), checks each file, then
/// renames them group by group in the order they were written. A group stops at its first
/// failure, which its result() names; the groups are empty afterwards.
void CommitStagedFiles(std::span<StagedFiles* const> groups);

/// Writes a new file as AtomicFileWriter does, refusing to replace anything at `path`.
FileResult WriteNewFile(const QString& path, QByteArrayView bytes);

/// A key that two paths share exactly when they name the same file: the device and inode
/// of an existing file (links followed), else the absolute path the name resolves to.
QByteArray FileIdentityKey(const QString& path);
/// The key of an existing file from its device and inode, as FileIdentityKey gives it.
QByteArray FileIdentityKey(quint64 device, quint64 inode);

/// Encodes `text` in `encoding` (with its byte-order mark, if it has one) and writes it
/// through `writer`; nothing is written when a character cannot be encoded.
FileResult SaveDocument(DocumentWriter& writer, const QString& path, QStringView text,
                        const TextEncoding& encoding = TextEncoding::Windows1252());
/// The same for a text held as UTF-8 (valid UTF-8): a UTF-8 page is written from it as it
/// is, a Windows-1252 one converted straight from it.
FileResult SaveDocumentUtf8(DocumentWriter& writer, const QString& path, QByteArrayView text,
                            const TextEncoding& encoding);

}  // namespace quillet
