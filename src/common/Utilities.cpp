// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Utilities.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace quillet {

namespace {

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

BeepSink& Beeper() {
    static BeepSink sink;
    return sink;
}

/// The frame margins last seen on a framed window of this program: the window manager
/// gives the windows it frames the same kind of frame, so they stand for a window not
/// framed yet.
QMargins& LastFrameMargins() {
    static QMargins margins;
    return margins;
}

QRect ScreenArea(const QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

/// Centres a window again once the window manager has framed it, unless it was moved
/// meanwhile; then it goes.
class FrameCentrer final : public QObject {
  public:
    FrameCentrer(QWidget& window, QPoint placed)
        : QObject(&window), window_(window), placed_(placed) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Show && window_.windowHandle()) {
            handle_ = window_.windowHandle();
            handle_->installEventFilter(this);
        } else if (watched == handle_ && event->type() == QEvent::Expose && handle_->isExposed()) {
            const QMargins margins = handle_->frameMargins();
            if (!margins.isNull()) LastFrameMargins() = margins;
            const QRect area = ScreenArea(window_);
            if (window_.pos() == placed_ && area.isValid()) {
                window_.move(CenteredFramePosition(area, window_.size(), margins));
            }
            handle_->removeEventFilter(this);
            window_.removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

  private:
    QWidget& window_;
    QPoint placed_;
    QPointer<QWindow> handle_;
};

void Show(const QString& text, QWidget* parent) {
    if (Sink()) {
        Sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    FitTitle(box);
    box.exec();
}

}  // namespace

QPoint CenteredFramePosition(const QRect& area, QSize clientSize, QMargins margins) {
    const QSize frame = clientSize.grownBy(margins);
    const float left = (float(area.width()) - float(frame.width())) / 2.0f;
    const float top = (float(area.height()) - float(frame.height())) / 2.0f;
    return {area.left() + int(left), area.top() + int(top)};
}

void CenterForm(QWidget& window) {
    const QRect area = ScreenArea(window);
    if (!area.isValid()) return;
    if (window.isVisible() && window.windowHandle()) {
        const QMargins margins = window.windowHandle()->frameMargins();
        if (!margins.isNull()) LastFrameMargins() = margins;
        window.move(CenteredFramePosition(area, window.size(), margins));
        return;
    }
    // A move of a window places its frame. Not shown yet, it has no frame to measure.
    const QPoint placed = CenteredFramePosition(area, window.size(), LastFrameMargins());
    window.move(placed);
    new FrameCentrer(window, placed);
}

void Beep() {
    if (Beeper()) {
        Beeper()();
        return;
    }
    QApplication::beep();
}

void ShowMessage(const QString& text, QWidget* parent) {
    Beep();
    Show(text, parent);
}

void ShowNotice(const QString& text, QWidget* parent) {
    Show(text, parent);
}

void FitTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    // The window manager draws the title in a bold face, beside the window's icon and its
    // buttons, each about as wide as the bar is high.
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    const int width = metrics.horizontalAdvance(box.windowTitle()) + 8 * metrics.height();
    // A message box takes its width from its layout: a row that needs the room makes it.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

void SetMessageSink(MessageSink sink) {
    Sink() = std::move(sink);
}

void SetBeepSink(BeepSink sink) {
    Beeper() = std::move(sink);
}

}  // namespace quillet
