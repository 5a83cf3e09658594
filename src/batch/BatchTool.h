// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>
#include <QStringList>

namespace quillet {

/// The streams a batch run reads and writes.
struct BatchIo {
    QIODevice& in;
    QIODevice& out;
    QIODevice& err;
    /// Whether `err` is a terminal, so that a progress bar may be drawn on it.
    bool errIsTerminal = false;
};

/// Exit statuses of the batch tool.
enum BatchExit { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

/// Runs the batch tool with `arguments` (the program name first) and returns its exit
/// status.
int RunBatch(const QStringList& arguments, BatchIo io);

}  // namespace quillet
