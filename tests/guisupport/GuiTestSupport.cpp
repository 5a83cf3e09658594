#include "GuiTestSupport.h"

#include "common/Utilities.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace quillet::test {

MessageLog::MessageLog() {
    SetMessageSink([this](const QString& text) { texts << text; });
}

MessageLog::~MessageLog() {
    SetMessageSink({});
}

void WhenModalOpens(std::function<void(QWidget*)> step, int timeoutMs) {
    auto* timer = new QTimer(qApp);
    const QDeadlineTimer deadline(timeoutMs);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step = std::move(step), deadline] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && !deadline.hasExpired()) return;
        timer->stop();
        timer->deleteLater();
        step(modal);
    });
    timer->start(10);
}

}  // namespace quillet::test
