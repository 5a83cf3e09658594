// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QIODevice>
#include <QString>

namespace quillet {

/// How far a run has come.
struct RunCount {
    qint64 pages = 0;
    qint64 bytes = 0;
};

/// The progress line of a run on a terminal: one line for the whole run, redrawn in place
/// at most ten times a second, with the pages and megabytes done of the total, the pages
/// a second and the time left ("  120/5000 pages  3.1/128.4 MB  48 pages/s  1:40 left").
/// It draws nothing when it is off (standard error is not a terminal, or the run is quiet).
class TerminalProgress {
  public:
    TerminalProgress(QIODevice& err, bool on, RunCount total);
    ~TerminalProgress() { clear(); }

    /// Redraws the line with `done`, when the last drawing is old enough.
    void update(RunCount done);
    /// Takes the line off the terminal, before other output; a later update draws it again.
    void clear();

    /// The line's text for `done` of `total` after `elapsedMs`.
    static QString Line(RunCount done, RunCount total, qint64 elapsedMs);

  private:
    QIODevice& err_;
    bool on_;
    RunCount total_;
    QElapsedTimer clock_;
    qint64 drawnAt_ = -1;
    bool drawn_ = false;
};

}  // namespace quillet
