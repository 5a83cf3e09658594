// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace quillet {

/// Moves `window`, keeping its size, so that its frame (title bar and borders included)
/// stands in the middle of its screen. A window not shown yet has no frame: it is placed
/// by the frame the window manager is expected to give it, and placed again once that
/// frame is known, unless it was moved meanwhile.
void CenterForm(QWidget& window);

/// Where the top-left corner of a frame goes so that the frame, a client area of
/// `clientSize` with `margins` around it, is centred in `area`; computed in single
/// precision and cut to whole pixels.
QPoint CenteredFramePosition(const QRect& area, QSize clientSize, QMargins margins);

/// Sounds the system beep.
void Beep();

/// Sounds the system beep, then shows `text` in a modal box with a single OK button,
/// titled with the application's title, and returns when the user has confirmed it.
void ShowMessage(const QString& text, QWidget* parent = nullptr);

/// Shows `text` as ShowMessage does, without the beep.
void ShowNotice(const QString& text, QWidget* parent = nullptr);

/// Gives `box` room for its whole title, which the window manager would otherwise cut
/// short on a box narrower than its title bar needs.
void FitTitle(QMessageBox& box);

/// Where ShowMessage and ShowNotice hand their text instead of showing a box; for tests.
/// An empty function restores the box.
using MessageSink = std::function<void(const QString& text)>;
void SetMessageSink(MessageSink sink);

/// What Beep calls instead of sounding the beep; for tests. An empty function restores
/// the beep.
using BeepSink = std::function<void()>;
void SetBeepSink(BeepSink sink);

}  // namespace quillet
