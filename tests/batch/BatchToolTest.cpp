#include "TestSupport.h"
#include "batch/BatchTool.h"
#include "batch/TerminalProgress.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QFile>
#include <QThread>

namespace quillet {
namespace {

using test::FileBytes;
using test::PutFile;
using test::ScopedWorkingDir;

struct Outcome {
    int code;
    QByteArray out;
    QString err;
};

Outcome RunTool(const QStringList& arguments, QByteArray input = {}) {
    QBuffer in(&input);
    QByteArray outBytes;
    QByteArray errBytes;
    QBuffer out(&outBytes);
    QBuffer err(&errBytes);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    const int code =
        RunBatch(QStringList{QStringLiteral("quillet-batch")} + arguments, {in, out, err, false});
    return {code, outBytes, QString::fromUtf8(errBytes)};
}

class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(RunTool({QStringLiteral("wordlists"), QStringLiteral("init")}).code, 0);
    }
    ScopedWorkingDir dir_;
};

TEST(BatchUsage, HelpVersionAndUsageErrors) {
    Outcome r = RunTool({QStringLiteral("--help")});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_TRUE(r.out.startsWith("Usage: quillet-batch COMMAND"));
    r = RunTool({QStringLiteral("--version")});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out, "quillet-batch 1.4.2\n");

    const QList<QStringList> usageErrors = {
        {},
        {QStringLiteral("mend")},
        {QStringLiteral("fix")},
        {QStringLiteral("fix"), QStringLiteral("--bogus"), QStringLiteral("a.htm")},
        {QStringLiteral("fix"), QStringLiteral("-o"), QStringLiteral("x"), QStringLiteral("a"),
         QStringLiteral("b")},
        {QStringLiteral("wordlists")},
        {QStringLiteral("wordlists"), QStringLiteral("list")},
        {QStringLiteral("wordlists"), QStringLiteral("add"), QStringLiteral("skip")},
        {QStringLiteral("wordlists"), QStringLiteral("add"), QStringLiteral("other"),
         QStringLiteral("x")},
        {QStringLiteral("wordlists"), QStringLiteral("init"), QStringLiteral("extra")},
        {QStringLiteral("strip-spaces"), QStringLiteral("--html5"), QStringLiteral("a.htm")},
    };
    for (const QStringList& arguments : usageErrors) {
        r = RunTool(arguments);
        EXPECT_EQ(r.code, kExitUsage) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(r.err.contains(u"--help")) << r.err.toStdString();
    }
}

TEST_F(BatchTest, FixWritesTheFixNameAndReportsTheCount) {
    ASSERT_TRUE(PutFile(QStringLiteral("Page.Old.htm"), "<P>one\r\n<P>two<br/><H1>x</H1>"));
    Outcome r = RunTool({QStringLiteral("fix"), QStringLiteral("Page.Old.htm")});
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_EQ(FileBytes(QStringLiteral("Page.Old.fix")), "<P>one\r\n</p><P>two<br/></p><H1>x</H1>");
    EXPECT_EQ(r.err, u"Page.Old.htm: 2 </p> added\n");

    ASSERT_TRUE(PutFile(QStringLiteral("end.htm"), "<p>a<"));
    r = RunTool({QStringLiteral("fix"), QStringLiteral("end.htm"), QStringLiteral("-o"),
                 QStringLiteral("out.htm")});
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.err, u"end.htm: Last item on the page is an opening <\nend.htm: 0 </p> added\n");
    EXPECT_EQ(FileBytes(QStringLiteral("out.htm")), "<p>a<");
}

TEST_F(BatchTest, StandardInputAndOutputCarryBytesUnchanged) {
    QByteArray page("  <p>a\r\nb</p>\x81\x00\xff  x  ", 21);
    Outcome r = RunTool({QStringLiteral("strip-newlines"), QStringLiteral("-")}, page);
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out, QByteArray("  <p>ab</p>\x81\x00\xff  x  ", 19));
    r = RunTool({QStringLiteral("strip-spaces"), QStringLiteral("-"), QStringLiteral("-o"),
                 QStringLiteral("-")},
                page);
    EXPECT_EQ(r.out, QByteArray("<p>a\r\nb</p>\x81\x00\xff x", 16));
    r = RunTool({QStringLiteral("fix"), QStringLiteral("-")}, "<p>a<div>");
    EXPECT_EQ(r.out, "<p>a</p><div>");
    EXPECT_EQ(r.err, u"standard input: 1 </p> added\n");
}

TEST_F(BatchTest, AFailedInputIsNamedAndTheOthersAreStillRepaired) {
    ASSERT_TRUE(PutFile(QStringLiteral("good.htm"), "<p>a<div>"));
    ASSERT_TRUE(PutFile(QStringLiteral("again.fix"), "<p>x"));
    Outcome r = RunTool({QStringLiteral("fix"), QStringLiteral("missing.htm"),
                         QStringLiteral("good.htm"), QStringLiteral("again.fix")});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(
        r.err.contains(u"quillet-batch: missing.htm: cannot read the page: file not found\n"))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(u"again.fix: the repaired copy would replace the page itself"));
    EXPECT_EQ(FileBytes(QStringLiteral("good.fix")), "<p>a</p><div>");
    EXPECT_EQ(FileBytes(QStringLiteral("again.fix")), "<p>x");

    // Naming the output explicitly is the user's choice.
    r = RunTool({QStringLiteral("fix"), QStringLiteral("again.fix"), QStringLiteral("-o"),
                 QStringLiteral("again.fix")});
    EXPECT_EQ(r.code, kExitOk);
}

TEST_F(BatchTest, FixWithoutWordListsWritesNothing) {
    ASSERT_TRUE(PutFile(QStringLiteral("page.htm"), "<p>a<div>"));
    Outcome r = RunTool({QStringLiteral("fix"), QStringLiteral("--wordlists"),
                         QStringLiteral("other.db"), QStringLiteral("page.htm")});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.contains(u"other.db") && r.err.contains(u"file not found"))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("page.fix")));
    // The strips need no lists, and neither does Fix File by HTML5 rules, even when the
    // lists are damaged.
    EXPECT_EQ(RunTool({QStringLiteral("strip-spaces"), QStringLiteral("--wordlists"),
                       QStringLiteral("other.db"), QStringLiteral("page.htm")})
                  .code,
              kExitOk);
    ASSERT_TRUE(PutFile(QStringLiteral("broken.db"), "not a database"));
    r = RunTool({QStringLiteral("fix"), QStringLiteral("--html5"), QStringLiteral("--wordlists"),
                 QStringLiteral("broken.db"), QStringLiteral("page.htm")});
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_EQ(FileBytes(QStringLiteral("page.fix")), "<p>a</p><div>");
    EXPECT_EQ(r.err, u"page.htm: 1 </p> added\n");
}

TEST_F(BatchTest, WordListCommandsFollowTheEditorRules) {
    const QString wl = QStringLiteral("wordlists");
    Outcome r = RunTool({wl, QStringLiteral("init")});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.contains(u"exists already"));

    r = RunTool({wl, QStringLiteral("add"), QStringLiteral("skip"), QStringLiteral("  Table  "),
                 QStringLiteral("   "), QStringLiteral("Table"), QStringLiteral("TABLE"),
                 QStringLiteral("/font")});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.contains(u"an empty entry was not added"));
    EXPECT_TRUE(r.err.contains(u"Duplicate Entry: \"Table\" is in the skip list already"));
    EXPECT_TRUE(r.err.contains(u"\"Table\", which differs from \"TABLE\" only in letter case"))
        << r.err.toStdString();

    r = RunTool({wl, QStringLiteral("list"), QStringLiteral("skip")});
    EXPECT_EQ(r.code, kExitOk);
    const QList<QByteArray> lines = r.out.split('\n');
    EXPECT_EQ(lines.first(), "");  // the empty name sorts first
    EXPECT_EQ(lines.indexOf("Table"), lines.indexOf("svg") + 1);
    EXPECT_TRUE(lines.contains("/font"));

    r = RunTool({wl, QStringLiteral("delete"), QStringLiteral("skip"), QStringLiteral("table"),
                 QStringLiteral("nosuch")});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, u"quillet-batch: \"nosuch\" is not in the skip list\n");
    EXPECT_FALSE(
        RunTool({wl, QStringLiteral("list"), QStringLiteral("skip")}).out.contains("Table"));
    EXPECT_TRUE(RunTool({wl, QStringLiteral("list"), QStringLiteral("include")})
                    .out.startsWith("/address\n"));
}

TEST(TerminalProgress, DrawsABarByTimeAndClearsIt) {
    QByteArray bytes;
    QBuffer err(&bytes);
    err.open(QIODevice::WriteOnly);
    {
        TerminalProgress progress(err, QStringLiteral("page.htm"), 1000, true);
        progress.showRemaining(250);
        progress.showAdded(7);
        QThread::msleep(120);
        for (int i = 0; i < 4096; ++i) EXPECT_TRUE(progress.processEvents());
        EXPECT_TRUE(
            bytes.contains("\rpage.htm [######################........]  75%  7 </p> added"))
            << bytes.toStdString();
        progress.notice(QStringLiteral("Last item on the page is an opening <"));
    }
    EXPECT_TRUE(bytes.endsWith("\r\x1b[Kpage.htm: Last item on the page is an opening <\n"))
        << bytes.toStdString();

    bytes.clear();
    err.seek(0);
    TerminalProgress quiet(err, QStringLiteral("small.htm"), 10, false);
    QThread::msleep(120);
    for (int i = 0; i < 5000; ++i) quiet.processEvents();
    quiet.finish();
    EXPECT_TRUE(bytes.isEmpty());
}

}  // namespace
}  // namespace quillet
