#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace quillet::test {

/// Lowers this process's file size limit (RLIMIT_FSIZE) with SIGXFSZ ignored, so that a
/// write beyond it fails with EFBIG as a write to a full disk fails; both are restored
/// at the end of the scope.
class ScopedFileSizeLimit {
  public:
    explicit ScopedFileSizeLimit(rlim_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

  private:
    struct rlimit previous_ {};
    void (*previousHandler_)(int) = nullptr;
};

/// Makes a character device node (only the superuser may); false when refused.
bool MakeCharDevice(const QString& path, unsigned major, unsigned minor);
/// Makes a FIFO; false when refused.
bool MakeFifo(const QString& path);
/// Makes a Unix socket file (nobody listens on it once made); false when refused.
bool MakeSocket(const QString& path);

/// The type of what `path` names, without following a link, as `ls -l` shows it: '-',
/// 'd', 'l', 'c', 'p', 's', or '?' when nothing is there.
char FileType(const QString& path);
/// The permission bits of `path`.
unsigned FileMode(const QString& path);
/// The names in `folder`, hidden ones and those that are not UTF-8 included, sorted.
QStringList Entries(const QString& folder);

/// Reads a FIFO to its end on another thread while it lives; `bytes()` waits for the end.
class FifoReader {
  public:
    explicit FifoReader(const QString& path);
    ~FifoReader();
    FifoReader(const FifoReader&) = delete;
    FifoReader& operator=(const FifoReader&) = delete;
    QByteArray bytes();

  private:
    struct State;
    State* state_;
};

/// Runs `body` in a child process, as the user nobody when this process is the
/// superuser, and returns what it returned; nothing when the child could not be made or
/// did not finish.
std::optional<QByteArray> InChildAsNobody(const std::function<QByteArray()>& body);

}  // namespace quillet::test
