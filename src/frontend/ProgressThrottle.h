// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <functional>

namespace quillet {

/// Decides when an observer, which the engine calls at every step, redraws its progress:
/// at most once per interval, with the clock read at every `callsPerClockRead`-th call
/// only, since reading it at every tag would cost more than the step itself.
class ProgressThrottle {
  public:
    /// A source of milliseconds; the default is a monotonic clock started with the object.
    using Clock = std::function<qint64()>;

    ProgressThrottle(qint64 intervalMs, int callsPerClockRead, Clock clock = {})
        : interval_(intervalMs),
          callsPerClockRead_(std::max(1, callsPerClockRead)),
          untilClock_(callsPerClockRead_),
          clock_(std::move(clock)) {
        timer_.start();
    }

    /// Whether to redraw now; asked at every step.
    bool due() {
        if (!forced_) {
            if (--untilClock_ > 0) return false;
            untilClock_ = callsPerClockRead_;
            if (now() - last_ < interval_) return false;
        }
        forced_ = false;
        untilClock_ = callsPerClockRead_;
        return true;
    }
    /// The redraw is done: the next interval counts from now.
    void drawn() { last_ = now(); }
    /// The next question is answered yes, whatever the time.
    void force() { forced_ = true; }

  private:
    qint64 now() const { return clock_ ? clock_() : timer_.elapsed(); }

    qint64 interval_;
    int callsPerClockRead_;
    int untilClock_;
    Clock clock_;
    QElapsedTimer timer_;
    qint64 last_ = 0;
    bool forced_ = false;
};

}  // namespace quillet
