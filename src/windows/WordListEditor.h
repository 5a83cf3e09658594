// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillet {

class WordListDatabase;
class WordListTable;
struct ListSchema;

/// What the two word-list editor windows share: their controls, their connection to the
/// word-list database, and the steps of Load, FillList, Add, Delete, Quit and of a
/// selection in the list. Each window class creates the controls itself, in its own
/// order, places and tab order, and names its own table and index.
class WordListEditor : public QDialog {
    Q_OBJECT

  public:
    ~WordListEditor() override;

    /// The message for an entry the list already holds.
    static const QString kDuplicateEntry;

    /// Opens the window's own connection to the database at `databasePath` and fills the
    /// list. When the store fails, the user is told why and false is returned: the window
    /// must then not be shown.
    virtual bool Load(const QString& databasePath) = 0;

    /// Refills `List` from the table, in the index's order; afterwards no line is selected.
    void FillList();

    // Controls; each window class creates them in its own order.
    QLineEdit* CurrentBox = nullptr;
    QPushButton* AddButton = nullptr;
    QPushButton* DeleteButton = nullptr;
    QPushButton* QuitButton = nullptr;
    QListWidget* List = nullptr;
    QLabel* CurrentLabel = nullptr;  ///< the caption of CurrentBox

  protected:
    explicit WordListEditor(QWidget* parent);

    /// Settings both windows share: fixed dialog frame with a close button only, the
    /// caption, the design scale, and the client size, given in twips. Called by SetupUi
    /// first.
    void SetupFrame(const QString& caption, int widthTwips, int heightTwips);
    /// A place given in twips, in pixels at the design scale all windows share.
    QRect Place(int left, int top, int width, int height) const;
    /// Puts the caption of CurrentBox at `place`, with its access key.
    void LabelCurrentBox(const QRect& place);
    /// Connects the handlers; called once the controls exist.
    void ConnectHandlers();
    /// Centres the window, then opens `schema`'s table with its index selected and fills
    /// the list.
    bool OpenList(const QString& databasePath, const ListSchema& schema);

    void keyPressEvent(QKeyEvent* event) override;

  private:
    void List_Click();
    void AddButton_Click();
    void DeleteButton_Click();
    void QuitButton_Click();
    /// Selects the line at `position`, which copies it into CurrentBox.
    void SelectPosition(int position);

    double scale_ = 1.0;
    std::unique_ptr<WordListDatabase> database_;
    std::unique_ptr<WordListTable> table_;
};

}  // namespace quillet
