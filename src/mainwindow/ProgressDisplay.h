// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EngineObserver.h"
#include "frontend/ProgressThrottle.h"

#include <functional>

class QLabel;
class QWidget;

namespace quillet {

/// Shows a running repair command's progress in the main window's labels and keeps the
/// window responsive. The engine reports at every tag; the labels are redrawn and the
/// pending events handled at most once per repaint interval, since doing so at every
/// tag would make a long run many times slower.
class ProgressDisplay final : public EngineObserver {
  public:
    /// Milliseconds between two repaints during a run.
    static constexpr qint64 kRepaintInterval = 30;

    /// A source of milliseconds; the default is a monotonic clock.
    using Clock = ProgressThrottle::Clock;

    /// Writes to `countBox` and `pBox`; notices are shown over `window`. The clock is
    /// read at every `clockEvery`-th report only, which is often enough at every tag.
    ProgressDisplay(QLabel& countBox, QLabel& pBox, QWidget* window, Clock clock = {},
                    int clockEvery = 16);

    /// A run starts: the first chance to repaint is taken whatever the time, and onBegin
    /// is called.
    void begin();
    /// Called as a run starts.
    std::function<void()> onBegin;
    /// The run has ended: the labels show the last reported values.
    void finish();

    /// Asks the running command to stop at its next step.
    void requestStop() { stopRequested_ = true; }

    /// How many times the labels were brought up to date and the events handled.
    qint64 repaints() const { return repaints_; }

    void showRemaining(qint64 remaining) override;
    void showAdded(qint32 added) override;
    void clearAdded() override;
    bool processEvents() override;
    void notice(const QString& text) override;

  private:
    void applyLabels();

    QLabel& countBox_;
    QLabel& pBox_;
    QWidget* window_;
    ProgressThrottle throttle_;
    bool stopRequested_ = false;
    qint64 repaints_ = 0;

    // What the engine reported last, and whether the labels still show older values.
    qint64 remaining_ = 0;
    qint32 added_ = 0;
    bool addedShown_ = false;
    bool countDirty_ = false;
    bool addedDirty_ = false;
};

}  // namespace quillet
