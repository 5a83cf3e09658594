// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace quillet {

/// Keeps the controls of a window in proportion to it. The ratios of each control's
/// place and size to the window's inner size are recorded once, from the design layout,
/// and every later placement is derived from them, so no rounding error accumulates.
class ScreenHandler {
  public:
    /// A control's place and size as fractions of the window's inner width and height.
    struct ControlRatio {
        float width = 0.0f;
        float height = 0.0f;
        float top = 0.0f;
        float left = 0.0f;
    };

    /// Records the ratios of every control of `window`: its child widgets that are not
    /// windows of their own, in creation order. Replaces any earlier recording.
    void InitResizeArray(const QWidget& window);

    /// Moves and sizes every recorded control from its ratios and the window's inner size.
    /// A control with a maximum height below its share keeps that height, centred in its
    /// share. Controls created after the recording, or destroyed since, are left alone.
    void ResizeControls(const QWidget& window);

  private:
    struct Entry {
        QPointer<QWidget> control;
        ControlRatio ratio;
    };
    QList<Entry> entries_;
};

}  // namespace quillet
