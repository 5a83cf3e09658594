// The Help Topics command of a program built beside the help, as the program is.
#include "GuiTestSupport.h"
#include "common/SecondaryWindows.h"
#include "windows/HelpBrowser.h"
#include "windows/HelpViewer.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFileInfo>
#include <QTabWidget>

namespace quillet::test {
namespace {

TEST(HelpTopics, ShowsTheHelpFromTheProgramsFolderModally) {
    ASSERT_TRUE(QFileInfo::exists(HelpViewer::DefaultCollectionPath()));
    for (int i = 0; i < 2; ++i) {
        QString title;
        bool modal = false;
        int tab = -1;
        WhenModalOpens([&](QWidget* window) {
            auto* viewer = qobject_cast<HelpViewer*>(window);
            ASSERT_TRUE(viewer);
            modal = viewer->isModal();
            title = viewer->TopicView->documentTitle();
            tab = viewer->Tabs->currentIndex();
            viewer->close();
        });
        MessageLog messages;
        ShowHelpTopics(nullptr);
        EXPECT_TRUE(modal);
        EXPECT_EQ(title, QStringLiteral("Quillet Help"));
        EXPECT_EQ(tab, 0);
        EXPECT_TRUE(messages.texts.isEmpty());
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

}  // namespace
}  // namespace quillet::test
