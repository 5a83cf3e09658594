// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/DocumentFile.h"

#include "documents/CodePage.h"
#include "documents/FileNames.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <new>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace quillet {

namespace {

/// What one read asks for while the size is unknown.
constexpr qint64 kReadChunk = qint64(1) << 16;

std::atomic<qint64> g_sizeLimit{0};

FileResult Failed(FileResult::Failure failure, QString reason) {
    return FileResult{failure, std::move(reason)};
}

/// A third of the memory the process may use: a page is held as bytes and as text, two
/// bytes a character, while it is decoded.
qint64 MemorySizeLimit() {
    qint64 memory = std::numeric_limits<qint64>::max();
#ifdef Q_OS_UNIX
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0) memory = qint64(pages) * pageSize;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit {};
        if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
            memory = std::min<qint64>(memory, qint64(limit.rlim_cur));
        }
    }
#endif
    return memory / 3;
}

/// What one read asks for while the bytes are checked as they come: a slice that stays in
/// the processor's cache until it is checked.
constexpr qint64 kCheckedSlice = qint64(1) << 18;

/// Maps the memory that `bytes` holds room for, `size` bytes of it, at once, where the
/// system can (Linux 5.14 and later): a large page's buffer is then not mapped a page at a
/// time by a fault on its first touch, which on some machines costs as much as reading it.
/// Small buffers, and systems that cannot, are left as they are.
void MapAtOnce(QByteArray& bytes, qint64 size) {
#if defined(Q_OS_LINUX)
    constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE, missing from older headers
    const long page = ::sysconf(_SC_PAGESIZE);
    if (page <= 0 || size < 256 * page) return;
    const auto start = (quintptr(bytes.data()) + quintptr(page) - 1) & ~quintptr(page - 1);
    const auto end = (quintptr(bytes.data()) + quintptr(size)) & ~quintptr(page - 1);
    if (end > start) ::madvise(reinterpret_cast<void*>(start), end - start, kPopulateWrite);
#else
    Q_UNUSED(bytes);
    Q_UNUSED(size);
#endif
}

/// Reads through `read(buffer, room)`, which returns the bytes read, 0 at the end or -1
/// on an error that `failure()` then describes. `expected` is the size the source
/// announces (0 when it has none). With `check`, each slice read is checked at once. With
/// `shortReadEnds` (a regular file), a read that gives less than asked, once the announced
/// size is in, is the end: the read that would say so is spared.
template <typename Read, typename Failure>
std::optional<QByteArray> ReadToEnd(Read read, Failure failure, qint64 expected, FileResult* result,
                                    Utf8Check* check = nullptr, bool shortReadEnds = false) {
    auto fail = [&](FileResult why) -> std::optional<QByteArray> {
        if (result) *result = std::move(why);
        return std::nullopt;
    };
    const qint64 limit = DocumentSizeLimit();
    if (expected > limit) return fail(Failed(FileResult::Failure::Other, TooLargeReason()));
    try {
        QByteArray bytes;
        // One byte more than announced, so that reading the end needs no larger buffer.
        bytes.reserve(qsizetype(std::min(expected > 0 ? expected + 1 : kReadChunk, limit + 1)));
        MapAtOnce(bytes, std::min(expected, limit));
        for (;;) {
            if (bytes.size() > limit) {
                return fail(Failed(FileResult::Failure::Other, TooLargeReason()));
            }
            const qsizetype held = bytes.size();
            if (held == bytes.capacity()) {
                bytes.reserve(
                    qsizetype(std::min<qint64>(std::max(2 * held, kReadChunk), limit + 1)));
            }
            bytes.resize(bytes.capacity());
            qint64 room = qint64(bytes.size() - held);
            if (check) room = std::min(room, kCheckedSlice);
            const qint64 got = read(bytes.data() + held, room);
            bytes.resize(held + std::max<qint64>(got, 0));
            if (got < 0) return fail(failure());
            if (got == 0) break;
            if (check) check->add(QByteArrayView(bytes).sliced(held));
            if (shortReadEnds && expected > 0 && got < room && held + got >= expected) break;
        }
        if (result) *result = FileResult{};
        return bytes;
    } catch (const std::bad_alloc&) {
        return fail(Failed(FileResult::Failure::Other, TooLargeReason()));
    }
}

}  // namespace

FileResult::Failure ClassifyErrno(int errorNumber) {
    switch (errorNumber) {
        case 0:
            return FileResult::Failure::None;
        case ENOSPC:
        case EFBIG:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return FileResult::Failure::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return FileResult::Failure::Permission;
        case ENOENT:
        case ENOTDIR:
            return FileResult::Failure::NotFound;
        default:
            return FileResult::Failure::Other;
    }
}

FileResult ResultForErrno(int errorNumber) {
    const FileResult::Failure failure = ClassifyErrno(errorNumber);
    if (failure == FileResult::Failure::None) return {};
    const QString system = qt_error_string(errorNumber);
    if (failure == FileResult::Failure::DiskFull) {
        return Failed(failure, QStringLiteral("the disk is full (%1)").arg(system));
    }
    return Failed(failure, system);
}

qint64 DocumentSizeLimit() {
    // A page must fit into one string of UTF-16 characters as well as into memory.
    const qint64 stringLimit = (std::numeric_limits<qsizetype>::max() - 64) / 2;
    const qint64 set = g_sizeLimit.load();
    // The process's memory and its limits are asked once: a run reads thousands of pages.
    static const qint64 memory = MemorySizeLimit();
    return std::min(set > 0 ? set : memory, stringLimit);
}

void SetDocumentSizeLimit(qint64 bytes) {
    g_sizeLimit.store(std::max<qint64>(bytes, 0));
}

QString TooLargeReason() {
    return QStringLiteral("it is too large to hold in memory");
}

std::optional<QByteArray> ReadDeviceBytes(QIODevice& device, FileResult* result) {
    return ReadToEnd([&](char* buffer, qint64 room) { return device.read(buffer, room); },
                     [&] { return Failed(FileResult::Failure::Other, device.errorString()); }, 0,
                     result);
}

#ifdef Q_OS_UNIX

std::optional<QByteArray> ReadDocumentBytes(const QString& path, FileResult* result,
                                            Utf8Check* check) {
    auto fail = [&](FileResult why) -> std::optional<QByteArray> {
        if (result) *result = std::move(why);
        return std::nullopt;
    };
    const QByteArray name = EncodeFileName(path);
    int fd = -1;
    if (!name.isEmpty()) {
        do {
            fd = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) {
        if (name.isEmpty() || errno == ENOENT) {
            return fail(Failed(FileResult::Failure::NotFound, QStringLiteral("file not found")));
        }
        return fail(ResultForErrno(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) return fail(ResultForErrno(errno));
    if (S_ISDIR(info.st_mode)) {
        return fail(Failed(FileResult::Failure::Other, QStringLiteral("it is a folder")));
    }
    int readError = 0;
    return ReadToEnd(
        [&](char* buffer, qint64 room) -> qint64 {
            // One call reads at most a little under 2 GB on Linux.
            const size_t want = size_t(std::min<qint64>(room, qint64(1) << 30));
            for (;;) {
                const ssize_t got = ::read(fd, buffer, want);
                if (got >= 0 || errno != EINTR) {
                    readError = errno;
                    return got;
                }
            }
        },
        [&] { return ResultForErrno(readError); }, S_ISREG(info.st_mode) ? info.st_size : 0, result,
        check, S_ISREG(info.st_mode));
}

#else

std::optional<QByteArray> ReadDocumentBytes(const QString& path, FileResult* result,
                                            Utf8Check* check) {
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        if (result) {
            *result = info.isDir()
                          ? Failed(FileResult::Failure::Other, QStringLiteral("it is a folder"))
                          : Failed(FileResult::Failure::NotFound, QStringLiteral("file not found"));
        }
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (result) *result = Failed(FileResult::Failure::Other, file.errorString());
        return std::nullopt;
    }
    return ReadToEnd([&](char* buffer, qint64 room) { return file.read(buffer, room); },
                     [&] { return Failed(FileResult::Failure::Other, file.errorString()); },
                     file.size(), result, check);
}

#endif

FileResult SaveDocument(DocumentWriter& writer, const QString& path, QStringView text,
                        const TextEncoding& encoding) {
    qsizetype bad = -1;
    const std::optional<QByteArray> bytes = encoding.encode(text, &bad);
    if (!bytes) {
        return Failed(FileResult::Failure::Unencodable, encoding.describeUnencodable(text, bad));
    }
    return writer.Write(path, *bytes);
}

FileResult SaveDocumentUtf8(DocumentWriter& writer, const QString& path, QByteArrayView text,
                            const TextEncoding& encoding) {
    if (encoding.kind() == TextEncoding::Kind::Utf8) {
        const QByteArrayView pieces[] = {encoding.byteOrderMark(), text};
        return writer.Write(path, pieces);
    }
    if (encoding.kind() == TextEncoding::Kind::Windows1252) {
        if (const std::optional<QByteArray> bytes = EncodeCodePageFromUtf8(text)) {
            return writer.Write(path, *bytes);
        }
    }
    // Any other encoding, or a character the code page lacks, which the 16-bit text names. A
    // U+FEFF at the start is a character of the text, not a mark to drop; a surrogate kept
    // from a damaged UTF-16 page goes back to its place.
    qsizetype bad = -1;
    const std::optional<QString> units = FromGeneralizedUtf8(text, &bad);
    if (!units) {
        // Only a byte of a kept surrogate that was edited apart can be no character.
        qsizetype line = 1;
        qsizetype column = 1;
        for (qsizetype i = 0; i < bad; ++i) {
            if (text[i] == '\n' || (text[i] == '\r' && text[i + 1] != '\n')) {
                ++line;
                column = 1;
            } else if ((text[i] & 0xC0) != 0x80) {
                ++column;  // the first byte of a character
            }
        }
        return Failed(FileResult::Failure::Unencodable,
                      QStringLiteral("the byte 0x%1 in line %2, column %3 is part of no character")
                          .arg(QString::number(static_cast<unsigned char>(text[bad]), 16).toUpper())
                          .arg(line)
                          .arg(column));
    }
    return SaveDocument(writer, path, *units, encoding);
}

}  // namespace quillet
