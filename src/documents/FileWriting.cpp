// SPDX-License-Identifier: GPL-3.0-or-later
// Writing documents: the atomic replacement of regular files, and writing in place what
// must not be replaced.
#include "documents/DocumentFile.h"

#include "documents/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <climits>
#include <cstdlib>
#endif

namespace quillet {

namespace {

FileResult Failed(FileResult::Failure failure, QString reason) {
    return FileResult{failure, std::move(reason)};
}

FileResult IsAFolder() {
    return Failed(FileResult::Failure::Other, QStringLiteral("it is a folder"));
}

FileResult ExistsAlready() {
    return Failed(FileResult::Failure::Other,
                  QStringLiteral("the file exists already; it was left as it is"));
}

FileResult IsReadOnly() {
    return Failed(FileResult::Failure::Permission, QStringLiteral("the file is read-only"));
}

#ifdef Q_OS_UNIX

/// A file descriptor, closed at the end of its scope.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    /// Closes the descriptor; the error number of a failed close, or 0.
    int close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

int OpenRetrying(const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

/// Writes all of `pieces`, one after another, many at a call; the error number of a
/// failed write, or 0.
int WriteAll(int fd, std::span<const QByteArrayView> pieces) {
    constexpr size_t kMostPieces = 1024;  // IOV_MAX on Linux and the BSDs
    constexpr qsizetype kMostBytes = qsizetype(1) << 30;
    size_t next = 0;     // the first piece not wholly written
    qsizetype done = 0;  // bytes of it written already
    iovec vectors[kMostPieces];
    for (;;) {
        while (next < pieces.size() && pieces[next].size() == done) {
            ++next;
            done = 0;
        }
        if (next == pieces.size()) return 0;
        int count = 0;
        qsizetype bytes = 0;
        for (size_t i = next; i < pieces.size() && size_t(count) < kMostPieces; ++i) {
            const qsizetype skip = i == next ? done : 0;
            const qsizetype length = std::min(pieces[i].size() - skip, kMostBytes - bytes);
            if (length == 0) continue;
            vectors[count++] = {const_cast<char*>(pieces[i].data() + skip), size_t(length)};
            bytes += length;
            if (bytes == kMostBytes) break;
        }
        const ssize_t written = ::writev(fd, vectors, count);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (written == 0) return EIO;
        // Move on past what was written.
        for (qsizetype left = written; left > 0;) {
            const qsizetype step = std::min(left, pieces[next].size() - done);
            done += step;
            left -= step;
            if (done == pieces[next].size()) {
                ++next;
                done = 0;
            }
        }
    }
}

/// The folder part of a name: "." for a bare name, "/" for a name in the root.
QByteArray FolderOf(const QByteArray& name) {
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0) return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

/// Follows symbolic links from `*name` to the name they finally lead to, which may not
/// exist yet; a relative link is taken from the folder of the link. The error number of
/// a failure, or 0.
int ResolveLinks(QByteArray* name) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(name->constData(), &info) != 0 || !S_ISLNK(info.st_mode)) return 0;
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(name->constData(), target.data(), size_t(target.size()));
        if (length < 0) return errno;
        target.truncate(length);
        if (!target.startsWith('/') && name->contains('/')) {
            target.prepend(name->left(name->lastIndexOf('/') + 1));
        }
        *name = target;
    }
    return ELOOP;
}

/// Syncs a folder, so that a rename in it is on disk. Some file systems cannot sync a
/// folder; the file itself is synced already, so a failure here is no failure to write.
void SyncFolder(const QByteArray& folder) {
    Descriptor fd(OpenRetrying(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

/// `target` with a random suffix, for a file that is to take its place.
QByteArray TemporaryName(const QByteArray& target) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = target + '.';
    for (int i = 0; i < 6; ++i) {
        name += kLetters[QRandomGenerator::global()->bounded(int(sizeof(kLetters) - 1))];
    }
    return name;
}

/// Tries `attempt(name)` with fresh temporary names while it fails with EEXIST; the name
/// that it took goes to `*name`. The error number, or 0.
template <typename Attempt>
int WithTemporaryName(const QByteArray& target, QByteArray* name, Attempt attempt) {
    for (int tries = 0; tries < 100; ++tries) {
        *name = TemporaryName(target);
        if (attempt(*name)) return 0;
        if (errno != EEXIST) break;
    }
    const int error = errno;
    name->clear();
    return error;
}

/// Links a file that has no name yet (made with O_TMPFILE) to `name`; errno on failure.
bool LinkUnnamed(int fd, const QByteArray& name) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0;
}

/// Writes a device, FIFO or other file that is not replaced, in place.
FileResult WriteInPlace(const QByteArray& name, std::span<const QByteArrayView> bytes) {
    Descriptor fd(OpenRetrying(name.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return ResultForErrno(errno);
    if (const int error = WriteAll(fd.get(), bytes)) return ResultForErrno(error);
    // Pipes and character devices cannot be synced, and say so; nothing was lost then.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
        return ResultForErrno(errno);
    }
    return ResultForErrno(fd.close());
}

/// The new contents of a regular file until they take the target's place: a file without
/// a name (O_TMPFILE), so that nothing is left behind whatever happens to the process,
/// or, where the file system has none, one under a temporary name that is removed on
/// failure.
class PendingFile {
  public:
    ~PendingFile() {
        if (!temporary_.isEmpty()) ::unlink(temporary_.constData());
    }

    /// Opens the file in `folder`, beside `target`; the error number, or 0.
    int open(const QByteArray& folder, const QByteArray& target, mode_t mode) {
#ifdef O_TMPFILE
        // Naming the file later goes through /proc.
        if (::access("/proc/self/fd", X_OK) == 0) {
            fd_.reset(OpenRetrying(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
            if (fd_.get() >= 0) return 0;
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
        }
#else
        Q_UNUSED(folder);
#endif
        return WithTemporaryName(target, &temporary_, [&](const QByteArray& name) {
            fd_.reset(
                OpenRetrying(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
            return fd_.get() >= 0;
        });
    }

    int fd() const {
        return fd_.get();
    }

    /// Puts the synced file in `target`'s place: renamed over it, or, when nothing may be
    /// replaced, linked to its name. The error number, or 0.
    int commit(const QByteArray& target, bool replace) {
        if (temporary_.isEmpty()) {
            // Unnamed: link it straight to the target, or to a temporary name to rename.
            if (!replace) {
                if (!LinkUnnamed(fd_.get(), target)) return errno;
                if (const int error = fd_.close()) {
                    ::unlink(target.constData());
                    return error;
                }
                return 0;
            }
            const int error = WithTemporaryName(target, &temporary_, [&](const QByteArray& name) {
                return LinkUnnamed(fd_.get(), name);
            });
            if (error) return error;
        }
        if (const int error = fd_.close()) return error;
        if (replace) {
            if (::rename(temporary_.constData(), target.constData()) != 0) return errno;
            temporary_.clear();
            return 0;
        }
        // Linking fails when the target appeared meanwhile; where the file system has no
        // links, a rename after one more look has to do.
        if (::link(temporary_.constData(), target.constData()) != 0) {
            if (errno == EEXIST) return EEXIST;
            struct stat info {};
            if (::lstat(target.constData(), &info) == 0) return EEXIST;
            if (::rename(temporary_.constData(), target.constData()) != 0) return errno;
            temporary_.clear();
        }
        return 0;  // the destructor removes the temporary name
    }

  private:
    Descriptor fd_;
    QByteArray temporary_;
};

FileResult WriteFile(const QString& path, std::span<const QByteArrayView> bytes, bool replace) {
    QByteArray name = EncodeFileName(path);
    if (name.isEmpty()) return ResultForErrno(ENOENT);
    if (const int error = ResolveLinks(&name)) return ResultForErrno(error);

    struct stat target {};
    const bool exists = ::stat(name.constData(), &target) == 0;
    if (!exists && errno != ENOENT) return ResultForErrno(errno);
    if (exists) {
        if (S_ISDIR(target.st_mode)) return IsAFolder();
        if (!replace) return ExistsAlready();
        // A file marked read-only stays untouched, even for a user that the system would
        // let replace it.
        if (!(target.st_mode & S_IWUSR)) return IsReadOnly();
        if (::access(name.constData(), W_OK) != 0) return ResultForErrno(errno);
        if (!S_ISREG(target.st_mode)) return WriteInPlace(name, bytes);
    }

    const QByteArray folder = FolderOf(name);
    PendingFile pending;
    // A new file gets 0666 less the umask; a replacement starts private and takes the
    // replaced file's permissions once written.
    if (const int error = pending.open(folder, name, exists ? 0600 : 0666)) {
        return ResultForErrno(error);
    }
    if (const int error = WriteAll(pending.fd(), bytes)) return ResultForErrno(error);
    if (exists) {
        // Keeping the owner needs privileges; keeping the group often does not.
        if (::fchown(pending.fd(), target.st_uid, target.st_gid) != 0 &&
            ::fchown(pending.fd(), uid_t(-1), target.st_gid) != 0) {
            // The new file keeps the writer's owner and group.
        }
        if (::fchmod(pending.fd(), target.st_mode & 07777) != 0) return ResultForErrno(errno);
    }
    if (::fsync(pending.fd()) != 0) return ResultForErrno(errno);
    if (const int error = pending.commit(name, replace)) {
        return error == EEXIST && !replace ? ExistsAlready() : ResultForErrno(error);
    }
    SyncFolder(folder);
    return {};
}

#else

FileResult WriteFile(const QString& path, std::span<const QByteArrayView> pieces, bool replace) {
    const QFileInfo target(path);
    if (target.isDir()) return IsAFolder();
    if (target.exists()) {
        if (!replace) return ExistsAlready();
        if (!(target.permissions() & QFileDevice::WriteOwner)) return IsReadOnly();
    }
    QSaveFile file(path);
    // Unbuffered, every write reaches the system at once and none can fail unseen later.
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (const QByteArrayView bytes : pieces) {
        written = written && file.write(bytes.data(), bytes.size()) == bytes.size();
    }
    if (written && file.commit()) return {};
    const FileResult failed{file.error() == QFileDevice::PermissionsError
                                ? FileResult::Failure::Permission
                                : FileResult::Failure::Other,
                            file.errorString()};
    file.cancelWriting();
    return failed;
}

#endif

}  // namespace

FileResult AtomicFileWriter::Write(const QString& path, std::span<const QByteArrayView> pieces) {
    return WriteFile(path, pieces, true);
}

FileResult WriteNewFile(const QString& path, QByteArrayView bytes) {
    return WriteFile(path, {&bytes, 1}, false);
}

QByteArray FileIdentityKey(const QString& path) {
#ifdef Q_OS_UNIX
    QByteArray name = EncodeFileName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0) {
        return "file " + QByteArray::number(quint64(info.st_dev)) + ' ' +
               QByteArray::number(quint64(info.st_ino));
    }
    ResolveLinks(&name);
    // A name that does not exist yet: its folder resolved, and the name in it.
    const QByteArray folder = FolderOf(name);
    const QByteArray leaf = name.mid(name.lastIndexOf('/') + 1);
    if (char* real = ::realpath(folder.constData(), nullptr)) {
        const QByteArray resolved = QByteArray(real) + '/' + leaf;
        std::free(real);
        return "path " + resolved;
    }
    return "path " + EncodeFileName(AbsoluteFileName(DecodeFileName(name)));
#else
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return (canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical)
        .toLower()
        .toUtf8();
#endif
}

}  // namespace quillet
