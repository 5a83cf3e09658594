// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's make-up: what a user would notice if it broke.
#include "mainwindow/MainFormUi.h"

#include "windows/WorkBoxEditor.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSet>
#include <QToolBar>

namespace quillet {
namespace {

TEST(MainFormUi, ButtonsHavePicturesNamesAndTheirShortcutsInTheToolTips) {
    QMainWindow form;
    MainFormUi ui;
    ui.setupUi(form);
    auto name = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    int buttons = 0;
    for (QAction* entry : ui.ToolBar1->actions()) {
        if (entry->isSeparator()) continue;
        ++buttons;
        const std::string key = entry->data().toString().toStdString();
        // Each picture is drawn at 16 pixels and, for dense screens, at 32.
        EXPECT_EQ(entry->icon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}})) << key;
        EXPECT_FALSE(name(ui.ToolBar1->widgetForAction(entry)).isEmpty()) << key;
    }
    EXPECT_EQ(buttons, 7);
    EXPECT_EQ(ui.ToolBar1->actions()[2]->toolTip(), QStringLiteral("Fix File (F5)"));
    for (QWidget* widget : {static_cast<QWidget*>(ui.CountBox), static_cast<QWidget*>(ui.PBox),
                            static_cast<QWidget*>(ui.WorkBox)}) {
        EXPECT_FALSE(name(widget).isEmpty()) << widget->objectName().toStdString();
    }
    EXPECT_EQ(form.focusWidget(), ui.WorkBox);
}

TEST(MainFormUi, EachMenuGivesEachItemAnAccessKeyOfItsOwn) {
    QMainWindow form;
    MainFormUi ui;
    ui.setupUi(form);
    const auto key = [](const QString& text) {
        const qsizetype at = text.indexOf(u'&');
        return at < 0 ? QChar() : text[at + 1].toLower();
    };
    QList<QMenu*> menus{ui.mnuFile, ui.mnuEdit, ui.mnuView, ui.mnuOptions, ui.mnuHelp};
    QString bar;
    for (QMenu* menu : menus) bar += key(menu->title());
    EXPECT_EQ(QSet<QChar>(bar.begin(), bar.end()).size(), menus.size()) << bar.toStdString();
    for (QMenu* menu : menus) {
        QString keys;
        for (const QAction* item : menu->actions()) {
            if (item->isSeparator()) continue;
            const QChar itemKey = key(item->text());
            EXPECT_FALSE(itemKey.isNull()) << item->text().toStdString();
            EXPECT_FALSE(keys.contains(itemKey)) << item->text().toStdString();
            keys += itemKey;
        }
    }
}

}  // namespace
}  // namespace quillet
