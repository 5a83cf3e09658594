// SPDX-License-Identifier: GPL-3.0-or-later
// The About box and its keys, on a system without System Info.
#include "GuiTestSupport.h"
#include "mainwindow/SecondaryWindows.h"
#include "windows/frmAbout.h"

#include <gtest/gtest.h>
#include <QPushButton>
#include <QTest>

namespace quillet::test {
namespace {

TEST(AboutBox, EnterOnSystemInfoReportsItMissingAndEscapeOrOKCloses) {
    MessageLog messages;
    for (const Qt::Key closing : {Qt::Key_Escape, Qt::Key_Return}) {
        const auto step = [&](QWidget* modal) {
            auto* box = qobject_cast<frmAbout*>(modal);
            ASSERT_TRUE(box && QTest::qWaitForWindowActive(box));
            // Tab leads from OK to System Info; this system's registry has no entry for it.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), box->cmdSysInfo);
            QTest::keyClick(box->cmdSysInfo, Qt::Key_Return);
            EXPECT_TRUE(box->isVisible());
            EXPECT_EQ(messages.texts, QStringList{frmAbout::kSysInfoUnavailable});
            messages.texts.clear();
            // Escape closes the box from any button, Enter from OK.
            if (closing == Qt::Key_Return) QTest::keyClick(box->cmdSysInfo, Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), closing);
        };
        EXPECT_TRUE(WithModal([] { ShowAboutBox(nullptr); }, step)) << closing;
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace
}  // namespace quillet::test
