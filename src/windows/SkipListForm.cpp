// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/SkipListForm.h"

#include "wordlists/WordListStore.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quillet {

SkipListForm::SkipListForm(QWidget* parent) : WordListEditor(parent) {
    SetupUi();
    ConnectHandlers();
}

// The window's definition: the controls in their creation order, places in twips, and
// the tab order CurrentBox, Add, Delete, Quit, List.
void SkipListForm::SetupUi() {
    setObjectName(QStringLiteral("SkipListForm"));
    SetupFrame(tr("Skip List"), 9735, 6570);

    CurrentBox = new QLineEdit(this);
    CurrentBox->setObjectName(QStringLiteral("CurrentBox"));
    CurrentBox->setGeometry(Place(105, 4140, 5370, 285));
    LabelCurrentBox(Place(105, 3840, 5370, 240));

    QuitButton = new QPushButton(tr("Quit"), this);
    QuitButton->setObjectName(QStringLiteral("QuitButton"));
    QuitButton->setGeometry(Place(2190, 2820, 1215, 495));

    DeleteButton = new QPushButton(tr("Delete"), this);
    DeleteButton->setObjectName(QStringLiteral("DeleteButton"));
    DeleteButton->setGeometry(Place(2190, 1440, 1215, 495));

    AddButton = new QPushButton(tr("Add"), this);
    AddButton->setObjectName(QStringLiteral("AddButton"));
    AddButton->setGeometry(Place(2190, 660, 1215, 495));

    List = new QListWidget(this);
    List->setObjectName(QStringLiteral("List"));
    List->setGeometry(Place(5625, 60, 3975, 6300));

    setTabOrder(CurrentBox, AddButton);
    setTabOrder(AddButton, DeleteButton);
    setTabOrder(DeleteButton, QuitButton);
    setTabOrder(QuitButton, List);
    CurrentBox->setFocus();
}

bool SkipListForm::Load(const QString& databasePath) {
    return OpenList(databasePath, SkipListSchema());
}

}  // namespace quillet
