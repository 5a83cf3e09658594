// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/IncludeList.h"

#include "wordlists/WordListStore.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quillet {

IncludeList::IncludeList(QWidget* parent) : WordListEditor(parent) {
    SetupUi();
    ConnectHandlers();
}

// The window's definition: the controls in their creation order, places in twips, and
// the tab order CurrentBox, Quit, Delete, Add, List.
void IncludeList::SetupUi() {
    setObjectName(QStringLiteral("IncludeList"));
    SetupFrame(tr("Include List"), 9645, 6555);

    List = new QListWidget(this);
    List->setObjectName(QStringLiteral("List"));
    List->setGeometry(Place(5550, 120, 3975, 6300));

    AddButton = new QPushButton(tr("Add"), this);
    AddButton->setObjectName(QStringLiteral("AddButton"));
    AddButton->setGeometry(Place(2160, 600, 1215, 495));

    DeleteButton = new QPushButton(tr("Delete"), this);
    DeleteButton->setObjectName(QStringLiteral("DeleteButton"));
    DeleteButton->setGeometry(Place(2160, 1380, 1215, 495));

    QuitButton = new QPushButton(tr("Quit"), this);
    QuitButton->setObjectName(QStringLiteral("QuitButton"));
    QuitButton->setGeometry(Place(2160, 2760, 1215, 495));

    CurrentBox = new QLineEdit(this);
    CurrentBox->setObjectName(QStringLiteral("CurrentBox"));
    CurrentBox->setGeometry(Place(150, 4080, 5220, 285));
    LabelCurrentBox(Place(150, 3780, 5220, 240));

    setTabOrder(CurrentBox, QuitButton);
    setTabOrder(QuitButton, DeleteButton);
    setTabOrder(DeleteButton, AddButton);
    setTabOrder(AddButton, List);
    CurrentBox->setFocus();
}

bool IncludeList::Load(const QString& databasePath) {
    return OpenList(databasePath, IncludeListSchema());
}

}  // namespace quillet
