// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <utility>

class QPlainTextEdit;
class QPushButton;

namespace quillet {

/// System Info where the platform has no tool of its own for it: what a report of a fault
/// needs to say about the program and the system it runs on, with a button that copies
/// it all for pasting into the report.
class SystemInfoDialog final : public QDialog {
    Q_OBJECT

  public:
    /// The facts, each a name and its value, in the order shown.
    struct Facts {
        QList<std::pair<QString, QString>> lines;

        /// The facts of the running program: its version, the operating system and
        /// kernel, the versions of Qt, QScintilla, SQLite and the HTML5 parser (gumbo,
        /// as built), the window system and screen, and the files in use: the word
        /// lists at `wordListFile`, the settings, the parser's helper and the help.
        static Facts Collect(const QString& wordListFile);
        /// One "name: value" line per fact.
        QString text() const;
    };

    explicit SystemInfoDialog(const Facts& facts, QWidget* parent = nullptr);

    /// Puts the facts on the clipboard as text.
    void copy();

    QPlainTextEdit* Details = nullptr;
    QPushButton* CopyButton = nullptr;
    QPushButton* CloseButton = nullptr;

  private:
    Facts facts_;
};

}  // namespace quillet
