#include "windows/MainFormUi.h"

#include "windows/WindowImages.h"
#include "windows/WorkBoxEditor.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QFontMetrics>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace quillet {
namespace {

class MainFormUiTest : public ::testing::Test {
  protected:
    void SetUp() override { ui.setupUi(form); }

    QMainWindow form;
    MainFormUi ui;
};

QStringList Captions(const QList<QAction*>& actions) {
    QStringList captions;
    for (const QAction* action : actions) captions << action->text();
    return captions;
}

TEST_F(MainFormUiTest, WindowAndControlsInCreationOrder) {
    EXPECT_EQ(form.objectName(), QStringLiteral("MainForm"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Orvane Quillet"));
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(ui.client->size(), QSize(ui.pixels(9780), ui.pixels(6720)));

    QStringList names;
    for (QObject* child : ui.client->children()) {
        if (child->isWidgetType()) names << child->objectName();
    }
    EXPECT_EQ(names, (QStringList{"ToolBar1", "WorkBox", "PBox", "Label1", "Label1", "CountBox"}));
}

TEST_F(MainFormUiTest, DesignPlaces) {
    auto place = [this](int left, int top, int width, int height) {
        return QRect(ui.pixels(left), ui.pixels(top), ui.pixels(width), ui.pixels(height));
    };
    EXPECT_EQ(ui.ToolBar1->geometry(), place(0, 0, 9780, 420));
    EXPECT_EQ(ui.WorkBox->geometry(), place(150, 900, 9495, 5490));
    EXPECT_EQ(ui.PBox->geometry(), place(7080, 480, 735, 315));
    EXPECT_EQ(ui.Label1.value(0)->geometry(), place(5940, 540, 1035, 195));
    EXPECT_EQ(ui.Label1.value(2)->geometry(), place(1980, 540, 2415, 195));
    EXPECT_EQ(ui.CountBox->geometry(), place(4560, 480, 735, 315));
}

TEST_F(MainFormUiTest, LabelsAndNumberBoxes) {
    // The caption array has the elements 0 and 2 only.
    EXPECT_EQ(ui.Label1.keys(), (QList<int>{0, 2}));
    EXPECT_EQ(ui.Label1.value(1), nullptr);
    EXPECT_EQ(ui.Label1.value(0)->text(), QStringLiteral("</p>s Added:"));
    EXPECT_EQ(ui.Label1.value(0)->textFormat(), Qt::PlainText);
    EXPECT_EQ(ui.Label1.value(2)->text(), QStringLiteral("Remaining Characters to Process"));
    EXPECT_EQ(ui.Label1.value(0)->property("index").toInt(), 0);
    EXPECT_EQ(ui.Label1.value(2)->property("index").toInt(), 2);

    for (QLabel* box : {ui.CountBox, ui.PBox}) {
        EXPECT_TRUE(box->text().isEmpty());
        EXPECT_TRUE(box->alignment() & Qt::AlignRight);
        EXPECT_NE(box->frameShape(), QFrame::NoFrame);
        EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
    }
}

TEST_F(MainFormUiTest, CaptionsFitTheirLabelsAtTheDesignScale) {
    const QFontMetrics metrics(ui.Label1.value(2)->font());
    EXPECT_GE(ui.scale, 1.0);
    EXPECT_LE(metrics.horizontalAdvance(ui.Label1.value(2)->text()), ui.Label1.value(2)->width());
    EXPECT_LE(metrics.horizontalAdvance(ui.Label1.value(0)->text()), ui.Label1.value(0)->width());
    EXPECT_LE(metrics.height(), ui.Label1.value(2)->height());
    EXPECT_LT(metrics.horizontalAdvance(QStringLiteral("52428800")),
              ui.CountBox->contentsRect().width() - ui.CountBox->indent());

    // A font no larger than the design font keeps the design at 15 twips to a pixel.
    QFont tiny = form.font();
    tiny.setPixelSize(6);
    EXPECT_EQ(MainFormUi::DesignScale(tiny), 1.0);
    QFont large = form.font();
    large.setPixelSize(40);
    EXPECT_GT(MainFormUi::DesignScale(large), 2.0);
}

TEST_F(MainFormUiTest, MenuTree) {
    const QList<QAction*> menus = form.menuBar()->actions();
    EXPECT_EQ(Captions(menus), (QStringList{"&File", "&Help"}));
    EXPECT_EQ(Captions(ui.mnuFile->actions()),
              (QStringList{"&Open File", "&Fix File", "Strip &Newlines", "Strip S&paces",
                           "&Save File", "&Edit Skip List", "Edit &Include List", "E&xit"}));
    EXPECT_EQ(Captions(ui.mnuHelp->actions()),
              (QStringList{"&Quillet Help Topics", "&About Quillet"}));
    QStringList names;
    for (QMenu* menu : {ui.mnuFile, ui.mnuHelp}) {
        for (QAction* item : menu->actions()) {
            names << item->objectName();
            EXPECT_TRUE(item->shortcut().isEmpty());
            EXPECT_TRUE(item->isEnabled());
            EXPECT_FALSE(item->isCheckable());
        }
    }
    EXPECT_EQ(names, (QStringList{"mnuFileOpen", "mnuFileFix", "mnuFileStripNewlines",
                                  "mnuFileStripSpaces", "mnuFileSave", "mnuFileSkipList",
                                  "mnuFileIncludeList", "mnuFileExit", "mnuHelpTutorial",
                                  "mnuHelpAbout"}));
}

TEST_F(MainFormUiTest, ToolbarButtonsKeysTipsAndPictures) {
    const QList<QAction*> entries = ui.ToolBar1->actions();
    ASSERT_EQ(entries.size(), 10);
    QStringList keys;
    QStringList tips;
    for (QAction* entry : entries) {
        keys << (entry->isSeparator() ? QStringLiteral("|") : entry->data().toString());
        if (!entry->isSeparator()) tips << entry->toolTip();
    }
    EXPECT_EQ(keys, (QStringList{"|", "Open", "Fix", "Save", "|", "Newlines", "Spaces", "|",
                                 "SkipList", "Include"}));
    EXPECT_EQ(tips, (QStringList{"Open File", "Fix File", "Save File", "Clear Paragraph Newlines",
                                 "Clear Excess Spaces", "Edit Skip List", "Edit Include List"}));

    // The skip-list button has the Key "SkipList" but shows the picture "Skip".
    EXPECT_EQ(entries[8]->icon().cacheKey(), ui.image(QStringLiteral("Skip")).cacheKey());
    EXPECT_EQ(entries[1]->icon().cacheKey(), ui.image(QStringLiteral("Open")).cacheKey());
    QStringList imageKeys;
    for (const auto& [key, icon] : ui.ImageList1) {
        imageKeys << key;
        EXPECT_FALSE(icon.isNull()) << key.toStdString();
        EXPECT_EQ(icon.pixmap(16, 16).size(), QSize(16, 16));
    }
    EXPECT_EQ(imageKeys,
              (QStringList{"Open", "Save", "Fix", "Skip", "Include", "Newlines", "Spaces"}));
    EXPECT_TRUE(ui.image(QStringLiteral("SkipList")).isNull());

    // The leading separator keeps the first button off the bar's left edge.
    form.show();
    QWidget* open = ui.ToolBar1->widgetForAction(entries[1]);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->size(), QSize(24, 22));
    EXPECT_GT(open->x(), 4);
    EXPECT_TRUE(open->toolTip() == QStringLiteral("Open File") ||
                entries[1]->toolTip() == QStringLiteral("Open File"));
}

TEST_F(MainFormUiTest, DocumentViewHasTheFocusFirst) {
    EXPECT_EQ(form.focusWidget(), ui.WorkBox);
    EXPECT_EQ(ui.WorkBox->objectName(), QStringLiteral("WorkBox"));
}

TEST(WindowImagesTest, ApplicationIconAtItsSizes) {
    const QIcon icon = ApplicationIcon();
    EXPECT_EQ(icon.pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_EQ(icon.pixmap(16, 16).size(), QSize(16, 16));
    EXPECT_TRUE(ToolbarImage(QStringLiteral("missing.png")).isNull());
}

}  // namespace
}  // namespace quillet
