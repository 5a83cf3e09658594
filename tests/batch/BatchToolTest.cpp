// SPDX-License-Identifier: GPL-3.0-or-later
// quillet-batch in-process, its streams swapped for buffers; golden.sh and file_safety.sh
// run the built program.
#include "BatchTestSupport.h"
#include "FileSystemSupport.h"
#include "TestSupport.h"
#include "batch/BatchTool.h"
#include "batch/TerminalProgress.h"
#include "documents/DocumentFile.h"
#include "documents/FileNames.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>
#include <QBuffer>
#include <QFile>
#include <QStringEncoder>

namespace quillet {
namespace {

using test::FileBytes;
using test::PutFile;
using test::ScopedWorkingDir;

using test::Outcome;

using test::Batch;

class BatchTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(Batch(QStringLiteral("wordlists init")).code, kExitOk); }
    ScopedWorkingDir dir_;
    test::ScopedDataHome home_;
};

TEST(BatchUsage, HelpVersionAndUsageErrors) {
    EXPECT_TRUE(Batch(QStringLiteral("--help")).out.startsWith("Usage: quillet-batch COMMAND"));
    EXPECT_EQ(Batch(QStringLiteral("-V")).out, "quillet-batch " QUILLET_VERSION "\n");
    const Outcome unknown = Batch(QStringLiteral("fix --encoding klingon a.htm"));
    EXPECT_EQ(unknown.code, kExitUsage);
    EXPECT_TRUE(unknown.err.startsWith(u"quillet-batch: unknown encoding 'klingon'\n"));
    for (const char* arguments :
         {"", "mend", "fix", "fix --bogus a.htm", "fix -o x a b", "wordlists", "wordlists list",
          "wordlists add skip", "wordlists add other x", "wordlists init extra",
          "fix --join-lf a.htm", "wordlists list skip --join-lf", "strip-spaces --html5 a.htm"}) {
        const Outcome r = Batch(QString::fromLatin1(arguments));
        EXPECT_EQ(r.code, kExitUsage) << arguments;
        EXPECT_TRUE(r.err.contains(u"--help")) << r.err.toStdString();
    }
    EXPECT_EQ(Batch(QStringList{"fix", "-o", "", "a.htm"}).code, kExitUsage);
}

TEST_F(BatchTest, FixWritesTheFixNameAndReportsTheCount) {
    ASSERT_TRUE(PutFile(QStringLiteral("Page.Old.htm"), "<P>one\r\n<P>two<br/><H1>x</H1>"));
    Outcome r = Batch(QStringLiteral("fix Page.Old.htm"));
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_EQ(FileBytes(QStringLiteral("Page.Old.fix")), "<P>one\r\n</p><P>two<br/></p><H1>x</H1>");
    EXPECT_EQ(r.err, u"Page.Old.htm: 2 </p> added\n");

    ASSERT_TRUE(PutFile(QStringLiteral("end.htm"), "<p>a<"));
    r = Batch(QStringLiteral("fix end.htm -o out.htm"));
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.err, u"end.htm: Last item on the page is an opening <\nend.htm: 0 </p> added\n");
    EXPECT_EQ(FileBytes(QStringLiteral("out.htm")), "<p>a<");
}

TEST_F(BatchTest, TheDefaultListsLeaveScriptsCommentsDrawingsAndLessThanSignsAlone) {
    const struct {
        const char* name;
        const char* page;
        const char* fixed;
    } cases[] = {
        {"script", "<p>Count:<script>for(i=0;i<n;i++){x()}</script><p>b",
         "<p>Count:<script>for(i=0;i<n;i++){x()}</script></p><p>b"},
        {"less-than sign", "<p>Dose <5mg daily.<p>Next", "<p>Dose <5mg daily.</p><p>Next"},
        {"comment", "<p>a<!-- <div> --> b<h1>x</h1>", "<p>a<!-- <div> --> b</p><h1>x</h1>"},
        {"conditional comment", "<p>a<!--[if IE]><div class=ie><![endif]-->b<ul>",
         "<p>a<!--[if IE]><div class=ie><![endif]-->b</p><ul>"},
        {"text area", "<p>Note<textarea>use <div> here</textarea><div>",
         "<p>Note<textarea>use <div> here</textarea></p><div>"},
        {"title", "<title><p></title><p>a<div>", "<title><p></title><p>a</p><div>"},
        {"drawing", "<p>Chart <svg><rect/><circle r=1></circle><foreignObject></svg><hr>",
         "<p>Chart <svg><rect/><circle r=1></circle><foreignObject></svg></p><hr>"},
        {"formula", "<p>x<math><mrow><mi>x</mi><msup/></mrow></math><pre>",
         "<p>x<math><mrow><mi>x</mi><msup/></mrow></math></p><pre>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(PutFile(QStringLiteral("page.htm"), c.page));
        const Outcome r = Batch(QStringLiteral("fix page.htm"));
        EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
        EXPECT_EQ(FileBytes(QStringLiteral("page.fix")), c.fixed);
    }
    ASSERT_TRUE(PutFile(QStringLiteral("lines.htm"),
                        "<p>a\r\n<script>\r\nif(a<p>b)\r\n</script>\r\n<!--\r\n</p>-->b</p>"));
    EXPECT_EQ(Batch(QStringLiteral("strip-newlines lines.htm")).code, kExitOk);
    EXPECT_EQ(FileBytes(QStringLiteral("lines.fix")),
              "<p>a<script>\r\nif(a<p>b)\r\n</script><!--\r\n</p>-->b</p>");
}

TEST_F(BatchTest, StandardInputAndOutputCarryBytesUnchanged) {
    const QByteArray page("  <p>a\r\nb</p>\x81\x00\xff  x  ", 21);
    EXPECT_EQ(Batch(QStringLiteral("strip-newlines -"), page).out,
              QByteArray("  <p>ab</p>\x81\x00\xff  x  ", 19));
    EXPECT_EQ(Batch(QStringLiteral("strip-newlines --join-lf -"), "x\n<p>a\nb\r\nc</p>\n").out,
              "x\n<p>abc</p>\n");
    EXPECT_EQ(Batch(QStringLiteral("strip-spaces - -o -"), page).out,
              QByteArray("<p>a\r\nb</p>\x81\x00\xff x", 16));
    const Outcome r = Batch(QStringLiteral("fix -"), "<p>a<div>");
    EXPECT_EQ(r.out, "<p>a</p><div>");
    EXPECT_EQ(r.err, u"standard input: 1 </p> added\n");

    // Thousands of stretches of the page and insertions, written to a file and to
    // standard output, arrive whole and in order.
    const QByteArray many = QByteArray("<p>\xE9x").repeated(3000);
    const QByteArray manyFixed = QByteArray("<p>\xE9x</p>").repeated(2999) + "<p>\xE9x";
    EXPECT_EQ(Batch(QStringLiteral("fix -"), many).out, manyFixed);
    ASSERT_TRUE(PutFile(QStringLiteral("many.htm"), many));
    Batch(QStringLiteral("fix many.htm"));
    EXPECT_EQ(FileBytes(QStringLiteral("many.fix")), manyFixed);
}

TEST_F(BatchTest, PagesAreRepairedAndWrittenInTheirOwnEncoding) {
    const auto utf16be = [](QStringView text) {
        return QByteArray(
            QStringEncoder(QStringConverter::Utf16BE, QStringConverter::Flag::WriteBom)
                .encode(text));
    };
    const QString page = QStringLiteral("<p>\u00e9t\u00e9<p>\u0151<div>");
    const QString fixed = QStringLiteral("<p>\u00e9t\u00e9</p><p>\u0151</p><div>");
    const struct {
        const char* name;
        QByteArray in;
        QByteArray out;
        const char* readAs;
    } cases[] = {
        {"be.htm", utf16be(page), utf16be(fixed), "UTF-16BE with byte-order mark"},
        {"u8.htm", page.toUtf8(), fixed.toUtf8(), "UTF-8"},
        {"bom.htm", "\xEF\xBB\xBF" + page.toUtf8(), "\xEF\xBB\xBF" + fixed.toUtf8(),
         "UTF-8 with byte-order mark"},
        {"cp.htm", "<p>\xE9<p>\x81<div>", "<p>\xE9</p><p>\x81</p><div>", "Windows-1252"},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        ASSERT_TRUE(PutFile(name, c.in));
        const Outcome r = Batch("-v fix " + name);
        EXPECT_EQ(r.code, kExitOk) << c.name;
        EXPECT_EQ(r.err, QStringLiteral("%1: read as %2\n%1: 2 </p> added\n")
                             .arg(name, QString::fromLatin1(c.readAs)));
        EXPECT_EQ(FileBytes(name.chopped(3) + QStringLiteral("fix")), c.out) << c.name;
    }

    // A chosen encoding that cannot read a page byte for byte fails that page alone.
    Outcome r = Batch(QStringLiteral("strip-spaces -q --encoding utf-8 cp.htm u8.htm"));
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err,
              u"quillet-batch: cp.htm: cannot be read as UTF-8 without changing its bytes\n");
    EXPECT_EQ(FileBytes(QStringLiteral("cp.fix")), "<p>\xE9</p><p>\x81</p><div>");
    // Read as ISO-8859-2, standard input comes back in it.
    r = Batch(QStringLiteral("fix --encoding latin2 -v -"), "<p>\xB1<h1>");
    EXPECT_EQ(r.out, "<p>\xB1</p><h1>");
    EXPECT_TRUE(r.err.startsWith(u"standard input: read as ISO-8859-2\n"));
}

TEST_F(BatchTest, PagesAreReadInWhatTheyDeclareAsBrowsersReadIt) {
    const struct {
        const char* name;
        QByteArray in;
        QByteArray out;
        const char* err;  // after "NAME: ", before "NAME: 1 </p> added"
    } cases[] = {
        // No browser reads a page in EBCDIC, whose "<" is no ASCII "<".
        {"ebcdic.htm", "<meta charset=\"cp037\"><p>x<div>y",
         "<meta charset=\"cp037\"><p>x</p><div>y", "read as Windows-1252\n"},
        {"nul.htm", QByteArray("\0 <p>one<div>x</div>", 20),
         QByteArray("\0 <p>one</p><div>x</div>", 24), "read as Windows-1252\n"},
        {"latin10.htm", "<meta charset=iso-8859-16><p>\xAA<div>",
         "<meta charset=iso-8859-16><p>\xAA</p><div>", "read as ISO-8859-16\n"},
        {"latin3.htm", "<meta charset=iso-8859-3><p>\xA5<div>",
         "<meta charset=iso-8859-3><p>\xA5</p><div>",
         "read as Windows-1252\nlatin3.htm: declares ISO-8859-3 but is read as Windows-1252, since "
         "its bytes are not ISO-8859-3\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name);
        ASSERT_TRUE(PutFile(name, c.in));
        const Outcome r = Batch("fix -v " + name);
        EXPECT_EQ(r.code, kExitOk);
        EXPECT_EQ(r.err.toStdString(), QStringLiteral("%1: %2%1: 1 </p> added\n")
                                           .arg(name, QString::fromLatin1(c.err))
                                           .toStdString());
        EXPECT_EQ(FileBytes(name.chopped(3) + QStringLiteral("fix")), c.out);
    }
}

/// `text` in UTF-16 of either byte order with its mark, every unit as it is, and `stray`.
QByteArray Utf16Units(QStringView text, bool bigEndian, QByteArrayView stray) {
    QByteArray bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes.append(stray);
}

TEST_F(BatchTest, ADamagedUtf16PageIsRepairedWithItsDamageKeptAndNamed) {
    const QString page =
        QStringLiteral("<p>a\r\nb  ") + QChar(0xD800) + QStringLiteral("  c</p><p>d<div>x");
    const auto with = [&](QString text, qsizetype at, const char* insert) {
        return text.insert(at, QString::fromLatin1(insert));
    };
    QString fixed = with(page, 21, "</p>");
    QString joined = page;
    joined.remove(4, 2);
    QString spaced = page;
    spaced.remove(11, 1).remove(8, 1);
    const struct {
        const char* name;
        const char* command;
        QString out;
    } commands[] = {{"Fix File by the word lists", "fix", fixed},
                    {"Fix File by HTML5 rules", "fix --html5", fixed},
                    {"Strip Newlines", "strip-newlines", joined},
                    {"Strip Spaces", "strip-spaces", spaced}};
    for (const bool bigEndian : {false, true}) {
        for (const auto& c : commands) {
            SCOPED_TRACE(std::string(c.name) + (bigEndian ? ", big-endian" : ", little-endian"));
            const QByteArray in = Utf16Units(page, bigEndian, "!");
            ASSERT_TRUE(PutFile(QStringLiteral("u.htm"), in));
            const Outcome r = Batch(QString::fromLatin1(c.command) + QStringLiteral(" u.htm"));
            EXPECT_EQ(r.code, kExitOk);
            const QString damaged = bigEndian ? QStringLiteral("u.htm: damaged UTF-16BE: ")
                                              : QStringLiteral("u.htm: damaged UTF-16LE: ");
            EXPECT_TRUE(r.err.startsWith(damaged +
                                         "an unpaired surrogate (U+D800) at byte 21, "
                                         "kept as it is\n" +
                                         damaged + "a stray last byte at byte 57, kept as it is\n"))
                << r.err.toStdString();
            EXPECT_EQ(FileBytes(QStringLiteral("u.fix")), Utf16Units(c.out, bigEndian, "!"));
        }
    }
}

TEST_F(BatchTest, FailedInputsAreNamedAndTheOthersAreStillRepaired) {
    for (const char* name : {"a.htm", "a.html", "x.htm", "page.htm", "good.htm"}) {
        ASSERT_TRUE(PutFile(QString::fromLatin1(name), "<p>new<div>"));
    }
    ASSERT_TRUE(PutFile(QStringLiteral("x.fix"), "<p>old"));
    ASSERT_EQ(symlink("page.htm", "page.fix"), 0);
    // All outputs are worked out before anything is written.
    const Outcome r =
        Batch(QStringLiteral("fix missing.htm a.htm x.htm a.html page.htm good.htm x.fix"));
    EXPECT_EQ(r.code, kExitFailed);
    for (const char* refusal : {
             "quillet-batch: missing.htm: cannot read the page: file not found\n",
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
    // Naming the output explicitly is the user's choice.
    EXPECT_EQ(Batch(QStringLiteral("fix x.fix -o x.fix")).code, kExitOk);
    EXPECT_EQ(FileBytes(QStringLiteral("x.fix")), "<p>old");
}

TEST_F(BatchTest, APageTooLargeToHoldFailsAloneAndTheRunGoesOn) {
    SetDocumentSizeLimit(4096);
    ASSERT_TRUE(PutFile(QStringLiteral("huge.htm"), QByteArray(5000, 'x')));
    ASSERT_TRUE(PutFile(QStringLiteral("good.htm"), "<p>a<div>"));
    QStringList tooLarge{QStringLiteral("huge.htm")};
    // An endless input: a device of zeros.
    if (test::MakeCharDevice(QStringLiteral("zero"), 1, 5)) tooLarge << QStringLiteral("zero");
    const Outcome r = Batch("fix " + tooLarge.join(u' ') + " good.htm");
    const Outcome piped = Batch(QStringLiteral("fix -"), QByteArray(5000, 'x'));
    SetDocumentSizeLimit(0);

    EXPECT_EQ(r.code, kExitFailed);
    for (const QString& input : tooLarge) {
        EXPECT_TRUE(r.err.contains(input + ": cannot read the page: it is too large to hold in "
                                           "memory\n"))
            << r.err.toStdString();
    }
    EXPECT_EQ(FileBytes(QStringLiteral("good.fix")), "<p>a</p><div>");
    EXPECT_EQ(piped.code, kExitFailed);
    EXPECT_EQ(piped.err,
              u"quillet-batch: standard input: cannot read the page: it is too large "
              u"to hold in memory\n");
}

TEST_F(BatchTest, APageTooDeepForTheHtml5ParserFailsAloneAndTheRunGoesOn) {
    // Each in its own encoding: the refusal comes before the parse, in either.
    ASSERT_TRUE(PutFile(QStringLiteral("deep.htm"),
                        "<p>x" + QByteArray("<div>").repeated(200000) + "<p>y\n"));
    ASSERT_TRUE(PutFile(QStringLiteral("deep16.htm"),
                        QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)
                            .encode("<p>" + QStringLiteral("<b>").repeated(6000))));
    ASSERT_TRUE(PutFile(QStringLiteral("good.htm"), "<p>a<div>"));
    const Outcome r = Batch(QStringLiteral("fix --html5 deep.htm deep16.htm good.htm"));
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.startsWith(
        u"quillet-batch: deep.htm: the page is nested too deeply for the HTML5 rules "
        u"(200,001 levels; the parser reads at most 5,000)\n"
        u"quillet-batch: deep16.htm: the page is nested too deeply for the HTML5 rules "
        u"(6,001 levels; the parser reads at most 5,000)\n"
        u"good.htm: 1 </p> added\n"
        u"3 pages read, 1 changed, 0 unchanged, 2 failed, 1 </p> added in "))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("deep.fix")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("deep16.fix")));
    EXPECT_EQ(FileBytes(QStringLiteral("good.fix")), "<p>a</p><div>");
}

TEST_F(BatchTest, WordListsAreNeededByFixAloneAndEditedByTheEditorsRules) {
    ASSERT_TRUE(PutFile(QStringLiteral("page.htm"), "<p>a<div>"));
    Outcome r = Batch(QStringLiteral("fix --wordlists other.db page.htm"));
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.contains(u"other.db") && r.err.contains(u"file not found"))
        << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("page.fix")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("other.db")));  // a named file is never made
    // The strips need no lists, and neither does Fix File by HTML5 rules.
    EXPECT_EQ(Batch(QStringLiteral("strip-spaces --wordlists other.db page.htm")).code, kExitOk);
    ASSERT_TRUE(PutFile(QStringLiteral("broken.db"), "not a database"));
    r = Batch(QStringLiteral("fix --html5 --wordlists broken.db page.htm"));
    EXPECT_EQ(r.code, kExitOk) << r.err.toStdString();
    EXPECT_EQ(FileBytes(QStringLiteral("page.fix")), "<p>a</p><div>");

    EXPECT_TRUE(Batch(QStringLiteral("wordlists init")).err.contains(u"exists already"));
    r = Batch(
        QStringList{"wordlists", "add", "skip", "  Table  ", "   ", "Table", "TABLE", "/font"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.contains(u"an empty entry was not added"));
    EXPECT_TRUE(r.err.contains(u"Duplicate Entry: \"Table\" is in the skip list already"));
    EXPECT_TRUE(r.err.contains(u"\"Table\", which differs from \"TABLE\" only in letter case"))
        << r.err.toStdString();
    r = Batch(QStringLiteral("wordlists list skip"));
    const QList<QByteArray> lines = r.out.split('\n');
    EXPECT_EQ(lines.first(), "''");  // the empty name sorts first
    EXPECT_EQ(lines.indexOf("Table"), lines.indexOf("symbol/") + 1);
    EXPECT_TRUE(lines.contains("/font"));

    r = Batch(QStringLiteral("wordlists delete skip table nosuch"));
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, u"quillet-batch: \"nosuch\" is not in the skip list\n");
    EXPECT_FALSE(Batch(QStringLiteral("wordlists list skip")).out.contains("Table"));
    EXPECT_TRUE(Batch(QStringLiteral("wordlists list include")).out.startsWith("/address\n"));

    // The working folder's file comes before the user's own, damaged or not.
    ASSERT_TRUE(PutFile(QStringLiteral("SkipList.db"), "not a database"));
    r = Batch(QStringLiteral("fix page.htm"));
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_TRUE(r.err.contains(dir_.file(QStringLiteral("SkipList.db")))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(home_.wordLists()));
}

TEST_F(BatchTest, WordListsShowEveryEntryOnALineOfItsOwnAsAShellReadsIt) {
    // Entries that no list should hold, as another program may have stored them.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open("SkipList.db", &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "DELETE FROM Lookup; INSERT INTO Lookup VALUES (''), ('br/'), "
                           "('x y'), ('it''s'), ('a\\b'), ('caf\xc3\xa9'), ('a' || char(10) || "
                           "'b'), ('t' || char(9) || '\\'), (char(133)), ('(empty)')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const Outcome r = Batch(QStringLiteral("wordlists list skip"));
    EXPECT_EQ(r.code, kExitOk);
    EXPECT_EQ(r.out,
              "''\n'(empty)'\n$'a\\nb'\n'a\\b'\nbr/\ncaf\xc3\xa9\n'it'\\''s'\n"
              "$'t\\t\\\\'\n'x y'\n$'\\u0085'\n");
    // What the list shows names the entry to delete, the empty one too.
    EXPECT_EQ(Batch(QStringList{"wordlists", "delete", "skip", "", "a\nb", "it's"}).code, kExitOk);
    EXPECT_EQ(Batch(QStringLiteral("wordlists list skip")).out.count('\n'), 7);
}

TEST_F(BatchTest, WordListsRefuseEntriesThatAreNoText) {
    // As the arguments reach the tool: each byte that is not UTF-8 kept on its own.
    const QString notUtf8 = DecodeFileName("caf\xe9");
    const Outcome r = Batch(QStringList{"wordlists", "add", "skip", notUtf8,
                                        DecodeFileName("\xff\xfe"), "a\nb", "ok", "a\x7f"});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err,
              "quillet-batch: $'caf\\xe9' was not added: it holds the byte 0xE9, which is not "
              "UTF-8\n"
              "quillet-batch: $'\\xff\\xfe' was not added: it holds the byte 0xFF, which is not "
              "UTF-8\n"
              "quillet-batch: $'a\\nb' was not added: it holds the control character U+000A\n"
              "quillet-batch: $'a\\x7f' was not added: it holds the control character U+007F\n");
    const QByteArray listed = Batch(QStringLiteral("wordlists list skip")).out;
    EXPECT_TRUE(listed.contains("\nok\n"));
    EXPECT_FALSE(listed.contains("caf"));
    EXPECT_FALSE(listed.contains("$"));
}

TEST_F(BatchTest, AChangeOfTheListsIsStoredWholeOrNotAtAll) {
    // Another program holds the file: for reading and writing, or for writing alone.
    for (const char* lock : {"BEGIN EXCLUSIVE", "BEGIN IMMEDIATE"}) {
        SCOPED_TRACE(lock);
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open("SkipList.db", &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, lock, nullptr, nullptr, nullptr), SQLITE_OK);
        QByteArray noInput, outBytes, errBytes;
        QBuffer in(&noInput), out(&outBytes), err(&errBytes);
        in.open(QIODevice::ReadOnly);
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        BatchIo io{in, out, err};
        io.lockWaitMs = 1;  // instead of seconds
        const int code = RunBatch({"quillet-batch", "wordlists", "add", "skip", "one", "two"}, io);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        EXPECT_EQ(code, kExitFailed);
        const QString said = QString::fromUtf8(errBytes);
        const QString file = dir_.file(QStringLiteral("SkipList.db"));
        EXPECT_TRUE(said.startsWith(QStringLiteral("quillet-batch: %1 is locked by another "
                                                   "program; waiting up to 1 s\n")
                                        .arg(file)))
            << said.toStdString();
        EXPECT_TRUE(said.endsWith(u"the file is locked by another program. Nothing was added.\n"))
            << said.toStdString();
        EXPECT_EQ(said.count(u'\n'), 2);
        const QByteArray listed = Batch(QStringLiteral("wordlists list skip")).out;
        EXPECT_FALSE(listed.contains("\none\n") || listed.contains("\ntwo\n"));
    }
    // Refused entries are named, and the others go in together.
    const Outcome r = Batch(QStringLiteral("wordlists add skip one font two"));
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(r.err, u"quillet-batch: Duplicate Entry: \"font\" is in the skip list already\n");
    const QByteArray listed = Batch(QStringLiteral("wordlists list skip")).out;
    EXPECT_TRUE(listed.contains("\none\n") && listed.contains("\ntwo\n"));
}

TEST(TerminalProgress, OneLineForTheRunWithRateAndTimeLeft) {
    const RunCount total{5000, 200'000'000};
    EXPECT_EQ(TerminalProgress::Line({0, 0}, total, 0), u"0/5000 pages  0.0/200.0 MB");
    // A quarter of the bytes in 10 s: 30 s left.
    EXPECT_EQ(TerminalProgress::Line({1000, 50'000'000}, total, 10'000),
              u"1000/5000 pages  50.0/200.0 MB  100 pages/s  0:30 left");
    // Empty pages count by pages.
    EXPECT_EQ(TerminalProgress::Line({1, 0}, {4, 0}, 60'000),
              u"1/4 pages  0.0/0.0 MB  0 pages/s  3:00 left");
}

}  // namespace
}  // namespace quillet
