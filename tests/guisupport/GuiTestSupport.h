// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace quillet::test {

/// Collects the texts ShowMessage and ShowNotice are given instead of showing boxes, and
/// counts the beeps, while it lives.
class MessageLog {
  public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList texts;
    int beeps = 0;
};

/// Calls `run`, and `step` with the first modal window that opens meanwhile. A modal
/// window still open after `timeoutMs` is closed and the test fails, so that a test never
/// hangs. Returns whether a modal window opened.
bool WithModal(const std::function<void()>& run, const std::function<void(QWidget*)>& step,
               int timeoutMs = 5000);

}  // namespace quillet::test
