// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>

namespace quillet {

/// A standard stream as a QIODevice over its file descriptor, without buffering, that
/// keeps the system's error number of its last failure: a write is checked at once and
/// a closed pipe (EPIPE) can be told from a full disk. A device made with the descriptor
/// -1 stands for a stream that the process was started without: every read and write
/// fails with EBADF. A read returns 0 at the end of the stream.
class DescriptorDevice final : public QIODevice {
  public:
    DescriptorDevice(int fd, OpenMode mode);

    bool isSequential() const override { return true; }
    /// The error number of the last failed read or write, or 0.
    int systemError() const { return systemError_; }

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

  private:
    qint64 Fail(int errorNumber);

    int fd_;
    int systemError_ = 0;
};

}  // namespace quillet
