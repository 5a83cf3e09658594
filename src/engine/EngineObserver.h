// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

namespace quillet {

/// What the repair routines report while they run. The routines call it at every step
/// (per tag, per cut, per space found), so each call must be cheap: an implementation
/// that draws decides by time what to draw. Only an observer that samples what it is told
/// now and then, and never stops a routine, may ask for fewer reports (reportStride).
class EngineObserver {
  public:
    /// A stride that asks for no reports at all: nothing is drawn from them.
    static constexpr qint64 kNoReports = 0;

    virtual ~EngineObserver() = default;

    /// How far apart the routines report, in code units of the text. 1, the default: at
    /// every step, as each call below says. A larger stride: showRemaining and
    /// processEvents about once every `stride` units (at the first step past them, or
    /// where the search for the next step has looked that far), with the count exact for
    /// the point reached; showAdded with them when the count of "</p>" changed; nothing in
    /// between. The routines then need not count characters between reports, which on a
    /// UTF-8 page costs more than the steps themselves, and may pass over steps that change
    /// nothing (a single space) without stopping at each. kNoReports: none of the three is
    /// called; notices still are.
    virtual qint64 reportStride() const { return 1; }

    /// `remaining` characters of the text are still to be processed.
    virtual void showRemaining(qint64 remaining) = 0;
    /// The routine has inserted `added` "</p>" so far.
    virtual void showAdded(qint32 added) = 0;
    /// The routine inserts no "</p>": a count of them from an earlier routine no longer
    /// holds.
    virtual void clearAdded() = 0;
    /// A chance to handle pending user-interface events. Returning false asks the
    /// running routine to stop at once and leave the document as it was.
    virtual bool processEvents() = 0;
    /// A notice for the user; returns when the user has seen it.
    virtual void notice(const QString& text) = 0;
};

/// An observer that shows nothing and never stops a routine.
class SilentObserver final : public EngineObserver {
  public:
    qint64 reportStride() const override { return kNoReports; }
    void showRemaining(qint64) override {}
    void showAdded(qint32) override {}
    void clearAdded() override {}
    bool processEvents() override { return true; }
    void notice(const QString&) override {}
};

}  // namespace quillet
