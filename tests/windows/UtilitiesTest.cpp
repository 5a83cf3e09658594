// SPDX-License-Identifier: GPL-3.0-or-later
// The shared window routines: centring a window by its frame, message boxes, and Qt's
// translations.
#include "GuiTestSupport.h"
#include "windows/Translations.h"
#include "windows/Utilities.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTranslator>

namespace quillet::test {
namespace {

TEST(CenterForm, CentresTheFrameNotTheClientArea) {
    const struct {
        const char* name;
        QRect area;
        QSize client;
        QMargins frame;
        QPoint expected;
    } cases[] = {
        // A title bar of 24 pixels and borders of 1: the frame, 24 + 1 taller than the
        // client area, stands 12 pixels higher than a centred client area would put it.
        {"a title bar and borders", {0, 0, 1280, 800}, {652, 472}, {1, 24, 1, 1}, {313, 151}},
        // A second screen to the right.
        {"a second screen to the right",
         {1280, 0, 1920, 1080},
         {800, 600},
         {4, 30, 4, 4},
         {1836, 223}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CenteredFramePosition(c.area, c.client, c.frame), c.expected);
    }

    // A window placed before it is shown stands in the middle once shown.
    QWidget window;
    window.resize(300, 200);
    CenterForm(window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_LE((window.frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

TEST(ScreenFit, ADesignShrinksByOneFactorAndAFrameIsBroughtInside) {
    const struct {
        const char* name;
        QSize design, fixed, room;
        double scale;
    } scales[] = {
        {"fits as it is", {652, 448}, {8, 84}, {1280, 800}, 1.0},
        {"height is short", {652, 448}, {8, 84}, {800, 532}, 1.0},
        {"the height decides", {652, 448}, {8, 84}, {1024, 308}, 0.5},
        {"the width decides", {1304, 448}, {8, 84}, {660, 800}, 0.5},
        {"no room at all", {652, 448}, {8, 84}, {4, 4}, 0.0},
        {"an empty design", {0, 0}, {8, 84}, {800, 600}, 1.0},
    };
    for (const auto& c : scales) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(FittingScale(c.design, c.fixed, c.room), c.scale);
    }

    // A frame is brought inside the area, here of a second screen beside the first.
    EXPECT_EQ(KeepInside({1200, -30, 400, 300}, {1280, 0, 1024, 768}), QRect(1280, 0, 400, 300));
}

TEST(ShowMessage, TheBoxBeepsAndANoticeDoesNot) {
    MessageLog messages;
    SetMessageSink({});  // show the real box
    EXPECT_TRUE(WithModal([] { ShowMessage(QStringLiteral("Duplicate Entry")); },
                          [&](QWidget* modal) { modal->close(); }));
    EXPECT_EQ(messages.beeps, 1);

    SetMessageSink([&](const QString& text) { messages.texts << text; });
    ShowNotice(QStringLiteral("quiet"));
    EXPECT_EQ(messages.texts, QStringList{"quiet"});
    EXPECT_EQ(messages.beeps, 1);
}

TEST(Translations, QtsOwnTextsFollowTheLocale) {
    const QString cancel = QStringLiteral("Cancel");
    const QList<QTranslator*> german = InstallTranslations(QLocale(QLocale::German));
    ASSERT_FALSE(german.isEmpty()) << "qt6-translations-l10n is not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    for (QTranslator* translator : german) {
        QCoreApplication::removeTranslator(translator);
        std::unique_ptr<QTranslator> discarded(translator);
    }
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
}

}  // namespace
}  // namespace quillet::test
