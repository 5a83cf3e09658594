// The About box: its texts and place, its keys, and System Info over a fake registry.
#include "FakeRegistry.h"
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "common/SecondaryWindows.h"
#include "windows/EmptyRegistry.h"
#include "windows/frmAbout.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace quillet::test {
namespace {

const QByteArray kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

FakeRegistry::Value Text(const QByteArray& text) {
    return {RegistryAccess::kTypeText, text};
}

/// The System Info command's view of the world, with every call recorded.
class SysInfoWorld {
  public:
    FakeRegistry registry;
    QSet<QString> files;  ///< the normal files that exist
    QStringList tested;   ///< file names asked about, in order
    QStringList started;  ///< programs started, in order
    bool startSucceeds = true;

    SystemInfoAccess Access() {
        SystemInfoAccess access(registry);
        access.isFile = [this](const QString& path) {
            tested << path;
            return files.contains(path);
        };
        access.startProgram = [this](const QString& program) {
            started << program;
            return startSucceeds;
        };
        return access;
    }
};

// ---------------------------------------------------------------------------------------

TEST(AboutBox, ShowsTitleVersionAndCopyrightAtItsStoredPlace) {
    FakeRegistry registry;
    frmAbout box{SystemInfoAccess(registry)};
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Quillet"));
    EXPECT_EQ(box.lblTitle->text(), QStringLiteral("Quillet"));
    EXPECT_EQ(box.lblVersion->text(), QStringLiteral("Version 1.4.2"));
    EXPECT_TRUE(box.lblDescription->text().startsWith(QStringLiteral("Copyright \u00A9")));
    EXPECT_TRUE(box.lblDisclaimer->text().isEmpty());
    EXPECT_EQ(box.cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_FALSE(box.picIcon->pixmap().isNull());
    EXPECT_EQ(box.picIcon->pixmap().size(), QSize(32, 32));
    // The grey separator runs from 120 to 5684 twips at 1860.
    EXPECT_EQ(box.Line1->geometry(), QRect(8, 124, 372, 1));

    // Client origin and size, 15 twips to the pixel, whatever the parent's position.
    box.show();
    EXPECT_EQ(box.geometry(), QRect(156, 129, 382, 237));
    QWidget parent;
    parent.setGeometry(400, 300, 300, 200);
    parent.show();
    frmAbout child{SystemInfoAccess(registry), &parent};
    child.show();
    EXPECT_EQ(child.geometry(), QRect(156, 129, 382, 237));
    EXPECT_TRUE(box.cmdOK->isDefault());
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
}

TEST(AboutBox, EscapeClosesItFromAnyControlAndEnterUnlessSystemInfoHasTheFocus) {
    SysInfoWorld world;
    MessageLog messages;
    for (QPushButton* frmAbout::*focus : {&frmAbout::cmdOK, &frmAbout::cmdSysInfo}) {
        frmAbout box{world.Access()};
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        (box.*focus)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(box.isVisible());
        EXPECT_EQ(box.result(), QDialog::Rejected);
    }
    {
        frmAbout box{world.Access()};
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        EXPECT_EQ(QApplication::focusWidget(), box.cmdOK);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(box.isVisible());
    }
    {
        frmAbout box{world.Access()};
        box.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        QTest::keyClick(box.cmdOK, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), box.cmdSysInfo);
        QTest::keyClick(box.cmdSysInfo, Qt::Key_Return);
        EXPECT_TRUE(box.isVisible());
        EXPECT_EQ(messages.texts, QStringList{frmAbout::kSysInfoUnavailable});
    }
}

TEST(AboutBox, ShowAboutBoxShowsAFreshModalBoxAndReturnsWhenItCloses) {
    for (int i = 0; i < 2; ++i) {
        QString caption;
        WhenModalOpens([&](QWidget* modal) {
            ASSERT_TRUE(qobject_cast<frmAbout*>(modal));
            caption = modal->windowTitle();
            static_cast<frmAbout*>(modal)->cmdOK->click();
        });
        ShowAboutBox(nullptr);
        EXPECT_EQ(caption, QStringLiteral("About Quillet"));
    }
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());
}

// ---------------------------------------------------------------------------------------

TEST(GetKeyValue, ReadsTextWithAndWithoutItsTerminatingZero) {
    FakeRegistry registry;
    registry.Set(kPathKey, "PATH", Text(QByteArray("C:\\Tools\\msinfo32.exe\0", 22)));
    registry.Set(kPathKey, "Bare", Text("C:\\Tools\\msinfo32.exe"));
    registry.Set(kPathKey, "Twice", Text(QByteArray("ab\0\0", 4)));
    frmAbout box{SystemInfoAccess(registry)};

    QString value;
    EXPECT_TRUE(box.GetKeyValue(RegistryAccess::kLocalMachine, QString::fromLatin1(kPathKey),
                                QStringLiteral("PATH"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\Tools\\msinfo32.exe"));
    EXPECT_TRUE(box.GetKeyValue(RegistryAccess::kLocalMachine, QString::fromLatin1(kPathKey),
                                QStringLiteral("Bare"), value));
    EXPECT_EQ(value, QStringLiteral("C:\\Tools\\msinfo32.exe"));
    // Only the one terminating zero goes.
    EXPECT_TRUE(box.GetKeyValue(RegistryAccess::kLocalMachine, QString::fromLatin1(kPathKey),
                                QStringLiteral("Twice"), value));
    EXPECT_EQ(value, QString(QStringLiteral("ab") + QChar(0)));

    EXPECT_EQ(registry.accessMasks, (QList<quint32>{0x2003F, 0x2003F, 0x2003F}));
    EXPECT_EQ(registry.closes, 3);
    EXPECT_EQ(registry.OpenCount(), 0);
}

TEST(GetKeyValue, ADwordBecomesHexadecimalTextAndOtherTypesLeaveTheText) {
    FakeRegistry registry;
    registry.Set(kPathKey, "Big", {RegistryAccess::kTypeDword, QByteArray("\x78\x56\x34\x12", 4)});
    registry.Set(kPathKey, "Small", {RegistryAccess::kTypeDword, QByteArray("\x02\x01\0\0", 4)});
    registry.Set(kPathKey, "Binary", {3, QByteArray("\x01\x02", 2)});
    frmAbout box{SystemInfoAccess(registry)};
    const QString key = QString::fromLatin1(kPathKey);

    QString value;
    EXPECT_TRUE(box.GetKeyValue(RegistryAccess::kLocalMachine, key, QStringLiteral("Big"), value));
    EXPECT_EQ(value, QStringLiteral("&h12345678"));
    // The zero high byte goes as a terminator would; the number stays 0x102.
    EXPECT_TRUE(
        box.GetKeyValue(RegistryAccess::kLocalMachine, key, QStringLiteral("Small"), value));
    EXPECT_EQ(value, QStringLiteral("&h000102"));
    EXPECT_EQ(value.mid(2).toUInt(nullptr, 16), 0x102u);

    value = QStringLiteral("as passed");
    EXPECT_TRUE(
        box.GetKeyValue(RegistryAccess::kLocalMachine, key, QStringLiteral("Binary"), value));
    EXPECT_EQ(value, QStringLiteral("as passed"));
    EXPECT_EQ(registry.OpenCount(), 0);
}

TEST(GetKeyValue, FailsWithEmptyTextAndClosesTheKeyOnEveryPath) {
    FakeRegistry registry;
    registry.Set(kPathKey, "Exact", Text(QByteArray(1024, 'x')));
    registry.Set(kPathKey, "Long", Text(QByteArray(1025, 'x')));
    registry.Set(kPathKey, "Empty", Text(QByteArray()));
    registry.Set("Locked", "PATH", Text("x"));
    registry.Refuse("Locked", 5);  // ERROR_ACCESS_DENIED
    frmAbout box{SystemInfoAccess(registry)};
    const QString key = QString::fromLatin1(kPathKey);

    QString value;
    EXPECT_TRUE(
        box.GetKeyValue(RegistryAccess::kLocalMachine, key, QStringLiteral("Exact"), value));
    EXPECT_EQ(value.size(), 1024);

    struct Case {
        QString key;
        QString name;
    };
    const Case failing[] = {
        {key, QStringLiteral("Long")},                               // over the 1024-byte buffer
        {key, QStringLiteral("Empty")},                              // no bytes at all
        {key, QStringLiteral("Missing")},                            // no such value
        {QStringLiteral("SOFTWARE\\None"), QStringLiteral("PATH")},  // no such key
        {QStringLiteral("Locked"), QStringLiteral("PATH")},          // access refused
    };
    for (const Case& c : failing) {
        value = QStringLiteral("stale");
        EXPECT_FALSE(box.GetKeyValue(RegistryAccess::kLocalMachine, c.key, c.name, value))
            << c.name.toStdString();
        EXPECT_TRUE(value.isEmpty()) << c.name.toStdString();
    }
    EXPECT_EQ(registry.opened.size(), 4);  // Exact, Long, Empty, Missing
    EXPECT_EQ(registry.closes, 4);
    EXPECT_EQ(registry.OpenCount(), 0);
}

// ---------------------------------------------------------------------------------------

TEST(StartSysInfo, TheFirstEntryIsStartedAsItStands) {
    SysInfoWorld world;
    world.registry.Set(kPathKey, "PATH", Text(QByteArray("C:\\Win\\msinfo32.exe\0", 20)));
    world.registry.Set(kFolderKey, "MSINFO", Text("C:\\Tools"));
    MessageLog messages;
    frmAbout box{world.Access()};
    box.StartSysInfo();
    EXPECT_EQ(world.started, QStringList{QStringLiteral("C:\\Win\\msinfo32.exe")});
    EXPECT_TRUE(world.tested.isEmpty());  // its existence is not tested
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(world.registry.opened, QList<QByteArray>{kPathKey});
    EXPECT_EQ(world.registry.OpenCount(), 0);
}

TEST(StartSysInfo, AFirstEntryNamingAMissingFileIsReportedWithoutTryingTheSecond) {
    SysInfoWorld world;
    world.registry.Set(kPathKey, "PATH", Text("C:\\Gone\\msinfo32.exe"));
    world.registry.Set(kFolderKey, "MSINFO", Text("C:\\Tools"));
    world.files << QStringLiteral("C:\\Tools\\MSINFO32.EXE");
    world.startSucceeds = false;
    MessageLog messages;
    frmAbout box{world.Access()};
    box.StartSysInfo();
    EXPECT_EQ(world.started, QStringList{QStringLiteral("C:\\Gone\\msinfo32.exe")});
    EXPECT_EQ(messages.texts, QStringList{frmAbout::kSysInfoUnavailable});
    EXPECT_EQ(world.registry.opened, QList<QByteArray>{kPathKey});
}

TEST(StartSysInfo, TheFolderEntryIsUsedWhenItHoldsTheProgram) {
    struct Case {
        QByteArray folder;
        QString tested;
        bool present;
    };
    const Case cases[] = {
        {"C:\\Tools", QStringLiteral("C:\\Tools\\MSINFO32.EXE"), true},
        {"C:\\Tools", QStringLiteral("C:\\Tools\\MSINFO32.EXE"), false},
        // A trailing backslash is kept, and an empty folder is not rejected.
        {"C:\\Tools\\", QStringLiteral("C:\\Tools\\\\MSINFO32.EXE"), true},
        {"", QStringLiteral("\\MSINFO32.EXE"), false},
    };
    for (const Case& c : cases) {
        SysInfoWorld world;
        world.registry.Set(kFolderKey, "MSINFO", Text(c.folder + '\0'));
        if (c.present) world.files << c.tested;
        MessageLog messages;
        frmAbout box{world.Access()};
        box.StartSysInfo();
        EXPECT_EQ(world.tested, QStringList{c.tested});
        if (c.present) {
            EXPECT_EQ(world.started, QStringList{c.tested});
            EXPECT_TRUE(messages.texts.isEmpty());
        } else {
            EXPECT_TRUE(world.started.isEmpty());
            EXPECT_EQ(messages.texts, QStringList{frmAbout::kSysInfoUnavailable});
        }
        EXPECT_EQ(world.registry.OpenCount(), 0);
    }
}

TEST(StartSysInfo, NothingUsableInTheRegistryIsReported) {
    {
        // A first entry of no bytes ends the command at once.
        SysInfoWorld world;
        world.registry.Set(kPathKey, "PATH", Text(QByteArray()));
        world.registry.Set(kFolderKey, "MSINFO", Text("C:\\Tools"));
        world.files << QStringLiteral("C:\\Tools\\MSINFO32.EXE");
        MessageLog messages;
        frmAbout box{world.Access()};
        box.StartSysInfo();
        EXPECT_TRUE(world.started.isEmpty());
        EXPECT_EQ(messages.texts, QStringList{frmAbout::kSysInfoUnavailable});
        EXPECT_EQ(world.registry.OpenCount(), 0);
    }
    {
        // No keys at all, as on a system without a registry.
        EmptyRegistry registry;
        MessageLog messages;
        QStringList started;
        SystemInfoAccess access(registry);
        access.startProgram = [&](const QString& program) {
            started << program;
            return true;
        };
        frmAbout box{access};
        box.cmdSysInfo->click();
        EXPECT_TRUE(started.isEmpty());
        EXPECT_EQ(messages.texts, QStringList{frmAbout::kSysInfoUnavailable});
    }
}

#ifndef Q_OS_WIN
TEST(StartSysInfo, TheProgramIsStartedWithoutAShell) {
    // A path with a space and a shell character is started as one program file.
    ScopedWorkingDir dir;
    const QString program = dir.file(QStringLiteral("sys info;tool"));
    const QString marker = dir.file(QStringLiteral("ran"));
    QFile script(program);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho ok > '%1'\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    EmptyRegistry registry;
    const SystemInfoAccess access(registry);
    EXPECT_TRUE(access.isFile(program));
    EXPECT_FALSE(access.isFile(dir.path()));
    EXPECT_FALSE(access.startProgram(dir.file(QStringLiteral("missing"))));
    ASSERT_TRUE(access.startProgram(program));
    for (int i = 0; i < 500 && !QFile::exists(marker); ++i) QTest::qWait(10);
    EXPECT_TRUE(QFile::exists(marker));
}
#endif

}  // namespace
}  // namespace quillet::test
