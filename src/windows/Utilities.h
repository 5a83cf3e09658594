// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windows/ScreenFit.h"

#include <QList>
#include <QString>
#include <functional>

class QAbstractButton;
class QMessageBox;
class QWidget;

namespace quillet {

/// Sounds the system beep.
void Beep();

/// Sounds the system beep, then shows `text` in a modal box with a single OK button,
/// titled with the application's title, and returns when the user has confirmed it.
void ShowMessage(const QString& text, QWidget* parent = nullptr);

/// Shows `text` as ShowMessage does, without the beep.
void ShowNotice(const QString& text, QWidget* parent = nullptr);

/// Gives each of `buttons` that has no access key one: the first letter or digit of its
/// text that no other of them uses as its key, so that Alt and that letter press it.
void GiveAccessKeys(const QList<QAbstractButton*>& buttons);

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
