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
#include <charconv>

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

/// Hands out the pieces of a list.
class ListedPieces final : public DocumentPieces {
  public:
    explicit ListedPieces(std::span<const QByteArrayView> pieces) : pieces_(pieces) {}

    qsizetype next(std::span<QByteArrayView> room) override {
        const size_t count = std::min(room.size(), pieces_.size() - taken_);
        std::copy_n(pieces_.begin() + qsizetype(taken_), count, room.begin());
        taken_ += count;
        return qsizetype(count);
    }

  private:
    std::span<const QByteArrayView> pieces_;
    size_t taken_ = 0;
};

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

/// Writes all of `pieces`, one after another, many at a call, and adds their bytes to
/// `*total`; the error number of a failed write, or 0.
int WriteAll(int fd, DocumentPieces& pieces, qint64* total) {
    constexpr size_t kMostPieces = 1024;  // IOV_MAX on Linux and the BSDs
    constexpr qsizetype kMostBytes = qsizetype(1) << 30;
    QByteArrayView batch[kMostPieces];
    iovec vectors[kMostPieces];
    for (;;) {
        const size_t count = size_t(pieces.next(batch));
        if (count == 0) return 0;
        size_t next = 0;     // the first piece of the batch not wholly written
        qsizetype done = 0;  // bytes of it written already
        for (;;) {
            while (next < count && batch[next].size() == done) {
                ++next;
                done = 0;
            }
            if (next == count) break;
            int used = 0;
            qsizetype bytes = 0;
            for (size_t i = next; i < count; ++i) {
                const qsizetype skip = i == next ? done : 0;
                const qsizetype length = std::min(batch[i].size() - skip, kMostBytes - bytes);
                if (length == 0) continue;
                vectors[used++] = {const_cast<char*>(batch[i].data() + skip), size_t(length)};
                bytes += length;
                if (bytes == kMostBytes) break;
            }
            const ssize_t written = ::writev(fd, vectors, used);
            if (written < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            if (written == 0) return EIO;
            *total += written;
            // Move on past what was written.
            for (qsizetype left = written; left > 0;) {
                const qsizetype step = std::min(left, batch[next].size() - done);
                done += step;
                left -= step;
                if (done == batch[next].size()) {
                    ++next;
                    done = 0;
                }
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

/// The longest file name (one component of a path) that the system takes.
constexpr qsizetype kLongestName = NAME_MAX;

/// A name for a file that is to take `target`'s place, in the same folder: the target's
/// name with a random suffix, or, when that would be longer than a name may be, a short
/// random name of its own, so that a target of any legal name can be written.
QByteArray TemporaryName(const QByteArray& target) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const qsizetype leaf = target.size() - (target.lastIndexOf('/') + 1);
    QByteArray name = leaf + 7 <= kLongestName
                          ? target + '.'
                          : target.left(target.size() - leaf) + QByteArrayLiteral(".quillet-");
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
    char self[32] = "/proc/self/fd/";
    *std::to_chars(self + 14, self + sizeof self - 1, fd).ptr = '\0';
    return ::linkat(AT_FDCWD, self, AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0;
}

/// Writes a device, FIFO or other file that is not replaced, in place.
FileResult WriteInPlace(const QByteArray& name, DocumentPieces& bytes) {
    Descriptor fd(OpenRetrying(name.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) return ResultForErrno(errno);
    qint64 written = 0;
    if (const int error = WriteAll(fd.get(), bytes, &written)) return ResultForErrno(error);
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
        // Naming the file later goes through /proc, which is there or not for good.
        static const bool named = ::access("/proc/self/fd", X_OK) == 0;
        if (named) {
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
    /// replaced or the target was `absent`, linked to its name (a target that appeared
    /// since is replaced all the same). The error number, or 0.
    int commit(const QByteArray& target, bool replace, bool absent = false) {
        if (temporary_.isEmpty()) {
            // Unnamed: link it straight to the target, or to a temporary name to rename. A
            // target that was not there is linked straight too, unless it appeared since.
            if (!replace || absent) {
                if (!LinkUnnamed(fd_.get(), target)) {
                    if (replace && errno == EEXIST) return commit(target, true);
                    return errno;
                }
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

/// Where a write goes: the target's name with links followed, its folder, and what is
/// there now.
struct Destination {
    QByteArray name;
    QByteArray folder;
    bool exists = false;
    struct stat info {};
};

/// Looks at `path` before writing it: a folder, a file that may not be replaced and a
/// target marked read-only are refused. A device, FIFO or socket is written in place at
/// once, and `*written` is set.
FileResult Examine(const QString& path, DocumentPieces& bytes, bool replace, Destination* where,
                   bool* written, bool fresh = false) {
    *written = false;
    where->name = EncodeFileName(path);
    if (where->name.isEmpty()) return ResultForErrno(ENOENT);
    // Mostly the name is no link, and one look tells all. In a folder made for the run
    // there is nothing to look at (what appears there since is replaced all the same).
    if (!fresh) {
        where->exists = ::lstat(where->name.constData(), &where->info) == 0;
        if (!where->exists && errno != ENOENT) return ResultForErrno(errno);
    }
    if (where->exists && S_ISLNK(where->info.st_mode)) {
        if (const int error = ResolveLinks(&where->name)) return ResultForErrno(error);
        where->exists = ::stat(where->name.constData(), &where->info) == 0;
        if (!where->exists && errno != ENOENT) return ResultForErrno(errno);
    }
    if (where->exists) {
        if (S_ISDIR(where->info.st_mode)) return IsAFolder();
        if (!replace) return ExistsAlready();
        // A file marked read-only stays untouched, even for a user that the system would
        // let replace it.
        if (!(where->info.st_mode & S_IWUSR)) return IsReadOnly();
        if (::access(where->name.constData(), W_OK) != 0) return ResultForErrno(errno);
        if (!S_ISREG(where->info.st_mode)) {
            *written = true;
            return WriteInPlace(where->name, bytes);
        }
    }
    where->folder = FolderOf(where->name);
    return {};
}

/// Writes `bytes` into `pending`, a new file beside the target, with the permissions and
/// owner of `model` (the replaced file, or none for a new file), and adds their size to
/// `*written`; not yet synced. The error number, or 0.
int WritePending(PendingFile& pending, const Destination& where, DocumentPieces& bytes,
                 const struct stat* model, qint64* written) {
    // A new file gets 0666 less the umask; a replacement starts private and takes the
    // replaced file's permissions once written.
    if (const int error = pending.open(where.folder, where.name, model ? 0600 : 0666)) {
        return error;
    }
    if (const int error = WriteAll(pending.fd(), bytes, written)) return error;
    if (model) {
        // Keeping the owner needs privileges; keeping the group often does not.
        if (::fchown(pending.fd(), model->st_uid, model->st_gid) != 0 &&
            ::fchown(pending.fd(), uid_t(-1), model->st_gid) != 0) {
            // The new file keeps the writer's owner and group.
        }
        if (::fchmod(pending.fd(), model->st_mode & 07777) != 0) return errno;
    }
    return 0;
}

FileResult WriteFile(const QString& path, DocumentPieces& bytes, bool replace) {
    Destination where;
    bool written = false;
    if (FileResult examined = Examine(path, bytes, replace, &where, &written);
        written || !examined.ok()) {
        return examined;
    }
    PendingFile pending;
    qint64 size = 0;
    if (const int error =
            WritePending(pending, where, bytes, where.exists ? &where.info : nullptr, &size)) {
        return ResultForErrno(error);
    }
    if (::fsync(pending.fd()) != 0) return ResultForErrno(errno);
    if (const int error = pending.commit(where.name, replace)) {
        return error == EEXIST && !replace ? ExistsAlready() : ResultForErrno(error);
    }
    SyncFolder(where.folder);
    return {};
}

#else

FileResult WriteFile(const QString& path, DocumentPieces& pieces, bool replace) {
    const QFileInfo target(path);
    if (target.isDir()) return IsAFolder();
    if (target.exists()) {
        if (!replace) return ExistsAlready();
        if (!(target.permissions() & QFileDevice::WriteOwner)) return IsReadOnly();
    }
    QSaveFile file(path);
    // Unbuffered, every write reaches the system at once and none can fail unseen later.
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    QByteArrayView batch[64];
    for (qsizetype count; written && (count = pieces.next(batch)) > 0;) {
        for (qsizetype i = 0; i < count; ++i) {
            written = written && file.write(batch[i].data(), batch[i].size()) == batch[i].size();
        }
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

// ---------------------------------------------------------------------------------------
// Staged files

#ifdef Q_OS_UNIX

namespace {

/// Fewer files than this are synced one by one: a sync of the whole file system also
/// writes what other programs left to write, which costs more than a few files.
constexpr size_t kFewFiles = 4;
/// Fewer folders than this are synced one by one after the renames.
constexpr size_t kFewFolders = 8;

/// Syncs the file systems of `files` once each (one descriptor of each stands for its file
/// system); the error number of each file's file system, or 0.
template <typename Files>
std::vector<int> SyncFileSystems(const Files& files) {
    std::vector<int> errors(files.size(), 0);
    std::vector<std::pair<dev_t, int>> synced;  // file system, its error number
    for (size_t i = 0; i < files.size(); ++i) {
        struct stat info {};
        if (::fstat(files[i].fd, &info) != 0) {
            errors[i] = errno;
            continue;
        }
        auto known = std::find_if(synced.begin(), synced.end(),
                                  [&](const auto& entry) { return entry.first == info.st_dev; });
        if (known == synced.end()) {
#ifdef Q_OS_LINUX
            const int error = ::syncfs(files[i].fd) == 0 ? 0 : errno;
#else
            ::sync();
            const int error = 0;
#endif
            known = synced.insert(synced.end(), {info.st_dev, error});
        }
        errors[i] = known->second;
    }
    return errors;
}

}  // namespace

struct StagedFiles::File {
    QString path;
    Destination where;
    PendingFile pending;
};

FileResult StagedFiles::WriteLike(const QString& path, DocumentPieces& pieces,
                                  const QString& model) {
    if (!result_.ok()) return result_;
    auto file = std::make_unique<File>();
    file->path = path;
    bool written = false;
    FileResult examined = Examine(path, pieces, true, &file->where, &written, freshTargets_);
    if (!examined.ok()) return fail(path, std::move(examined));
    if (written) return examined;
    struct stat modelInfo {};
    const struct stat* permissions = file->where.exists ? &file->where.info : nullptr;
    if (!model.isEmpty()) {
        if (::stat(EncodeFileName(model).constData(), &modelInfo) != 0) {
            return fail(path, ResultForErrno(errno));
        }
        permissions = &modelInfo;
    }
    qint64 size = 0;
    if (const int error = WritePending(file->pending, file->where, pieces, permissions, &size)) {
        return fail(path, ResultForErrno(error));
    }
    bytes_ += size;
    files_.push_back(std::move(file));
    return {};
}

void CommitStagedFiles(std::span<StagedFiles* const> groups) {
    struct Waiting {
        StagedFiles::File* file;
        int fd;
        int error;
    };
    std::vector<Waiting> waiting;
    for (StagedFiles* group : groups) {
        if (!group->result_.ok()) continue;
        for (const auto& file : group->files_)
            waiting.push_back({file.get(), file->pending.fd(), 0});
    }
    // Everything on disk first: each file synced, or, when there are more than a few, each
    // file system once, which also flushes the disk's cache once instead of once a file.
    if (waiting.size() < kFewFiles) {
        for (Waiting& file : waiting) {
            if (::fsync(file.fd) != 0) file.error = errno;
        }
    } else {
        const std::vector<int> errors = SyncFileSystems(waiting);
        for (size_t i = 0; i < waiting.size(); ++i) {
            waiting[i].error = errors[i];
            if (errors[i] != 0) continue;
#ifdef Q_OS_LINUX
            // Written already; waiting on the file's own data reports a failure to write it
            // (which the file system's sync reports for all files at once), without another
            // flush of the disk's cache as a sync of the file would cost.
            constexpr unsigned kWait =
                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
            if (::sync_file_range(waiting[i].fd, 0, 0, kWait) != 0) waiting[i].error = errno;
#else
            if (::fsync(waiting[i].fd) != 0) waiting[i].error = errno;
#endif
        }
    }
    size_t next = 0;
    std::vector<QByteArray> folders;
    for (StagedFiles* group : groups) {
        if (!group->result_.ok()) {
            group->files_.clear();  // failed while staging: nothing of it takes a place
            continue;
        }
        for (const auto& file : group->files_) {
            const int synced = waiting[next++].error;
            if (!group->result_.ok()) continue;  // an earlier file of the group failed
            const int error =
                synced ? synced : file->pending.commit(file->where.name, true, !file->where.exists);
            if (error) {
                group->fail(file->path, ResultForErrno(error));
            } else if (std::find(folders.begin(), folders.end(), file->where.folder) ==
                       folders.end()) {
                folders.push_back(file->where.folder);
            }
        }
        group->files_.clear();
        group->bytes_ = 0;
    }
    // The renames on disk: each folder, or each file system when there are many folders.
    if (folders.size() < kFewFolders) {
        for (const QByteArray& folder : folders) SyncFolder(folder);
        return;
    }
    struct Folder {
        int fd;
    };
    std::vector<Folder> descriptors;
    for (const QByteArray& folder : folders) {
        const int fd = OpenRetrying(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) descriptors.push_back({fd});
    }
    SyncFileSystems(descriptors);
    for (const Folder& folder : descriptors) ::close(folder.fd);
}

#else

struct StagedFiles::File {};

FileResult StagedFiles::WriteLike(const QString& path, DocumentPieces& pieces, const QString&) {
    if (!result_.ok()) return result_;
    FileResult written = WriteFile(path, pieces, true);
    return written.ok() ? written : fail(path, std::move(written));
}

void CommitStagedFiles(std::span<StagedFiles* const>) {}

#endif

StagedFiles::StagedFiles() = default;
StagedFiles::~StagedFiles() = default;

FileResult StagedFiles::WriteLike(const QString& path, std::span<const QByteArrayView> pieces,
                                  const QString& model) {
    ListedPieces listed(pieces);
    return WriteLike(path, listed, model);
}

FileResult StagedFiles::Write(const QString& path, std::span<const QByteArrayView> pieces) {
    return WriteLike(path, pieces, QString());
}

FileResult StagedFiles::Write(const QString& path, DocumentPieces& pieces) {
    return WriteLike(path, pieces, QString());
}

qsizetype StagedFiles::count() const {
    return qsizetype(files_.size());
}

FileResult StagedFiles::fail(const QString& path, FileResult why) {
    if (result_.ok()) {
        result_ = why;
        failedPath_ = path;
    }
    return why;
}

FileResult DocumentWriter::Write(const QString& path, DocumentPieces& pieces) {
    std::vector<QByteArrayView> listed;
    QByteArrayView batch[256];
    for (qsizetype count; (count = pieces.next(batch)) > 0;) {
        listed.insert(listed.end(), batch, batch + count);
    }
    return Write(path, std::span<const QByteArrayView>(listed));
}

FileResult AtomicFileWriter::Write(const QString& path, std::span<const QByteArrayView> pieces) {
    ListedPieces listed(pieces);
    return WriteFile(path, listed, true);
}

FileResult AtomicFileWriter::Write(const QString& path, DocumentPieces& pieces) {
    return WriteFile(path, pieces, true);
}

FileResult WriteNewFile(const QString& path, QByteArrayView bytes) {
    ListedPieces listed({&bytes, 1});
    return WriteFile(path, listed, false);
}

QByteArray FileIdentityKey(quint64 device, quint64 inode) {
    // Made in one piece: a walk makes one for every file it takes.
    // "file ", two numbers of at most 20 digits each, and a space between.
    char key[64] = "file ";
    char* const space = std::to_chars(key + 5, key + 25, device).ptr;
    *space = ' ';
    char* const end = std::to_chars(space + 1, key + 46, inode).ptr;
    return QByteArray(key, end - key);
}

QByteArray FileIdentityKey(const QString& path) {
#ifdef Q_OS_UNIX
    QByteArray name = EncodeFileName(path);
    struct stat info {};
    if (::stat(name.constData(), &info) == 0) {
        return FileIdentityKey(quint64(info.st_dev), quint64(info.st_ino));
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
