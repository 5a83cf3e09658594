#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace quillet::test {

/// Collects the texts ShowMessage is given instead of showing boxes, while it lives.
class MessageLog {
  public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList texts;
};

/// Runs `step` with the modal window once one is open (checked while events are
/// processed); with nullptr when none has opened within `timeoutMs`.
void WhenModalOpens(std::function<void(QWidget*)> step, int timeoutMs = 5000);

}  // namespace quillet::test
