// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystemSupport.h"

#include "documents/FileNames.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <csignal>

namespace quillet::test {

ScopedFileSizeLimit::ScopedFileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    struct rlimit lowered = previous_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
}

bool MakeCharDevice(const QString& path, unsigned major, unsigned minor) {
    return mknod(EncodeFileName(path).constData(), S_IFCHR | 0666, makedev(major, minor)) == 0;
}

mode_t FileMode(const QString& path) {
    struct stat info {};
    return lstat(EncodeFileName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

}  // namespace quillet::test
