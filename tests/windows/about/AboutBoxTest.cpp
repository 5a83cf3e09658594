// The About box: its keys, and System Info over a fake registry.
#include "GuiTestSupport.h"
#include "TestSupport.h"
#include "mainwindow/SecondaryWindows.h"
#include "windows/EmptyRegistry.h"
#include "windows/RegistryAccess.h"
#include "windows/frmAbout.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <optional>

namespace quillet::test {
namespace {

const QByteArray kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

/// A registry held in memory under HKEY_LOCAL_MACHINE that records the keys it opens.
class FakeRegistry final : public RegistryAccess {
  public:
    struct Value {
        quint32 type = kTypeText;
        QByteArray bytes;
    };
    void Set(const QByteArray& key, const QByteArray& name, Value value) {
        keys_[key][name] = std::move(value);
    }
    /// Makes opening `key` fail with `status`, as a refused access does.
    void Refuse(const QByteArray& key, long status) { refused_[key] = status; }

    long OpenKey(quint32 root, const QByteArray& path, quint32, KeyHandle* key) override {
        if (root != kLocalMachine || !keys_.contains(path)) return kFileNotFound;
        if (refused_.contains(path)) return refused_[path];
        ++opens;
        *key = next_++;
        open_[*key] = path;
        return kSuccess;
    }
    long QueryValue(KeyHandle key, const QByteArray& name, quint32* type, char* buffer,
                    quint32* byteCount) override {
        const auto values = keys_.value(open_.value(key));
        if (!open_.contains(key) || !values.contains(name)) return kFileNotFound;
        const Value& value = values[name];
        *type = value.type;
        const bool fits = quint32(value.bytes.size()) <= *byteCount;
        if (fits) std::memcpy(buffer, value.bytes.constData(), size_t(value.bytes.size()));
        *byteCount = quint32(value.bytes.size());
        return fits ? kSuccess : 234;  // ERROR_MORE_DATA
    }
    long CloseKey(KeyHandle key) override {
        ++closes;
        return open_.remove(key) == 1 ? kSuccess : 6;  // ERROR_INVALID_HANDLE
    }

    int opens = 0;
    int closes = 0;
    /// Keys opened and not closed yet.
    int OpenCount() const { return int(open_.size()); }

  private:
    QMap<QByteArray, QMap<QByteArray, Value>> keys_;
    QMap<QByteArray, long> refused_;
    QMap<KeyHandle, QByteArray> open_;
    KeyHandle next_ = 100;
};

FakeRegistry::Value Text(const QByteArray& text) {
    return {RegistryAccess::kTypeText, text};
}

TEST(AboutBox, EnterOnSystemInfoStartsItAndEscapeOrOKCloses) {
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

TEST(GetKeyValue, ReadsTextAndNumbersAndClosesTheKeyOnEveryPath) {
    FakeRegistry registry;
    registry.Set(kPathKey, "Terminated", Text(QByteArray("C:\\Tools\\msinfo32.exe\0", 22)));
    registry.Set(kPathKey, "Bare", Text("C:\\Tools\\msinfo32.exe"));
    registry.Set(kPathKey, "Twice", Text(QByteArray("ab\0\0", 4)));
    registry.Set(kPathKey, "Exact", Text(QByteArray(1024, 'x')));
    registry.Set(kPathKey, "Long", Text(QByteArray(1025, 'x')));
    registry.Set(kPathKey, "Empty", Text(QByteArray()));
    registry.Set(kPathKey, "Big", {RegistryAccess::kTypeDword, QByteArray("\x78\x56\x34\x12", 4)});
    registry.Set(kPathKey, "Small", {RegistryAccess::kTypeDword, QByteArray("\x02\x01\0\0", 4)});
    registry.Set(kPathKey, "Binary", {3, QByteArray("\x01\x02", 2)});
    registry.Set("Locked", "PATH", Text("x"));
    registry.Refuse("Locked", 5);  // ERROR_ACCESS_DENIED
    frmAbout box{SystemInfoAccess(registry)};

    const QString tool = QStringLiteral("C:\\Tools\\msinfo32.exe");
    const struct {
        QByteArray key;
        const char* name;
        bool read;
        QString value;
    } cases[] = {
        {kPathKey, "Terminated", true, tool},
        {kPathKey, "Bare", true, tool},
        {kPathKey, "Twice", true, QStringLiteral("ab") + QChar(0)},  // one zero goes
        {kPathKey, "Exact", true, QString(1024, u'x')},
        {kPathKey, "Big", true, QStringLiteral("&h12345678")},
        {kPathKey, "Small", true, QStringLiteral("&h000102")},    // a zero high byte goes too
        {kPathKey, "Binary", true, QStringLiteral("as passed")},  // other types leave the text
        {kPathKey, "Long", false, QString()},                     // over the 1024-byte buffer
        {kPathKey, "Empty", false, QString()},
        {kPathKey, "Missing", false, QString()},
        {"SOFTWARE\\None", "PATH", false, QString()},
        {"Locked", "PATH", false, QString()},
    };
    for (const auto& c : cases) {
        QString value = QStringLiteral("as passed");
        EXPECT_EQ(box.GetKeyValue(RegistryAccess::kLocalMachine, QString::fromLatin1(c.key),
                                  QString::fromLatin1(c.name), value),
                  c.read)
            << c.name;
        EXPECT_EQ(value, c.value) << c.name;
    }
    EXPECT_EQ(registry.opens, 10);
    EXPECT_EQ(registry.closes, 10);
    EXPECT_EQ(registry.OpenCount(), 0);
}

TEST(StartSysInfo, TriesThePathEntryThenTheFolderEntryAndReportsFailure) {
    const QString program = QStringLiteral("C:\\Tools\\MSINFO32.EXE");
    const QString named = QStringLiteral("C:\\Win\\msinfo32.exe");
    const struct {
        const char* what;
        std::optional<QByteArray> path;    // the first entry: the program itself
        std::optional<QByteArray> folder;  // the second: the folder that holds it
        bool folderHoldsIt;
        bool startSucceeds;
        QStringList tested;
        QStringList started;
    } cases[] = {
        // The first entry is started as it stands; when it fails, the second is not tried.
        {"path", named.toLatin1() + '\0', "C:\\Tools", true, true, {}, {named}},
        {"path of a missing file", named.toLatin1(), "C:\\Tools", true, false, {}, {named}},
        {"path of no bytes", "", "C:\\Tools", true, true, {}, {}},
        {"folder holding it", {}, QByteArray("C:\\Tools\0", 9), true, true, {program}, {program}},
        {"folder without it", {}, "C:\\Tools", false, true, {program}, {}},
        {"no entries", {}, {}, true, true, {}, {}},
    };
    for (const auto& c : cases) {
        FakeRegistry registry;
        if (c.path) registry.Set(kPathKey, "PATH", Text(*c.path));
        if (c.folder) registry.Set(kFolderKey, "MSINFO", Text(*c.folder));
        QStringList tested;
        QStringList started;
        SystemInfoAccess access(registry);
        access.isFile = [&](const QString& path) {
            tested << path;
            return c.folderHoldsIt && path == program;
        };
        access.startProgram = [&](const QString& path) {
            started << path;
            return c.startSucceeds;
        };
        MessageLog messages;
        frmAbout box{access};
        box.StartSysInfo();
        EXPECT_EQ(tested, c.tested) << c.what;
        EXPECT_EQ(started, c.started) << c.what;
        const bool ran = !started.isEmpty() && c.startSucceeds;
        EXPECT_EQ(messages.texts, ran ? QStringList() : QStringList{frmAbout::kSysInfoUnavailable})
            << c.what;
        EXPECT_EQ(messages.beeps, 0) << c.what;  // the About box's message does not beep
        EXPECT_EQ(registry.OpenCount(), 0) << c.what;
    }
}

#ifndef Q_OS_WIN
TEST(StartSysInfo, TheProgramIsStartedWithoutAShell) {
    // A path with a space and a shell character is started as one program file.
    ScopedWorkingDir dir;
    const QString program = dir.file(QStringLiteral("sys info;tool"));
    const QString marker = dir.file(QStringLiteral("ran"));
    ASSERT_TRUE(
        PutFile(program, QStringLiteral("#!/bin/sh\necho ok > '%1'\n").arg(marker).toUtf8()));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

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
