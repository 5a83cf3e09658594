// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

namespace quillet {

/// What the repair routines report while they run. The routines call it at every step
/// (per tag, per cut, per space found), so each call must be cheap: an implementation
/// that draws decides by time what to draw, and never asks the engine to call it less.
class EngineObserver {
  public:
    virtual ~EngineObserver() = default;

    /// The remaining-character count (`CountBox`) is now `remaining`.
    virtual void showRemaining(qint64 remaining) = 0;
    /// The count of inserted "</p>" (`PBox`) is now `added`.
    virtual void showAdded(qint32 added) = 0;
    /// The count of inserted "</p>" is no longer on show (`PBox` is emptied).
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
    void showRemaining(qint64) override {}
    void showAdded(qint32) override {}
    void clearAdded() override {}
    bool processEvents() override { return true; }
    void notice(const QString&) override {}
};

}  // namespace quillet
