// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of a batch run on their own: the command line, patterns, the diff (applied
// by patch), the pool of jobs.
#include "TestSupport.h"
#include "batch/BatchOptions.h"
#include "batch/JobPool.h"
#include "batch/PageWalk.h"
#include "batch/UnifiedDiff.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <chrono>

namespace quillet {
namespace {

using namespace std::chrono_literals;

TEST(BatchOptions, ShortOptionsBundleAsInGnuTools) {
    const struct {
        const char* name;
        QStringList arguments;
        const char* expected;  // what was read, as Summary() writes it
    } cases[] = {
        {"bundled flags and a value", {"fix", "-qj4", "a.htm"}, "q j4 [fix a.htm]"},
        {"a value as the next word", {"-vo", "out", "fix", "a.htm"}, "v oout [fix a.htm]"},
        {"a value in the same word", {"fix", "-oFILE", "-r0", "x"}, "oFILE r 0 [fix x]"},
        {"long values",
         {"fix", "--jobs=3", "--output-dir", "d", "--backup", "--in-place", "x"},
         "j3 dird backup.orig in-place [fix x]"},
        {"a long option shortened",
         {"fix", "--rec", "--back=.b", "--in-p", "x"},
         "r backup.b in-place [fix x]"},
        {"operands after --", {"fix", "--", "-q", "-"}, "[fix -q -]"},
        {"repeatable",
         {"fix", "--exclude", "a", "--exclude=b", "--include", "*.x", "x"},
         "ex[a b] in[*.x] [fix x]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BatchOptions o;
        QString problem;
        ASSERT_TRUE(ParseBatchArguments(c.arguments, &o, &problem)) << problem.toStdString();
        QStringList read;
        if (o.quiet) read << "q";
        if (o.verbose) read << "v";
        if (o.jobs) read << QStringLiteral("j%1").arg(*o.jobs);
        if (o.output) read << "o" + *o.output;
        if (o.recursive) read << "r";
        if (o.nul) read << "0";
        if (o.outputDir) read << "dir" + *o.outputDir;
        if (o.backup) read << "backup" + *o.backup;
        if (o.inPlace) read << "in-place";
        if (!o.exclude.isEmpty()) read << "ex[" + o.exclude.join(u' ') + "]";
        if (!o.include.isEmpty()) read << "in[" + o.include.join(u' ') + "]";
        read << "[" + o.words.join(u' ') + "]";
        EXPECT_EQ(read.join(u' '), QString::fromLatin1(c.expected));
    }
    for (const QStringList& wrong :
         {QStringList{"-x"}, {"--out"}, {"-j"}, {"--quiet=1"}, {"-qjx"}, {"--report"}}) {
        BatchOptions o;
        QString problem;
        EXPECT_FALSE(ParseBatchArguments(wrong, &o, &problem)) << wrong.join(u' ').toStdString();
        EXPECT_FALSE(problem.isEmpty());
    }
}

TEST(PageWalk, GlobsMatchAsTheShellDoesAndSlashesToo) {
    const struct {
        const char* glob;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.htm", "a.htm", true},
        {"*.htm", "a.html", false},
        {"*.htm", "sub/a.htm", true},
        {"a?c", "abc", true},
        {"a?c", "ac", false},
        {"[a-c]x", "bx", true},
        {"[!a-c]x", "bx", false},
        {"[^a]x", "zx", true},
        {"[]]x", "]x", true},
        {"\\*x", "*x", true},
        {"\\*x", "ax", false},
        {"[x", "[x", true},
        {"*a*b*c", "zzaxxbyyc", true},
        {"*a*b*c", "zzaxxbyy", false},
        {"", "", true},
        {"**", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesGlob(QString::fromLatin1(c.glob), QString::fromLatin1(c.name)), c.matches)
            << c.glob << " " << c.name;
    }
    EXPECT_TRUE(MatchesGlob(u"*.HTM", u"page.htm", Qt::CaseInsensitive));
    EXPECT_TRUE(MatchesGlob(u"[A-C].htm", u"b.htm", Qt::CaseInsensitive));
    EXPECT_EQ(SplitFileList("a\n\nb c\n", false), (QStringList{"a", "b c"}));
    EXPECT_EQ(SplitFileList(QByteArray("a\nb\0c", 5), true), (QStringList{"a\nb", "c"}));
}

TEST(UnifiedDiff, HunksWithContextAndTheMarkOfAMissingLastNewline) {
    const struct {
        const char* name;
        QByteArray before;
        QByteArray after;
        QByteArray diff;  // after the headers
    } cases[] = {
        {"inserted </p>, context of three", "1\n2\n3\n<p>a<div>\n5\n6\n7\n8\n",
         "1\n2\n3\n<p>a</p><div>\n5\n6\n7\n8\n",
         "@@ -1,7 +1,7 @@\n 1\n 2\n 3\n-<p>a<div>\n+<p>a</p><div>\n 5\n 6\n 7\n"},
        {"no final newline", "<p>a<div>", "<p>a</p><div>",
         "@@ -1 +1 @@\n-<p>a<div>\n\\ No newline at end of file\n+<p>a</p><div>\n"
         "\\ No newline at end of file\n"},
        {"CR LF lines joined", "<p>a\r\nb</p>\r\nc\r\n", "<p>ab</p>\r\nc\r\n",
         "@@ -1,3 +1,2 @@\n-<p>a\r\n-b</p>\r\n+<p>ab</p>\r\n c\r\n"},
        {"two hunks", "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\n", "A\nb\nc\nd\ne\nf\ng\nh\ni\nJ\n",
         "@@ -1,4 +1,4 @@\n-a\n+A\n b\n c\n d\n@@ -7,4 +7,4 @@\n g\n h\n i\n-j\n+J\n"},
        {"to an empty file", "x\n", "", "@@ -1 +0,0 @@\n-x\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UnifiedDiff(c.before, c.after, "p.htm"), "--- a/p.htm\n+++ b/p.htm\n" + c.diff);
    }
    EXPECT_TRUE(UnifiedDiff("same\n", "same\n", "p.htm").isEmpty());
}

/// A page of `lines` lines, some ended by CR LF, some lacking </p>, perhaps without a last
/// newline.
QByteArray RandomPage(QRandomGenerator& random, int lines) {
    QByteArray page;
    for (int i = 0; i < lines; ++i) {
        page += random.bounded(3) == 0 ? QByteArray("<p>same") : "<p>line " + QByteArray::number(i);
        if (random.bounded(2)) page += "<div>";
        page += random.bounded(3) == 0 ? "\r\n" : "\n";
    }
    if (random.bounded(2)) page.chop(1);
    return page;
}

/// `page` with a few of its lines changed as the repairs change them.
QByteArray Repaired(QRandomGenerator& random, QByteArray page) {
    for (int edits = random.bounded(1, 8); edits > 0; --edits) {
        const qsizetype at = page.indexOf("<div>", random.bounded(page.size() + 1));
        if (at >= 0 && random.bounded(3)) {
            page.insert(at, "</p>");
        } else if (const qsizetype end = page.indexOf('\n', random.bounded(page.size() + 1));
                   end >= 0) {
            page.remove(end - (end > 0 && page[end - 1] == '\r'),
                        1 + (end > 0 && page[end - 1] == '\r'));
        }
    }
    return page;
}

TEST(UnifiedDiff, PatchAppliesItToEveryPage) {
    const QString patch = QStandardPaths::findExecutable(QStringLiteral("patch"));
    if (patch.isEmpty()) GTEST_SKIP() << "patch is not installed";
    test::ScopedWorkingDir dir;
    QRandomGenerator random(7);
    for (int round = 0; round < 60; ++round) {
        // Small pages, a large one whose long stretches are matched at the lines found
        // once on each side,
        // and one of the same lines over and over, whose changed stretch has no such line.
        const QByteArray before = round == 0   ? RandomPage(random, 3000)
                                  : round == 1 ? QByteArray("<p>same<div>\n").repeated(2000)
                                               : RandomPage(random, random.bounded(1, 40));
        const QByteArray after = Repaired(random, before);
        ASSERT_TRUE(test::PutFile(QStringLiteral("page.htm"), before));
        const QByteArray diff = UnifiedDiff(before, after, "page.htm");
        QProcess process;
        process.start(patch, {"-p1", "--quiet", "--force"});
        process.write(diff);
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << round << process.readAll().toStdString();
        EXPECT_EQ(test::FileBytes(QStringLiteral("page.htm")), after) << round;
    }
}

TEST(JobPool, ResultsAreTakenInOrderAndAnInterruptStartsNoMore) {
    std::vector<int> done(200, 0);
    {
        JobPool pool(4, 200, 8, [&](qsizetype i) { done[size_t(i)] = int(i) * 2; });
        for (qsizetype i = 0; i < 200; ++i) {
            ASSERT_TRUE(pool.take(i, 10ms));
            EXPECT_EQ(done[size_t(i)], i * 2);
        }
    }
    // Interrupted while the first job runs: it finishes, and nothing after it starts.
    std::atomic<bool> interrupted{false};
    std::atomic<int> started{0};
    JobPool pool(
        1, 50, 1,
        [&](qsizetype) {
            ++started;
            interrupted.store(true);
        },
        &interrupted);
    EXPECT_TRUE(pool.take(0, 10ms));
    EXPECT_FALSE(pool.take(1, 10ms));
    EXPECT_EQ(started.load(), 1);
}

}  // namespace
}  // namespace quillet
