// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>
#include <QStringList>
#include <atomic>

namespace quillet {

/// How long the word-list commands wait for a lock that another program (another
/// quillet-batch adding entries, say) holds on the database, in milliseconds.
constexpr int kWordListLockWaitMs = 10'000;

/// The streams a batch run reads and writes.
struct BatchIo {
    QIODevice& in;
    QIODevice& out;
    QIODevice& err;
    /// Whether `err` is a terminal, so that the progress line may be drawn on it.
    bool errIsTerminal = false;
    /// Set (by a signal handler, say) to stop the run: no page is started after it, the
    /// pages under way are finished, and the run ends with status 130.
    const std::atomic<bool>* interrupted = nullptr;
    /// How long to wait for another program's lock on the word lists.
    int lockWaitMs = kWordListLockWaitMs;
};

/// Exit statuses of the batch tool.
enum BatchExit { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitInterrupted = 130 };

/// Runs the batch tool with `arguments` (the program name first) and returns its exit
/// status.
int RunBatch(const QStringList& arguments, BatchIo io);

}  // namespace quillet
