#include "FileSystemSupport.h"
#include "TestSupport.h"
#include "batch/BatchTool.h"
#include "batch/TerminalProgress.h"
#include "documents/DocumentFile.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QBuffer>
#include <QFile>
#include <QStringEncoder>
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
    for (const char* option : {"--version", "-V"}) {
        r = RunTool({QString::fromLatin1(option)});
        EXPECT_EQ(r.code, kExitOk);
        EXPECT_EQ(r.out, "quillet-batch 1.4.2\n");
    }
    r = RunTool({QStringLiteral("fix"), QStringLiteral("--encoding"), QStringLiteral("klingon"),
                 QStringLiteral("a.htm")});
    EXPECT_EQ(r.code, kExitUsage);
    EXPECT_TRUE(r.err.startsWith(u"quillet-batch: unknown encoding 'klingon'\n"));

    const QList<QStringList> usageErrors = {
        {},
        {QStringLiteral("mend")},
        {QStringLiteral("fix")},
        {QStringLiteral("fix"), QStringLiteral("--bogus"), QStringLiteral("a.htm")},
        {QStringLiteral("fix"), QStringLiteral("-o"), QStringLiteral("x"), QStringLiteral("a"),
         QStringLiteral("b")},
        {QStringLiteral("fix"), QStringLiteral("-o"), QString(), QStringLiteral("a")},
        {QStringLiteral("wordlists")},
        {QStringLiteral("wordlists"), QStringLiteral("list")},
        {QStringLiteral("wordlists"), QStringLiteral("add"), QStringLiteral("skip")},
        {QStringLiteral("wordlists"), QStringLiteral("add"), QStringLiteral("other"),
         QStringLiteral("x")},
        {QStringLiteral("wordlists"), QStringLiteral("init"), QStringLiteral("extra")},
        {QStringLiteral("fix"), QStringLiteral("--join-lf"), QStringLiteral("a.htm")},
        {QStringLiteral("wordlists"), QStringLiteral("list"), QStringLiteral("skip"),
         QStringLiteral("--join-lf")},
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
    r = RunTool(
        {QStringLiteral("strip-newlines"), QStringLiteral("--join-lf"), QStringLiteral("-")},
        "x\n<p>a\nb\r\nc</p>\n");
    EXPECT_EQ(r.out, "x\n<p>abc</p>\n");
    r = RunTool({QStringLiteral("strip-spaces"), QStringLiteral("-"), QStringLiteral("-o"),
                 QStringLiteral("-")},
                page);
    EXPECT_EQ(r.out, QByteArray("<p>a\r\nb</p>\x81\x00\xff x", 16));
    r = RunTool({QStringLiteral("fix"), QStringLiteral("-")}, "<p>a<div>");
    EXPECT_EQ(r.out, "<p>a</p><div>");
    EXPECT_EQ(r.err, u"standard input: 1 </p> added\n");

    // Thousands of stretches of the page and insertions, written to a file and to
    // standard output, arrive whole and in order.
    const QByteArray many = QByteArray("<p>\xE9x").repeated(3000);
    const QByteArray manyFixed = QByteArray("<p>\xE9x</p>").repeated(2999) + "<p>\xE9x";
    r = RunTool({QStringLiteral("fix"), QStringLiteral("-")}, many);
    EXPECT_EQ(r.out, manyFixed);
    ASSERT_TRUE(PutFile(QStringLiteral("many.htm"), many));
    r = RunTool({QStringLiteral("fix"), QStringLiteral("many.htm")});
    EXPECT_EQ(FileBytes(QStringLiteral("many.fix")), manyFixed);
}

TEST_F(BatchTest, PagesAreRepairedAndWrittenInTheirOwnEncoding) {
    const auto utf16 = [](QStringView text, QStringConverter::Encoding order) {
        return QByteArray(QStringEncoder(order, QStringConverter::Flag::WriteBom).encode(text));
    };
    using Q = QStringConverter;
    const QString page = QStringLiteral("<p>\u00e9t\u00e9<p>\u0151<div>");
    const QString fixed = QStringLiteral("<p>\u00e9t\u00e9</p><p>\u0151</p><div>");
    const struct {
        const char* name;
        QByteArray in;
        QByteArray out;
        const char* readAs;
    } cases[] = {
        {"le.htm", utf16(page, Q::Utf16LE), utf16(fixed, Q::Utf16LE),
         "UTF-16LE with byte-order mark"},
        {"be.htm", utf16(page, Q::Utf16BE), utf16(fixed, Q::Utf16BE),
         "UTF-16BE with byte-order mark"},
        {"u8.htm", page.toUtf8(), fixed.toUtf8(), "UTF-8"},
        {"bom.htm", "\xEF\xBB\xBF" + page.toUtf8(), "\xEF\xBB\xBF" + fixed.toUtf8(),
         "UTF-8 with byte-order mark"},
        {"cp.htm", "<p>\xE9<p>\x81<div>", "<p>\xE9</p><p>\x81</p><div>", "Windows-1252"},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        ASSERT_TRUE(PutFile(name, c.in));
        const Outcome r = RunTool({QStringLiteral("-v"), QStringLiteral("fix"), name});
        EXPECT_EQ(r.code, kExitOk) << c.name;
        EXPECT_EQ(r.err, QStringLiteral("%1: read as %2\n%1: 2 </p> added\n")
                             .arg(name, QString::fromLatin1(c.readAs)));
        EXPECT_EQ(FileBytes(name.chopped(3) + QStringLiteral("fix")), c.out) << c.name;
    }

    // A chosen encoding that cannot read a page byte for byte fails that page alone.
    Outcome r =
        RunTool({QStringLiteral("strip-spaces"), QStringLiteral("--encoding"),
                 QStringLiteral("utf-8"), QStringLiteral("cp.htm"), QStringLiteral("u8.htm")});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err,
              u"quillet-batch: cp.htm: cannot be read as UTF-8 without changing its bytes\n");
    EXPECT_EQ(FileBytes(QStringLiteral("cp.fix")), "<p>\xE9</p><p>\x81</p><div>");
    // Read as ISO-8859-2, standard input comes back in it.
    r = RunTool({QStringLiteral("fix"), QStringLiteral("--encoding"), QStringLiteral("latin2"),
                 QStringLiteral("-v"), QStringLiteral("-")},
                "<p>\xB1<h1>");
    EXPECT_EQ(r.out, "<p>\xB1</p><h1>");
    EXPECT_TRUE(r.err.startsWith(u"standard input: read as ISO-8859-2\n"));
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
    EXPECT_TRUE(
        r.err.contains(u"again.fix: the repaired copy again.fix would replace the page itself"));
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
    EXPECT_FALSE(QFile::exists(QStringLiteral("other.db")));  // a named file is never made
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

TEST_F(BatchTest, OutputsThatCollideAreRefusedBeforeAnythingIsWritten) {
    for (const char* name : {"a.htm", "a.html", "x.htm", "page.htm", "good.htm"}) {
        ASSERT_TRUE(PutFile(QString::fromLatin1(name), "<p>new<div>"));
    }
    ASSERT_TRUE(PutFile(QStringLiteral("x.fix"), "<p>old"));
    ASSERT_EQ(symlink("page.htm", "page.fix"), 0);
    const Outcome r =
        RunTool({QStringLiteral("fix"), QStringLiteral("a.htm"), QStringLiteral("x.htm"),
                 QStringLiteral("a.html"), QStringLiteral("page.htm"), QStringLiteral("good.htm"),
                 QStringLiteral("x.fix")});
    EXPECT_EQ(r.code, kExitFailed);
    for (const char* refusal : {
             "a.htm: not repaired: its output a.fix would also be the output of a.html\n",
             "a.html: not repaired: its output a.fix would also be the output of a.htm\n",
             "x.htm: not repaired: its output x.fix would replace x.fix, a page of this run\n",
             "page.htm: the repaired copy page.fix would replace the page itself",
             "x.fix: the repaired copy x.fix would replace the page itself",
         }) {
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(refusal))) << r.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(QStringLiteral("a.fix")));
    EXPECT_EQ(FileBytes(QStringLiteral("x.fix")), "<p>old");
    EXPECT_EQ(FileBytes(QStringLiteral("page.htm")), "<p>new<div>");
    EXPECT_EQ(FileBytes(QStringLiteral("good.fix")), "<p>new</p><div>");
}

TEST_F(BatchTest, APageTooLargeToHoldFailsAloneAndTheRunGoesOn) {
    SetDocumentSizeLimit(4096);
    ASSERT_TRUE(PutFile(QStringLiteral("huge.htm"), QByteArray(5000, 'x')));
    ASSERT_TRUE(PutFile(QStringLiteral("good.htm"), "<p>a<div>"));
    QStringList inputs{QStringLiteral("huge.htm"), QStringLiteral("good.htm")};
    // An endless input: a device of zeros.
    if (test::MakeCharDevice(QStringLiteral("zero"), 1, 5)) inputs.prepend(QStringLiteral("zero"));
    Outcome r = RunTool(QStringList{QStringLiteral("fix")} + inputs);
    const Outcome piped =
        RunTool({QStringLiteral("fix"), QStringLiteral("-")}, QByteArray(5000, 'x'));
    SetDocumentSizeLimit(0);

    EXPECT_EQ(r.code, kExitFailed);
    for (const QString& input : inputs.mid(0, inputs.size() - 1)) {
        EXPECT_TRUE(r.err.contains(
            input + QStringLiteral(": cannot read the page: it is too large to hold in memory\n")))
            << r.err.toStdString();
    }
    EXPECT_EQ(FileBytes(QStringLiteral("good.fix")), "<p>a</p><div>");
    EXPECT_EQ(piped.code, kExitFailed);
    EXPECT_EQ(piped.err,
              u"quillet-batch: standard input: cannot read the page: it is too large "
              u"to hold in memory\n");
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
