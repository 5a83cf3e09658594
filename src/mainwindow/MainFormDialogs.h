// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace quillet {

/// The windows the main window asks the user through: the file dialogs, the question
/// about unsaved changes, and the secondary windows. Tests answer them instead.
class MainFormDialogs {
  public:
    enum class UnsavedAnswer { Save, Discard, Cancel };

    virtual ~MainFormDialogs() = default;

    /// The file to open, or nothing when the user cancelled. The dialog starts at
    /// `startPath`, the path it last returned or was handed (empty at first).
    virtual std::optional<QString> askOpenPath(QWidget* parent, const QString& startPath) = 0;
    /// The path to save to, or nothing when the user cancelled; `proposal` is offered.
    virtual std::optional<QString> askSavePath(QWidget* parent, const QString& proposal) = 0;
    /// Whether to save the document's changes before they would be lost.
    virtual UnsavedAnswer askUnsavedChanges(QWidget* parent) = 0;
    /// The line to go to, from 1 to `last`, offering `current`; nothing when cancelled.
    virtual std::optional<int> askLineNumber(QWidget* parent, int current, int last) {
        Q_UNUSED(parent);
        Q_UNUSED(current);
        Q_UNUSED(last);
        return std::nullopt;
    }

    virtual void showSkipList(QWidget* parent, const QString& databasePath) = 0;
    virtual void showIncludeList(QWidget* parent, const QString& databasePath) = 0;
    /// The About box; `wordListFile` is the word-list file in use, which System Info names.
    virtual void showAbout(QWidget* parent, const QString& wordListFile) = 0;
    virtual void showHelpTopics(QWidget* parent) = 0;
};

}  // namespace quillet
