// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EngineObserver.h"
#include "engine/ProgressThrottle.h"

#include <QIODevice>
#include <QString>

namespace quillet {

/// Reports a batch run's progress: a bar on a terminal for large inputs, notices as
/// plain lines. The engine calls it at every step; the bar is redrawn at most ten times
/// a second, and the clock is read only every few thousand calls.
class TerminalProgress final : public EngineObserver {
  public:
    /// `label` names the input in notices; the bar is drawn only when `drawBar`.
    TerminalProgress(QIODevice& err, QString label, qint64 total, bool drawBar);
    ~TerminalProgress() override;

    void showRemaining(qint64 remaining) override { remaining_ = remaining; }
    void showAdded(qint32 added) override { added_ = added; }
    void clearAdded() override { added_ = -1; }
    bool processEvents() override;
    void notice(const QString& text) override;

    /// Removes the bar from the terminal line.
    void finish();

  private:
    void draw();

    QIODevice& err_;
    QString label_;
    qint64 total_;
    bool drawBar_;
    bool drawn_ = false;
    qint64 remaining_ = 0;
    qint32 added_ = -1;
    ProgressThrottle throttle_;
};

}  // namespace quillet
