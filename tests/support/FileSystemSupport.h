// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <QString>

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
/// The type and permission bits of what `path` names, without following a link; 0 when
/// nothing is there.
mode_t FileMode(const QString& path);

}  // namespace quillet::test
