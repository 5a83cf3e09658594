// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/FindReplaceDialog.h"

#include "windows/Utilities.h"
#include "windows/WorkBoxEditor.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

namespace {

WorkBoxEditor::SearchOptions Options(const QCheckBox* matchCase, const QCheckBox* wholeWords) {
    return {matchCase->isChecked(), wholeWords->isChecked()};
}

}  // namespace

FindReplaceDialog::FindReplaceDialog(WorkBoxEditor& view, QWidget* parent)
    : QDialog(parent), view_(view) {
    setObjectName(QStringLiteral("FindReplaceDialog"));
    setModal(false);

    auto* findCaption = new QLabel(tr("Fi&nd what:"), this);
    FindBox = new QLineEdit(this);
    FindBox->setObjectName(QStringLiteral("FindBox"));
    findCaption->setBuddy(FindBox);
    replaceCaption_ = new QLabel(tr("Replace wit&h:"), this);
    ReplaceBox = new QLineEdit(this);
    ReplaceBox->setObjectName(QStringLiteral("ReplaceBox"));
    replaceCaption_->setBuddy(ReplaceBox);
    MatchCaseBox = new QCheckBox(tr("Match &case"), this);
    WholeWordsBox = new QCheckBox(tr("&Whole words only"), this);
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));

    FindNextButton = new QPushButton(tr("Find &Next"), this);
    FindPreviousButton = new QPushButton(tr("Find &Previous"), this);
    ReplaceButton = new QPushButton(tr("&Replace"), this);
    ReplaceAllButton = new QPushButton(tr("Replace &All"), this);
    auto* closeButton = new QPushButton(tr("Close"), this);
    FindNextButton->setDefault(true);

    auto* fields = new QGridLayout;
    fields->addWidget(findCaption, 0, 0);
    fields->addWidget(FindBox, 0, 1);
    fields->addWidget(replaceCaption_, 1, 0);
    fields->addWidget(ReplaceBox, 1, 1);
    fields->addWidget(MatchCaseBox, 2, 1);
    fields->addWidget(WholeWordsBox, 3, 1);
    fields->addWidget(StatusLabel, 4, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button :
         {FindNextButton, FindPreviousButton, ReplaceButton, ReplaceAllButton, closeButton}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(fields, 1);
    layout->addLayout(buttons);
    FindBox->setMinimumWidth(fontMetrics().averageCharWidth() * 32);

    connect(FindNextButton, &QPushButton::clicked, this, &FindReplaceDialog::findNext);
    connect(FindPreviousButton, &QPushButton::clicked, this, &FindReplaceDialog::findPrevious);
    connect(ReplaceButton, &QPushButton::clicked, this, &FindReplaceDialog::replace);
    connect(ReplaceAllButton, &QPushButton::clicked, this, &FindReplaceDialog::replaceAll);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    // Another text: the places of the one before are no longer marked.
    connect(FindBox, &QLineEdit::textChanged, this, [this] {
        StatusLabel->clear();
        view_.clearMarks(WorkBoxEditor::Mark::Found);
        marked_.clear();
    });
    connect(MatchCaseBox, &QCheckBox::toggled, this, [this] { marked_.clear(); });
    connect(WholeWordsBox, &QCheckBox::toggled, this, [this] { marked_.clear(); });
}

void FindReplaceDialog::showFor(bool replacing) {
    setWindowTitle(replacing ? tr("Replace") : tr("Find"));
    for (QWidget* part :
         {static_cast<QWidget*>(replaceCaption_), static_cast<QWidget*>(ReplaceBox),
          static_cast<QWidget*>(ReplaceButton), static_cast<QWidget*>(ReplaceAllButton)}) {
        part->setVisible(replacing);
    }
    const QString selected = view_.selectedText();
    if (!selected.isEmpty() && !selected.contains(u'\n') && !selected.contains(u'\r')) {
        FindBox->setText(selected);
    }
    StatusLabel->clear();
    adjustSize();
    show();
    raise();
    activateWindow();
    FindBox->setFocus();
    FindBox->selectAll();
}

void FindReplaceDialog::hideEvent(QHideEvent* event) {
    // The marks of the places found go with the window.
    view_.clearMarks(WorkBoxEditor::Mark::Found);
    marked_.clear();
    QDialog::hideEvent(event);
}

void FindReplaceDialog::markAll() {
    const int count =
        view_.markMatches(FindBox->text(), Options(MatchCaseBox, WholeWordsBox), kMostMarked);
    marked_ = FindBox->text();
    placesSaid_ = count > kMostMarked ? tr("More than %1 places in the page; the first %1 are "
                                           "marked.")
                                            .arg(kMostMarked)
                  : count == 1 ? tr("1 place in the page.")
                               : tr("%1 places in the page.").arg(count);
}

void FindReplaceDialog::find(bool forward) {
    const WorkBoxEditor::Found found =
        view_.findText(FindBox->text(), Options(MatchCaseBox, WholeWordsBox), forward);
    // The places are marked once for a text, and again after the page has changed.
    if (found != WorkBoxEditor::Found::No &&
        (marked_ != FindBox->text() || markedRevision_ != view_.revision())) {
        markAll();
        markedRevision_ = view_.revision();
    }
    switch (found) {
        case WorkBoxEditor::Found::Yes:
            StatusLabel->setText(placesSaid_);
            break;
        case WorkBoxEditor::Found::AfterWrapping:
            StatusLabel->setText((forward ? tr("Went on from the start of the page.")
                                          : tr("Went on from the end of the page.")) +
                                 u' ' + placesSaid_);
            break;
        case WorkBoxEditor::Found::No:
            StatusLabel->setText(tr("\"%1\" is not in the page.").arg(FindBox->text()));
            Beep();
            break;
    }
}

void FindReplaceDialog::findNext() {
    find(true);
}

void FindReplaceDialog::findPrevious() {
    find(false);
}

bool FindReplaceDialog::mayChange() {
    if (!view_.isReadOnly()) return true;
    StatusLabel->setText(tr("The page cannot be changed while a command runs."));
    Beep();
    return false;
}

void FindReplaceDialog::replace() {
    if (!mayChange()) return;
    view_.replaceSelection(FindBox->text(), ReplaceBox->text(),
                           Options(MatchCaseBox, WholeWordsBox));
    find(true);
}

void FindReplaceDialog::replaceAll() {
    if (!mayChange() || FindBox->text().isEmpty()) return;
    const int count =
        view_.replaceAll(FindBox->text(), ReplaceBox->text(), Options(MatchCaseBox, WholeWordsBox));
    const QString said = count == 0   ? tr("\"%1\" is not in the page.").arg(FindBox->text())
                         : count == 1 ? tr("Replaced 1 place.")
                                      : tr("Replaced %1 places.").arg(count);
    StatusLabel->setText(said);
    emit reported(said);
    if (count == 0) Beep();
}

}  // namespace quillet
