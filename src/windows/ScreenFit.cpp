// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace quillet {

namespace {

QMargins& SeenFrameMargins() {
    static QMargins margins;
    return margins;
}

/// A window manager's frame as most draw it: a title bar and thin borders. Taking it a
/// little large costs a window a few pixels at its first start, taking it too small
/// would cost it its title bar.
constexpr QMargins kTypicalFrame(4, 30, 4, 4);

}  // namespace

QRect AvailableArea(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QMargins ExpectedFrameMargins() {
    return SeenFrameMargins().isNull() ? kTypicalFrame : SeenFrameMargins();
}

void RememberFrameMargins(QMargins margins) {
    if (!margins.isNull()) SeenFrameMargins() = margins;
}

double FittingScale(QSize design, QSize fixed, QSize room) {
    double scale = 1.0;
    if (design.width() > 0) {
        scale = std::min(scale, double(room.width() - fixed.width()) / design.width());
    }
    if (design.height() > 0) {
        scale = std::min(scale, double(room.height() - fixed.height()) / design.height());
    }
    return std::max(scale, 0.0);
}

QRect KeepInside(const QRect& frame, const QRect& area) {
    const QSize size = frame.size().boundedTo(area.size());
    // As near to where it was as the area allows.
    const int left =
        std::clamp(frame.left(), area.left(), area.left() + area.width() - size.width());
    const int top = std::clamp(frame.top(), area.top(), area.top() + area.height() - size.height());
    return {QPoint(left, top), size};
}

namespace {

/// Waits until the window manager has framed a window, then learns its frame margins and
/// keeps the frame on the screen; a window to centre is first centred again by its real
/// frame, unless it was moved meanwhile. Then it goes.
class FrameWatcher final : public QObject {
  public:
    enum Mode { Keep, Centre };

    FrameWatcher(QWidget& window, Mode mode, QPoint placed = {})
        : QObject(&window), window_(window), mode_(mode), placed_(placed) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget& window_;
    Mode mode_;
    QPoint placed_;
    QPointer<QWindow> handle_;
};

void KeepFrameInside(QWidget& window, QMargins margins) {
    const QRect area = AvailableArea(window);
    if (!area.isValid() || window.isMaximized() || window.isFullScreen()) return;
    const QRect frame(window.pos(), window.size().grownBy(margins));
    const QRect inside = KeepInside(frame, area);
    if (inside == frame) return;
    if (inside.size() != frame.size()) window.resize(inside.size().shrunkBy(margins));
    // A window that cannot be as small as the area keeps its title bar on the screen.
    window.move(inside.topLeft());
}

bool FrameWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Show && window_.windowHandle()) {
        handle_ = window_.windowHandle();
        handle_->installEventFilter(this);
    } else if (watched == handle_ && event->type() == QEvent::Expose && handle_->isExposed()) {
        const QMargins margins = handle_->frameMargins();
        RememberFrameMargins(margins);
        const QRect area = AvailableArea(window_);
        if (mode_ == Centre && window_.pos() == placed_ && area.isValid()) {
            window_.move(CenteredFramePosition(area, window_.size(), margins));
        }
        KeepFrameInside(window_, margins);
        handle_->removeEventFilter(this);
        window_.removeEventFilter(this);
        deleteLater();
    }
    return false;
}

}  // namespace

void FitOnScreen(QWidget& window) {
    KeepFrameInside(window, ExpectedFrameMargins());
    new FrameWatcher(window, FrameWatcher::Keep);
}

void CenterForm(QWidget& window) {
    const QRect area = AvailableArea(window);
    if (!area.isValid()) return;
    if (window.isVisible() && window.windowHandle()) {
        const QMargins margins = window.windowHandle()->frameMargins();
        RememberFrameMargins(margins);
        window.move(CenteredFramePosition(area, window.size(), margins));
        KeepFrameInside(window, margins);
        return;
    }
    // A move of a window places its frame. Not shown yet, it has no frame to measure.
    const QMargins margins = ExpectedFrameMargins();
    window.resize(window.size().boundedTo(area.size().shrunkBy(margins)));
    const QPoint placed = CenteredFramePosition(area, window.size(), margins);
    window.move(placed);
    new FrameWatcher(window, FrameWatcher::Centre, placed);
}

QPoint CenteredFramePosition(const QRect& area, QSize clientSize, QMargins margins) {
    const QSize frame = clientSize.grownBy(margins);
    const float left = (float(area.width()) - float(frame.width())) / 2.0f;
    const float top = (float(area.height()) - float(frame.height())) / 2.0f;
    // A frame larger than the area keeps its top left corner, and so its title bar, in it.
    return {area.left() + std::max(0, int(left)), area.top() + std::max(0, int(top))};
}

}  // namespace quillet
