// SPDX-License-Identifier: GPL-3.0-or-later
// The shared window routines: centring a window by its frame, message boxes, and Qt's
// translations.
#include "GuiTestSupport.h"
#include "common/Translations.h"
#include "common/Utilities.h"

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
        QRect area;
        QSize client;
        QMargins frame;
        QPoint expected;
    } cases[] = {
        // A title bar of 24 pixels and borders of 1: the frame, 24 + 1 taller than the
        // client area, stands 12 pixels higher than a centred client area would put it.
        {{0, 0, 1280, 800}, {652, 472}, {1, 24, 1, 1}, {313, 151}},
        // A second screen to the right.
        {{1280, 0, 1920, 1080}, {800, 600}, {4, 30, 4, 4}, {1836, 223}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CenteredFramePosition(c.area, c.client, c.frame), c.expected)
            << c.client.width() << "x" << c.client.height();
    }

    // A window placed before it is shown stands in the middle once shown.
    QWidget window;
    window.resize(300, 200);
    CenterForm(window);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect screen = window.screen()->geometry();
    EXPECT_LE((window.frameGeometry().center() - screen.center()).manhattanLength(), 2);
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
