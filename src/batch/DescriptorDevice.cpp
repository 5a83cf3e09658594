// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/DescriptorDevice.h"

#include "documents/DocumentFile.h"

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#define read _read
#define write _write
#else
#include <unistd.h>
#endif

namespace quillet {

DescriptorDevice::DescriptorDevice(int fd, OpenMode mode) : fd_(fd) {
    open(mode | QIODevice::Unbuffered);
}

qint64 DescriptorDevice::Fail(int errorNumber) {
    systemError_ = errorNumber;
    setErrorString(ResultForErrno(errorNumber).reason);
    return -1;
}

qint64 DescriptorDevice::readData(char* data, qint64 maxSize) {
    if (fd_ < 0) return Fail(EBADF);
    for (;;) {
        const auto got = ::read(fd_, data, unsigned(std::min<qint64>(maxSize, 1 << 30)));
        if (got >= 0) return got;
        if (errno != EINTR) return Fail(errno);
    }
}

qint64 DescriptorDevice::writeData(const char* data, qint64 maxSize) {
    if (fd_ < 0) return Fail(EBADF);
    qint64 done = 0;
    while (done < maxSize) {
        const auto written =
            ::write(fd_, data + done, unsigned(std::min<qint64>(maxSize - done, 1 << 30)));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return Fail(written < 0 ? errno : EIO);
        done += written;
    }
    return done;
}

}  // namespace quillet
