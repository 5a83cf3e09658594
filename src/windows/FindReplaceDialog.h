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
    /// Puts the replacement at every place of the text, as one step to undo, and says how
    /// many it replaced, here and through `reported`.
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

    /// The most places of the text that are marked in the page.
    static constexpr int kMostMarked = 10000;

  signals:
    /// A result for the main window's status line.
    void reported(const QString& text);

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void find(bool forward);
    /// Marks every place of the text in the page, and says how many there are.
    void markAll();
    /// Whether the page may be changed now; says why not when it may not.
    bool mayChange();

    WorkBoxEditor& view_;
    QString marked_;              // the text whose places are marked
    quint64 markedRevision_ = 0;  // the page's revision when they were
    QString placesSaid_;          // how many places there are, in words
    QLabel* replaceCaption_ = nullptr;
};

}  // namespace quillet
