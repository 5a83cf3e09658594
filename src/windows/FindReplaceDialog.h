// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {

class WorkBoxEditor;

/// The window of Find and Replace over the document view. It stays open beside the main
/// window while the user works in the page; Replace shows the second field and its buttons.
class FindReplaceDialog final : public QDialog {
    Q_OBJECT

  public:
    FindReplaceDialog(WorkBoxEditor& view, QWidget* parent);

    /// Shows the window for finding, or with `replacing` for replacing, with the text
    /// to find selected; the selection of the view, if on one line, becomes that text.
    void showFor(bool replacing);

    /// Selects the next place of the text, or the previous one; says so when there is
    /// none, or when the search went on from the other end of the page.
    void findNext();
    void findPrevious();
    /// Puts the replacement at the selected place of the text and selects the next one.
    void replace();
    /// Puts the replacement at every place of the text, as one step to undo.
    void replaceAll();

    QLineEdit* FindBox = nullptr;
    QLineEdit* ReplaceBox = nullptr;
    QCheckBox* MatchCaseBox = nullptr;
    QCheckBox* WholeWordsBox = nullptr;
    QPushButton* FindNextButton = nullptr;
    QPushButton* FindPreviousButton = nullptr;
    QPushButton* ReplaceButton = nullptr;
    QPushButton* ReplaceAllButton = nullptr;
    QLabel* StatusLabel = nullptr;

  private:
    void find(bool forward);
    /// Whether the page may be changed now; says why not when it may not.
    bool mayChange();

    WorkBoxEditor& view_;
    QLabel* replaceCaption_ = nullptr;
};

}  // namespace quillet
