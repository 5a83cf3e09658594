// The main window's make-up: what a user would notice if it broke. The places, captions
// and names themselves are read in the definition.
#include "windows/MainFormUi.h"

#include "windows/WorkBoxEditor.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
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

}  // namespace
}  // namespace quillet
