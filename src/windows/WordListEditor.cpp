// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/WordListEditor.h"

#include "mainwindow/MainFormUi.h"
#include "windows/TwipsGeometry.h"
#include "windows/Utilities.h"
#include "windows/WordListMessages.h"
#include "wordlists/WordListStore.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <limits>

namespace quillet {

const QString WordListEditor::kDuplicateEntry = QStringLiteral("Duplicate Entry");

WordListEditor::WordListEditor(QWidget* parent) : QDialog(parent) {}

WordListEditor::~WordListEditor() = default;

void WordListEditor::SetupFrame(const QString& caption, int widthTwips, int heightTwips) {
    // Drawn at the design scale the main window uses, smaller where the screen is.
    scale_ = MainFormUi::ScreenScale(*this, widthTwips, heightTwips);
    const QSize clientSize = Place(0, 0, widthTwips, heightTwips).size();
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(caption);
    setFixedSize(clientSize);
}

QRect WordListEditor::Place(int left, int top, int width, int height) const {
    return TwipsRect(left, top, width, height, scale_);
}

void WordListEditor::LabelCurrentBox(const QRect& place) {
    CurrentLabel = new QLabel(tr("&Tag name:"), this);
    CurrentLabel->setObjectName(QStringLiteral("CurrentLabel"));
    CurrentLabel->setBuddy(CurrentBox);
    CurrentLabel->setGeometry(place);
    CurrentLabel->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
}

void WordListEditor::ConnectHandlers() {
    CurrentBox->setMaxLength(std::numeric_limits<int>::max());
    // No button is the window's default: Enter in the text box presses nothing, and Enter
    // on a button presses that button (see keyPressEvent).
    for (QPushButton* button : {AddButton, DeleteButton, QuitButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setSortingEnabled(false);  // the store's index order is the display order
    List->setUniformItemSizes(true);

    // A click on a line, and every change of the selection, copy the line to CurrentBox.
    connect(List, &QListWidget::itemSelectionChanged, this, &WordListEditor::List_Click);
    connect(List, &QListWidget::itemClicked, this, &WordListEditor::List_Click);
    connect(AddButton, &QPushButton::clicked, this, &WordListEditor::AddButton_Click);
    connect(DeleteButton, &QPushButton::clicked, this, &WordListEditor::DeleteButton_Click);
    connect(QuitButton, &QPushButton::clicked, this, &WordListEditor::QuitButton_Click);
}

bool WordListEditor::OpenList(const QString& databasePath, const ListSchema& schema) {
    CenterForm(*this);

    StoreError error;
    database_ = WordListDatabase::Open(databasePath, &error);
    if (database_) table_ = database_->OpenTable(schema, &error);
    if (!table_ || !table_->SetIndex(&error)) {
        table_.reset();
        database_.reset();
        ShowMessage(WordListMessage(error, ListUse::Edit, schema.description), parentWidget());
        return false;
    }
    FillList();
    return true;
}

void WordListEditor::FillList() {
    List->clear();
    StoreError error;
    const std::optional<QStringList> entries = table_->Walk(&error);
    if (!entries) {
        ShowMessage(WordListMessage(error, ListUse::Change), this);
        return;
    }
    List->addItems(*entries);
}

void WordListEditor::List_Click() {
    const QList<QListWidgetItem*> selected = List->selectedItems();
    if (!selected.isEmpty()) CurrentBox->setText(selected.first()->text());
}

void WordListEditor::SelectPosition(int position) {
    List->setCurrentRow(position);
    // Selecting the line that is selected already changes nothing; copy it all the same.
    List_Click();
}

void WordListEditor::AddButton_Click() {
    // Taken once, before the scans below change CurrentBox.
    const QString entry = TrimSpaces(CurrentBox->text()).toString();
    if (const QString fault = EntryFault(entry); !fault.isEmpty()) {
        // A pasted tab or line break: refused with the text kept, to be put right.
        ShowMessage(tr("The entry was not added: %1.").arg(fault), this);
        CurrentBox->setFocus();
        return;
    }
    if (!entry.isEmpty()) {
        // List positions are int: a list is not limited to 32,767 entries here.
        const int count = List->count();
        for (int i = 0; i < count; ++i) {
            SelectPosition(i);
            if (entry == List->item(i)->text()) {
                ShowMessage(tr("Duplicate Entry"), this);
                CurrentBox->clear();
                CurrentBox->setFocus();
                return;
            }
        }

        StoreError error;
        if (!table_->Add(entry, &error)) {
            // Refused by the store (an entry equal but for letter case, or the file is
            // locked or read-only): the list stays as it is, and the text stays for another try.
            ShowMessage(WordListMessage(error, ListUse::Change), this);
            List->clearSelection();
            CurrentBox->setText(entry);
            CurrentBox->setFocus();
            return;
        }
        FillList();

        const int filled = List->count();
        for (int i = 0; i < filled; ++i) {
            SelectPosition(i);
            if (TrimSpaces(List->item(i)->text()) == entry) break;
        }
    }
    CurrentBox->setFocus();
}

void WordListEditor::DeleteButton_Click() {
    const QList<QListWidgetItem*> selected = List->selectedItems();
    if (!selected.isEmpty()) {
        // The line's own text is sought, never the text typed into CurrentBox.
        StoreError error;
        const std::optional<bool> found = table_->Seek(selected.first()->text(), &error);
        if (!found) {
            ShowMessage(WordListMessage(error, ListUse::Change), this);
        } else if (*found) {
            if (table_->DeleteCurrent(&error)) {
                CurrentBox->clear();
                FillList();
            } else {
                ShowMessage(WordListMessage(error, ListUse::Change), this);
            }
        }
    }
    CurrentBox->setFocus();
}

void WordListEditor::QuitButton_Click() {
    close();
}

void WordListEditor::keyPressEvent(QKeyEvent* event) {
    // No button is the cancel button, so Escape does not close the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Enter on a button presses it, as Space does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isEnabled()) {
            button->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quillet
