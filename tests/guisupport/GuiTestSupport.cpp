// SPDX-License-Identifier: GPL-3.0-or-later
#include "GuiTestSupport.h"

#include "windows/Utilities.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

namespace quillet::test {

MessageLog::MessageLog() {
    SetMessageSink([this](const QString& text) { texts << text; });
    SetBeepSink([this] { ++beeps; });
}

MessageLog::~MessageLog() {
    SetMessageSink({});
    SetBeepSink({});
}

bool WithModal(const std::function<void()>& run, const std::function<void(QWidget*)>& step,
               int timeoutMs) {
    bool opened = false;
    const QDeadlineTimer deadline(timeoutMs);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        if (!opened) {
            opened = true;
            step(modal);
        } else if (deadline.hasExpired()) {
            ADD_FAILURE() << "a modal window was left open: " << modal->windowTitle().toStdString();
            modal->close();
        }
    });
    poll.start(10);
    run();
    return opened;
}

}  // namespace quillet::test
