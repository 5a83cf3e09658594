// The About box: its keys, and reading System Info's place from a registry held in memory.
#include "GuiTestSupport.h"
#include "mainwindow/SecondaryWindows.h"
#include "windows/RegistryAccess.h"
#include "windows/frmAbout.h"

#include <gtest/gtest.h>
#include <QMap>
#include <QPushButton>
#include <QTest>
#include <cstring>

namespace quillet::test {
namespace {

const QByteArray kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

/// Keys under HKEY_LOCAL_MACHINE, each with its values as type and bytes; a key named
/// "Locked" refuses access. Counts the keys left open.
class FakeRegistry final : public RegistryAccess {
  public:
    QMap<QByteArray, QMap<QByteArray, QPair<quint32, QByteArray>>> keys;
    QMap<KeyHandle, QByteArray> open;

    long OpenKey(quint32 root, const QByteArray& path, quint32, KeyHandle* key) override {
        if (root != kLocalMachine || !keys.contains(path)) return kFileNotFound;
        if (path == "Locked") return 5;  // ERROR_ACCESS_DENIED
        *key = 100 + open.size();
        open[*key] = path;
        return kSuccess;
    }
    long QueryValue(KeyHandle key, const QByteArray& name, quint32* type, char* buffer,
                    quint32* byteCount) override {
        const auto values = keys.value(open.value(key));
        if (!open.contains(key) || !values.contains(name)) return kFileNotFound;
        const auto& [valueType, bytes] = values[name];
        *type = valueType;
        const bool fits = quint32(bytes.size()) <= *byteCount;
        if (fits) std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
        *byteCount = quint32(bytes.size());
        return fits ? kSuccess : 234;  // ERROR_MORE_DATA
    }
    long CloseKey(KeyHandle key) override { return open.remove(key) == 1 ? kSuccess : 6; }
};

QPair<quint32, QByteArray> Text(const QByteArray& text) {
    return {RegistryAccess::kTypeText, text};
}

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

TEST(AboutBox, GetKeyValueReadsTextAndNumbersAndClosesTheKeyOnEveryPath) {
    FakeRegistry registry;
    auto& values = registry.keys[kPathKey];
    values["Terminated"] = Text(QByteArray("C:\\Tools\\msinfo32.exe\0", 22));
    values["Twice"] = Text(QByteArray("ab\0\0", 4));
    values["Exact"] = Text(QByteArray(1024, 'x'));
    values["Long"] = Text(QByteArray(1025, 'x'));
    values["Empty"] = Text(QByteArray());
    values["Big"] = {RegistryAccess::kTypeDword, QByteArray("\x78\x56\x34\x12", 4)};
    values["Small"] = {RegistryAccess::kTypeDword, QByteArray("\x02\x01\0\0", 4)};
    values["Binary"] = {3, QByteArray("\x01\x02", 2)};
    registry.keys["Locked"]["PATH"] = Text("x");
    frmAbout box{SystemInfoAccess(registry)};
    const struct {
        QByteArray key;
        const char* name;
        bool read;
        QString value;
    } cases[] = {
        {kPathKey, "Terminated", true, QStringLiteral("C:\\Tools\\msinfo32.exe")},
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
        EXPECT_TRUE(registry.open.isEmpty()) << c.name;
    }
}

}  // namespace
}  // namespace quillet::test
