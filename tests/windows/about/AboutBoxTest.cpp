// SPDX-License-Identifier: GPL-3.0-or-later
// The About box, its keys, and System Info: the registry's tool where there is one, the
// program's own facts elsewhere.
#include "GuiTestSupport.h"
#include "mainwindow/SecondaryWindows.h"
#include "registry/EmptyRegistry.h"
#include "windows/SystemInfoDialog.h"
#include "windows/frmAbout.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quillet::test {
namespace {

TEST(AboutBox, EnterOnSystemInfoWithoutTheRegistrysToolReportsItAndEscapeOrOKCloses) {
    MessageLog messages;
    EmptyRegistry registry;
    for (const Qt::Key closing : {Qt::Key_Escape, Qt::Key_Return}) {
        SystemInfoAccess access(registry);
        access.registryTool = true;  // as on Windows, where this registry has no entry
        frmAbout box(access);
        const auto step = [&](QWidget* modal) {
            ASSERT_EQ(modal, &box);
            ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
            // Tab leads from OK to System Info.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(QApplication::focusWidget(), box.cmdSysInfo);
            QTest::keyClick(box.cmdSysInfo, Qt::Key_Return);
            EXPECT_TRUE(box.isVisible());
            EXPECT_EQ(messages.texts, QStringList{frmAbout::kSysInfoUnavailable});
            messages.texts.clear();
            // Escape closes the box from any button, Enter from OK.
            if (closing == Qt::Key_Return) QTest::keyClick(box.cmdSysInfo, Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), closing);
        };
        EXPECT_TRUE(WithModal([&] { box.exec(); }, step)) << closing;
    }
}

TEST(AboutBox, SystemInfoElsewhereShowsWhatAReportNeedsAndCopiesIt) {
    MessageLog messages;
    QWidget main;
    main.resize(600, 400);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QString shown;
    QString copied;
    const auto step = [&](QWidget* modal) {
        auto* box = qobject_cast<frmAbout*>(modal);
        ASSERT_TRUE(box);
        // Over the middle of the window it belongs to, its buttons right below the line.
        EXPECT_LE((box->frameGeometry().center() - main.frameGeometry().center()).manhattanLength(),
                  4);
        EXPECT_LT(box->cmdOK->y() - box->Line1->y(), box->cmdOK->height());
        QTimer::singleShot(0, [&] {
            auto* info = qobject_cast<SystemInfoDialog*>(QApplication::activeModalWidget());
            ASSERT_TRUE(info);
            shown = info->Details->toPlainText();
            QApplication::clipboard()->clear();
            info->CopyButton->click();
            copied = QApplication::clipboard()->text();
            QTest::keyClick(info, Qt::Key_Escape);
        });
        box->cmdSysInfo->click();
        box->close();
    };
    EXPECT_TRUE(
        WithModal([&] { ShowAboutBox(&main, QStringLiteral("/no/such/SkipList.db")); }, step));
    EXPECT_TRUE(messages.texts.isEmpty());
    for (const QString& fact :
         {QStringLiteral("Quillet: " QUILLET_VERSION), "Qt: " + QString::fromLatin1(qVersion()),
          "SQLite: " + QString::fromLatin1(sqlite3_libversion()),
          QStringLiteral("HTML5 parser (gumbo): "), QStringLiteral("QScintilla: 2."),
          QStringLiteral("Kernel: "),
          QStringLiteral("Word lists: /no/such/SkipList.db (not made yet)"),
          QStringLiteral("Settings: ")}) {
        EXPECT_TRUE(shown.contains(fact)) << fact.toStdString() << " in\n" << shown.toStdString();
    }
    EXPECT_FALSE(shown.contains(QStringLiteral("gumbo): \n")));
    EXPECT_EQ(copied.trimmed(), shown);
}

}  // namespace
}  // namespace quillet::test
