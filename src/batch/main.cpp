// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/BatchTool.h"
#include "batch/DescriptorDevice.h"
#include "documents/FileNames.h"

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <cstdio>
#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

/// Set by the first Ctrl+C: the run starts no more pages, finishes those under way and
/// ends with its summary.
std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) {
    g_interrupted.store(true);
}

}  // namespace

int main(int argc, char** argv) {
    // The standard streams, each -1 when the process was started without it. This comes
    // first: a closed stream's number goes to the next file opened (Qt opens some), and
    // its reads or writes with it. /dev/null holds the number; the stream itself fails.
    int streams[3] = {0, 1, 2};
#ifndef Q_OS_WIN
    for (int& fd : streams) {
        if (::fcntl(fd, F_GETFD) == -1) {
            ::open("/dev/null", O_RDWR | O_CLOEXEC);
            fd = -1;
        }
    }
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLET_VERSION));

    QStringList arguments;
#ifdef Q_OS_WIN
    arguments = QCoreApplication::arguments();
#else
    // A write to a closed pipe fails with EPIPE instead of ending the process unseen.
    std::signal(SIGPIPE, SIG_IGN);
    // Ctrl+C ends the run after the pages under way; a second one ends the process at once
    // (a page being written then is still either whole or not written at all). A process
    // started with Ctrl+C ignored (in the background) keeps ignoring it.
    struct sigaction interrupt {};
    interrupt.sa_handler = OnInterrupt;
    sigemptyset(&interrupt.sa_mask);
    interrupt.sa_flags = SA_RESETHAND | SA_RESTART;
    struct sigaction before {};
    if (sigaction(SIGINT, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
        sigaction(SIGINT, &interrupt, nullptr);
    }
    // The arguments as the system's bytes: Qt would turn file names that are not UTF-8
    // into other names.
    for (int i = 0; i < argc; ++i) arguments << quillet::DecodeFileName(argv[i]);
#endif

    quillet::DescriptorDevice in(streams[0], QIODevice::ReadOnly);
    quillet::DescriptorDevice out(streams[1], QIODevice::WriteOnly);
    quillet::DescriptorDevice err(streams[2], QIODevice::WriteOnly);
    const bool terminal = streams[2] >= 0 && isatty(streams[2]) != 0;
    int status = quillet::RunBatch(arguments, {in, out, err, terminal, &g_interrupted});
#ifndef Q_OS_WIN
    // The last check on standard output: some file systems report a failed write only
    // when the file is closed.
    if (streams[1] >= 0 && ::close(streams[1]) != 0 && errno != EPIPE && status == 0) {
        err.write(QByteArrayLiteral("quillet-batch: cannot write standard output: ") +
                  quillet::EncodeFileName(qt_error_string(errno)) + '\n');
        status = quillet::kExitFailed;
    }
#endif
    return status;
}
