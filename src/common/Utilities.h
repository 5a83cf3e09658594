#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace quillet {

/// Moves `window`, keeping its size, to the middle of its screen.
void CenterForm(QWidget& window);

/// Sounds the system beep, then shows `text` in a modal box with a single OK button,
/// titled with the application's title, and returns when the user has confirmed it.
void ShowMessage(const QString& text, QWidget* parent = nullptr);

/// Where ShowMessage hands its text instead of showing a box; for tests. An empty
/// function restores the box.
using MessageSink = std::function<void(const QString& text)>;
void SetMessageSink(MessageSink sink);

}  // namespace quillet
