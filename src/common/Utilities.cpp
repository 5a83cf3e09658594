#include "common/Utilities.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace quillet {

namespace {
MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}
}  // namespace

void CenterForm(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    // The frame's size once the window has one; the client size before it is shown.
    const QSize size = window.isVisible() ? window.frameGeometry().size() : window.size();
    const float left = (float(area.width()) - float(size.width())) / 2.0f;
    const float top = (float(area.height()) - float(size.height())) / 2.0f;
    window.move(area.left() + int(left), area.top() + int(top));
}

void ShowMessage(const QString& text, QWidget* parent) {
    QApplication::beep();
    if (Sink()) {
        Sink()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

void SetMessageSink(MessageSink sink) {
    Sink() = std::move(sink);
}

}  // namespace quillet
