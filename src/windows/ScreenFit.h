// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace quillet {

/// The part of `window`'s screen (or of the primary screen, for a window not placed yet)
/// that windows may take: the screen less the desktop's panels.
QRect AvailableArea(const QWidget& window);

/// The frame margins (title bar and borders) that the window manager gives this program's
/// windows: those last seen on one of them, or a typical frame before any was framed.
QMargins ExpectedFrameMargins();
/// Records the frame margins seen on a framed window, for ExpectedFrameMargins.
void RememberFrameMargins(QMargins margins);

/// The factor by which a design of `design` pixels is drawn so that it fits into `room`
/// together with `fixed` pixels that do not scale (the frame, menu and status bars): 1
/// when it fits as it is, else the one factor below 1 that fits both width and height,
/// so the design keeps its proportions. Never below 0.
double FittingScale(QSize design, QSize fixed, QSize room);

/// `frame` moved, and made smaller where it is larger than `area`, so that it lies wholly
/// inside `area`; a frame inside already stays as it is.
QRect KeepInside(const QRect& frame, const QRect& area);

/// Moves `window`, keeping its size, so that its frame (title bar and borders included)
/// stands in the middle of its screen's available area; a window larger than that area is
/// made smaller first, as far as its minimum size allows. A window not shown yet has no
/// frame: it is placed by the frame the window manager is expected to give it, and placed
/// again once that frame is known, unless it was moved meanwhile.
void CenterForm(QWidget& window);

/// Where the top-left corner of a frame goes so that the frame, a client area of
/// `clientSize` with `margins` around it, is centred in `area`; computed in single
/// precision and cut to whole pixels. A frame larger than the area starts at its edge.
QPoint CenteredFramePosition(const QRect& area, QSize clientSize, QMargins margins);

/// Keeps `window`'s whole frame on its screen's available area: at once by the expected
/// frame, and again once the window manager has framed it (it moves it back and makes it
/// smaller where it does not fit, as far as its minimum size allows). For a window placed
/// from remembered settings, which may come from another screen.
void FitOnScreen(QWidget& window);

}  // namespace quillet
