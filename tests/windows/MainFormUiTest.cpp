// The main window's make-up: what a user would notice if it broke. The places, captions
// and names themselves are read in the definition.
#include "windows/MainFormUi.h"

#include "windows/EmptyRegistry.h"
#include "windows/WorkBoxEditor.h"
#include "windows/frmAbout.h"
#include "wordlists/IncludeList.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace quillet {
namespace {

TEST(MainFormUi, ButtonsLabelsAndFocus) {
    QMainWindow form;
    MainFormUi ui;
    ui.setupUi(form);

    // Buttons in three groups; the skip-list button's Key "SkipList" differs from the name
    // of its picture, "Skip".
    QStringList keys;
    for (QAction* entry : ui.ToolBar1->actions()) {
        keys << (entry->isSeparator() ? QStringLiteral("|") : entry->data().toString());
        if (!entry->isSeparator()) {
            // Each picture is drawn at 16 pixels and, for dense screens, at 32.
            EXPECT_EQ(entry->icon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}}))
                << keys.last().toStdString();
        }
    }
    EXPECT_EQ(keys, (QStringList{"|", "Open", "Fix", "Save", "|", "Newlines", "Spaces", "|",
                                 "SkipList", "Include"}));
    EXPECT_EQ(ui.ToolBar1->actions()[8]->icon().cacheKey(), ui.image("Skip").cacheKey());
    EXPECT_TRUE(ui.image("SkipList").isNull());

    // The caption labels are the elements 0 and 2 of one array, and their captions and an
    // eight-digit count fit at the design scale for the platform's font.
    ASSERT_EQ(ui.Label1.keys(), (QList<int>{0, 2}));
    const QFontMetrics metrics(ui.Label1[2]->font());
    for (const QLabel* label : ui.Label1) {
        EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width());
        EXPECT_LE(metrics.height(), label->height());
    }
    EXPECT_LT(metrics.horizontalAdvance(QStringLiteral("52428800")),
              ui.CountBox->contentsRect().width() - ui.CountBox->indent());

    EXPECT_EQ(form.focusWidget(), ui.WorkBox);
}

TEST(MainFormUi, MenusKeepTheDesignedItemsWithTheAdditionsAround) {
    QMainWindow form;
    MainFormUi ui;
    ui.setupUi(form);
    QStringList menus;
    for (QAction* menu : form.menuBar()->actions()) menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&Options", "&Help"}));
    QStringList file;
    for (QAction* item : ui.mnuFile->actions()) file << item->text();
    EXPECT_EQ(file, (QStringList{"&Open File", "&Fix File", "Strip &Newlines", "Strip S&paces",
                                 "&Save File", "&Recent Files", "Reopen with &Encoding",
                                 "&Edit Skip List", "Edit &Include List", "E&xit"}));
    // A button's tool tip names the shortcut of its menu item.
    EXPECT_EQ(ui.ToolBar1->actions()[2]->toolTip(), QStringLiteral("Fix File (F5)"));
}

TEST(MainFormUi, ButtonsCountersAndTheDocumentHaveAccessibleNames) {
    QMainWindow form;
    MainFormUi ui;
    ui.setupUi(form);
    auto name = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    QStringList buttons;
    for (QAction* entry : ui.ToolBar1->actions()) {
        if (!entry->isSeparator()) buttons << name(ui.ToolBar1->widgetForAction(entry));
    }
    EXPECT_EQ(buttons,
              (QStringList{"Open File", "Fix File", "Save File", "Clear Paragraph Newlines",
                           "Clear Excess Spaces", "Edit Skip List", "Edit Include List"}));
    EXPECT_EQ(name(ui.CountBox), QStringLiteral("Remaining Characters to Process"));
    EXPECT_EQ(name(ui.PBox), QStringLiteral("</p>s Added"));
    EXPECT_EQ(name(ui.WorkBox), QStringLiteral("Document"));
}

TEST(MainFormUi, EveryWindowIsDrawnAtTheSameScale) {
    // A font large enough to make the design grow.
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPixelSize(24);
    QApplication::setFont(large);
    QMainWindow form;
    MainFormUi ui;
    ui.setupUi(form);
    ASSERT_GT(ui.scale, 1.5);
    IncludeList editor;
    EmptyRegistry registry;
    frmAbout about{SystemInfoAccess(registry)};
    // Widths in the designed proportions: 9645 and 5730 twips against the main 9780.
    const double main = ui.client->width();
    EXPECT_NEAR(editor.width() / main, 9645.0 / 9780.0, 0.01);
    EXPECT_NEAR(about.width() / main, 5730.0 / 9780.0, 0.01);
    QApplication::setFont(before);
}

}  // namespace
}  // namespace quillet
