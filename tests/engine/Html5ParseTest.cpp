// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML5 parse apart from the engine: the helper program that runs the parser under
// limits, each failure of it reported with its reason, and its end when the parse is
// stopped.

#include "EngineFixture.h"
#include "engine/Html5Paragraphs.h"
#include "engine/NestingDepth.h"

#include <sys/stat.h>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <optional>

namespace quillet::test {
namespace {

QByteArray Repeated(const char* piece, int times) {
    return QByteArray(piece).repeated(times);
}

/// Limits small enough for the failures below; a test raises what it needs.
Html5Limits SmallLimits() {
    Html5Limits limits;
    limits.depth = kMostHtml5Depth;
    limits.cpu = std::chrono::seconds(30);
    limits.wall = std::chrono::seconds(120);
    return limits;
}

/// Parses `page` with `settings` and returns the parser's error, or "" when it parsed.
QString ParseError(const QByteArray& page, const Html5ParseSettings& settings) {
    Html5Parse parse(QByteArrayView(page), settings);
    EXPECT_TRUE(parse.wait(std::chrono::minutes(5)));
    QList<qint64> ends;
    QString error;
    return parse.takeResult(&ends, &error) ? QString() : error;
}

/// A helper of the test's making: a shell script with `body`, in a folder of its own, which
/// `$DIR` names in the script.
class FakeHelper {
  public:
    explicit FakeHelper(const QByteArray& body) {
        EXPECT_TRUE(PutFile(path(), "#!/bin/sh\nDIR='" + QFile::encodeName(dir_.path()) +
                                        "'\nulimit -c 0\n" + body + "\n"));
        ::chmod(QFile::encodeName(path()).constData(), 0700);
    }
    QString path() const { return dir_.filePath(QStringLiteral("helper")); }
    QString file(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
};

TEST(Html5ParseTest, EveryWayTheHelperFailsIsReportedWithItsReason) {
    const QByteArray deep = "<p>x" + Repeated("<div>", 60000) + "<p>y";
    const struct {
        const char* name;
        QByteArray script;  // empty: the real helper
        QByteArray page;
        Html5Limits limits;
        QString report;  // what the error says
    } cases[] = {
        {"stopped, it is ended when its time is up", "kill -STOP $$", "<p>",
         [] {
             Html5Limits limits = SmallLimits();
             limits.wall = std::chrono::milliseconds(200);
             return limits;
         }(),
         "the HTML5 parser took too long (no answer within 0.2 s)"},
        {"crashed", "kill -SEGV $$", "<p>", SmallLimits(),
         "the HTML5 parser failed on this page (it stopped on signal 11)"},
        {"an answer without its end", "echo 1", "<p><p>", SmallLimits(),
         "/helper gave an answer that cannot be read"},
        {"an offset beyond the page", "printf '9\\nend\\n'", "<p><p>", SmallLimits(),
         "/helper gave an answer that cannot be read"},
        {"an endless answer", "exec yes 1", "<p><p>", SmallLimits(),
         "/helper gave an answer that cannot be read"},
        {"exited", "exit 7", "<p>", SmallLimits(),
         "the HTML5 parser ended without a result (exit status 7)"},
        {"the real helper, out of processor time",
         {},
         deep,
         [] {
             Html5Limits limits = SmallLimits();
             limits.depth = 100000;
             limits.cpu = std::chrono::seconds(1);
             return limits;
         }(),
         "the HTML5 parser took too long (more than 1 s of processor time)"},
        // Refused before any helper runs: this one would fail otherwise.
        {"nested too deeply", "exit 1", "<p>x" + Repeated("<div>", 200000) + "<p>y\n",
         Html5Limits::ForPage(1000000),
         "the page is nested too deeply for the HTML5 rules (200,001 levels; the parser reads "
         "at most 5,000)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FakeHelper fake(c.script);
        const QString error =
            ParseError(c.page, {c.script.isEmpty() ? QString() : fake.path(), c.limits});
        EXPECT_TRUE(error.contains(c.report)) << Escaped(error);
    }

    // A missing helper is named.
    const QTemporaryDir empty;
    const QString missing = empty.filePath(QStringLiteral("quillet-html5-parse"));
    EXPECT_EQ(ParseError("<p>", {missing, SmallLimits()}),
              "the HTML5 parser helper " + missing + " is missing");
}

TEST(Html5ParseTest, TheHelperRunsOutOfMemoryWithinItsLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than any such limit";
#endif
    // Short tags with many attributes take the parser some 90 bytes for each byte.
    Html5Limits limits = SmallLimits();
    limits.memory = qint64(128) << 20;
    const QByteArray page =
        Repeated("<br a b c d e f g h i j k l m n o p q r s t u v w x y z>", 60000);
    EXPECT_EQ(ParseError(page, {QString(), limits}),
              "the HTML5 parser ran out of memory on this page (it may take 128 MB)");
    limits.memory = Html5Limits::ForPage(page.size()).memory;
    EXPECT_EQ(ParseError(page, {QString(), limits}), QString());
}

TEST(Html5ParseTest, StoppingKillsTheHelperAtOnce) {
    // The helper says who it is through a named pipe, then stops itself: only a kill ends it.
    const FakeHelper fake("echo $$ >\"$DIR/started\"; kill -STOP $$");
    const QString started = fake.file(QStringLiteral("started"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(started).constData(), 0600), 0);

    std::optional<Html5Parse> parse;
    parse.emplace(QStringLiteral("<p>a<div>"), Html5ParseSettings{fake.path(), SmallLimits()});
    QFile pipe(started);
    ASSERT_TRUE(pipe.open(QIODevice::ReadOnly));  // waits for the helper to open its end
    const pid_t helper = pid_t(pipe.readLine().trimmed().toLongLong());
    ASSERT_GT(helper, 0);
    EXPECT_FALSE(parse->wait(std::chrono::milliseconds(0)));
    parse.reset();
    // Killed and reaped: the process is gone.
    EXPECT_EQ(::kill(helper, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

}  // namespace
}  // namespace quillet::test
