// SPDX-License-Identifier: GPL-3.0-or-later
// Every window on a given screen: CTest runs these tests once for each screen of
// tests/mainwindow/screens (a small one, a short one, a doubled scale and large text), so
// each check holds on all of them. The frame of each window must lie on the screen.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/MainFormUi.h"
#include "registry/RegistryAccess.h"
#include "windows/FindReplaceDialog.h"
#include "windows/HelpViewer.h"
#include "windows/IncludeList.h"
#include "windows/SkipListForm.h"
#include "windows/SystemInfoDialog.h"
#include "windows/WorkBoxEditor.h"
#include "windows/frmAbout.h"
#include "wordlists/WordListLocation.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QToolBar>

namespace quillet::test {
namespace {

/// The area a window's frame must lie in.
QRect Area(const QWidget& window) {
    return window.screen()->availableGeometry();
}

/// Shows `window` and waits until it is framed and placed.
void ShowFramed(QWidget& window) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QApplication::processEvents();
}

std::string Describe(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height())
        .toStdString();
}

#define EXPECT_ON_SCREEN(window)                                                             \
    EXPECT_TRUE(Area(window).contains((window).frameGeometry()))                             \
        << (window).objectName().toStdString() << ": " << Describe((window).frameGeometry()) \
        << " on " << Describe(Area(window))

class ScreenFitTest : public ::testing::Test {
  protected:
    ScreenFitTest() { QSettings().clear(); }

    MainForm& window() {
        if (!form_) {
            form_ =
                std::make_unique<MainForm>(nullptr, nullptr, std::make_unique<MemoryWordLists>());
        }
        return *form_;
    }

    /// Whether the counters and their captions are whole, side by side, and above the view.
    static void ExpectCountersReadable(const MainFormUi& ui) {
        const QFontMetrics metrics(ui.CountBox->font());
        const QList<QWidget*> row = {ui.Label1.value(2), ui.CountBox, ui.Label1.value(0), ui.PBox};
        for (const QLabel* caption : ui.Label1) {
            EXPECT_LE(metrics.horizontalAdvance(caption->text()), caption->width());
            EXPECT_LE(metrics.height(), caption->height());
        }
        for (const QLabel* box : {ui.CountBox, ui.PBox}) {
            EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("9999999999")),
                      box->contentsRect().width() - box->indent());
        }
        // Each caption stands before its box, and no two of them meet.
        for (qsizetype i = 0; i < row.size(); ++i) {
            for (qsizetype j = i + 1; j < row.size(); ++j) {
                EXPECT_FALSE(row[i]->geometry().intersects(row[j]->geometry())) << i << j;
            }
        }
        for (qsizetype i = 0; i < row.size(); i += 2) {
            EXPECT_LT(row[i]->geometry().right(), row[i + 1]->geometry().left()) << i;
            EXPECT_TRUE(row[i + 1]->geometry().contains(row[i + 1]->geometry().left() + 1,
                                                        row[i]->geometry().center().y()));
        }
        for (QWidget* control : row) {
            EXPECT_LE(ui.ToolBar1->geometry().bottom(), control->geometry().top());
            EXPECT_LT(control->geometry().bottom(), ui.WorkBox->geometry().top());
            EXPECT_TRUE(ui.client->rect().contains(control->geometry()));
        }
        EXPECT_GT(ui.WorkBox->height(), 3 * QFontMetrics(ui.WorkBox->font()).height());
        EXPECT_TRUE(ui.client->rect().contains(ui.WorkBox->geometry()));
    }

    ScopedWorkingDir dir;
    ScopedDataHome home;
    MessageLog messages;
    std::unique_ptr<MainForm> form_;
};

TEST_F(ScreenFitTest, TheMainWindowStartsOnTheScreenAndShrinksMaximisesAndComesBack) {
    MainForm& form = window();
    ShowFramed(form);
    EXPECT_ON_SCREEN(form);
    ExpectCountersReadable(form.ui());
    // In proportion to the design.
    const QSize design = form.ui().designClientSize;
    const QSize client = form.ui().client->size();
    EXPECT_NEAR(double(client.width()) / client.height(), double(design.width()) / design.height(),
                0.02);

    // It can be made small, at least to a third of the screen, and the counters stay whole.
    form.resize(100, 100);
    QApplication::processEvents();
    EXPECT_LE(form.frameGeometry().width(), Area(form).width() * 2 / 3);
    EXPECT_LE(form.frameGeometry().height(), Area(form).height() * 2 / 3);
    ExpectCountersReadable(form.ui());

    // Maximised, it fits.
    form.showMaximized();
    QApplication::processEvents();
    EXPECT_ON_SCREEN(form);
    EXPECT_GE(form.width(), Area(form).width() * 9 / 10);
    ExpectCountersReadable(form.ui());
    form.showNormal();

    // A place and size remembered from a larger screen are brought back onto this one.
    form.move(-300, -200);
    form.resize(2400, 1800);
    QSettings().setValue(MainForm::kGeometryKey, form.saveGeometry());
    form_.reset();
    MainForm& again = window();
    ShowFramed(again);
    EXPECT_ON_SCREEN(again);
    ExpectCountersReadable(again.ui());
    EXPECT_TRUE(messages.texts.isEmpty());
}

TEST_F(ScreenFitTest, TheOtherWindowsStartOnTheScreen) {
    MainForm& form = window();
    ShowFramed(form);
    bool created = false;
    StoreError error;
    ASSERT_TRUE(WordListLocation::Choose(QString()).Prepare(&created, &error));

    const std::unique_ptr<RegistryAccess> registry = CreateSystemRegistry();
    frmAbout about(SystemInfoAccess(*registry), &form);
    ShowFramed(about);
    EXPECT_ON_SCREEN(about);
    // Over the middle of the main window.
    EXPECT_LE((about.frameGeometry().center() - form.frameGeometry().center()).manhattanLength(),
              4);

    SystemInfoDialog info(SystemInfoDialog::Facts::Collect(home.wordLists()), &about);
    ShowFramed(info);
    EXPECT_ON_SCREEN(info);

    SkipListForm skip(&form);
    ASSERT_TRUE(skip.Load(home.wordLists()));
    ShowFramed(skip);
    EXPECT_ON_SCREEN(skip);
    IncludeList include(&form);
    ASSERT_TRUE(include.Load(home.wordLists()));
    ShowFramed(include);
    EXPECT_ON_SCREEN(include);

    HelpViewer help(&form);
    ASSERT_TRUE(help.Load(QStringLiteral(QUILLET_HELP_COLLECTION)));
    ShowFramed(help);
    EXPECT_ON_SCREEN(help);

    form.mnuEditReplaceClick();
    ASSERT_TRUE(form.findReplace());
    QApplication::processEvents();
    EXPECT_ON_SCREEN(*form.findReplace());
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join(u'\n').toStdString();
}

}  // namespace
}  // namespace quillet::test
