// The paragraph repair pass, and how any routine ends when it cannot run to completion.

#include "DocumentGenerator.h"
#include "EngineFixture.h"

#include <functional>

namespace quillet::test {
namespace {

const QString kNotice = QStringLiteral("Last item on the page is an opening <");

TEST(FixTextTest, EmptyAndOneCharacterDocumentsComeBackUnchanged) {
    EngineFixture fixture;
    EXPECT_EQ(fixture.Fix(QString()), QString());
    EXPECT_EQ(fixture.Events(), Calls({"added 0", "events"}));
    EXPECT_EQ(fixture.lists.opens, 1);
    EXPECT_EQ(fixture.lists.closes, 1);
    EXPECT_EQ(fixture.engine.AddedCount, 0);

    // The loop never runs for one character, so even a lone "<" is not reported.
    for (const QString& text : {QStringLiteral("x"), QStringLiteral("<"), QStringLiteral(" ")}) {
        EXPECT_EQ(fixture.Fix(text), text);
        EXPECT_EQ(fixture.Events(), Calls({"added 0", "events"}));
    }
}

TEST(FixTextTest, InsertsBeforeEachTagThatEndsAnOpenParagraph) {
    EngineFixture fixture;
    EXPECT_EQ(fixture.Fix(QStringLiteral("<p>one<p>two</p>")),
              QStringLiteral("<p>one</p><p>two</p>"));
    EXPECT_EQ(fixture.engine.AddedCount, 1);
    EXPECT_EQ(fixture.Events(),
              Calls({"added 0", "events", "count 15", "events", "count 14", "events", "added 1",
                     "events", "count 8", "events", "count 2", "events"}));
    EXPECT_FALSE(fixture.engine.InParagraph);

    const struct {
        QString text, fixed;
    } cases[] = {
        // Paragraph tags in any case and with attributes open a paragraph; the inserted
        // tag is always the lower-case one.
        {QStringLiteral("<P ALIGN=center>Text<H1>Head</H1>"),
         QStringLiteral("<P ALIGN=center>Text</p><H1>Head</H1>")},
        {QStringLiteral("<p>a<P\n>b<p align=x>c"),
         QStringLiteral("<p>a</p><P\n>b</p><p align=x>c")},
        // A closed paragraph needs nothing, whatever follows.
        {QStringLiteral("<p>a</p><div>b</P><h1>"), QStringLiteral("<p>a</p><div>b</P><h1>")},
        // A less-than sign in running text is a tag with the empty name.
        {QStringLiteral("<p>1 < 2"), QStringLiteral("<p>1 </p>< 2")},
        {QStringLiteral("<p>x<!-- c -->y"), QStringLiteral("<p>x</p><!-- c -->y")},
        {QStringLiteral("<p>a<\u00e9>"), QStringLiteral("<p>a</p><\u00e9>")},
        // A paragraph still open at the end stays open; text before any "<p>" is left.
        {QStringLiteral("<div>a<h1>b<p>c\r\n"), QStringLiteral("<div>a<h1>b<p>c\r\n")},
        // A "<" second to last is a tag (here one with a one-letter name); the scan ends
        // after it without a notice.
        {QStringLiteral("<p>a<b"), QStringLiteral("<p>a</p><b")},
        {QStringLiteral("<p>a<<"), QStringLiteral("<p>a</p><<")},
        {QStringLiteral("<p>a</p><<"), QStringLiteral("<p>a</p><<")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixture.Fix(c.text), c.fixed) << Escaped(c.text);
        EXPECT_TRUE(fixture.Notices().isEmpty()) << Escaped(c.text);
        EXPECT_EQ(fixture.engine.AddedCount, (c.fixed.size() - c.text.size()) / 4);
    }
}

TEST(FixTextTest, WordListsDecideWhichOtherTagsEndAParagraph) {
    EngineFixture fixture({QStringLiteral("b"), QStringLiteral("br/"), QStringLiteral("")},
                          {QStringLiteral("/div"), QStringLiteral("/td")});
    const struct {
        QString text, fixed;
    } cases[] = {
        {QStringLiteral("<p>a <b>bold</b> c<br/>d</div>e"),
         QStringLiteral("<p>a <b>bold</b> c<br/>d</p></div>e")},
        {QStringLiteral("<p>a<B>b</B><!-- x --><!DOCTYPE>< c"),
         QStringLiteral("<p>a<B>b</B><!-- x --><!DOCTYPE>< c")},
        {QStringLiteral("<p>a<br>b"), QStringLiteral("<p>a</p><br>b")},
        {QStringLiteral("<p>a</span>b</TD>c"), QStringLiteral("<p>a</span>b</p></TD>c")},
        {QStringLiteral("<td><p>a</td><p>b<table>"),
         QStringLiteral("<td><p>a</p></td><p>b</p><table>")},
    };
    for (const auto& c : cases) EXPECT_EQ(fixture.Fix(c.text), c.fixed) << Escaped(c.text);
}

TEST(FixTextTest, LessThanAsTheLastCharacterIsReportedOnce) {
    EngineFixture fixture;
    EXPECT_EQ(fixture.Fix(QStringLiteral("<p>a<")), QStringLiteral("<p>a<"));
    EXPECT_EQ(fixture.Notices(), QStringList{kNotice});
    EXPECT_EQ(fixture.Events().last(), QStringLiteral("notice ") + kNotice);

    EXPECT_EQ(fixture.Fix(QStringLiteral("<p>a<h1>b<")), QStringLiteral("<p>a</p><h1>b<"));
    EXPECT_EQ(fixture.Notices(), QStringList{kNotice});

    for (const QString& text : {QStringLiteral("no tags at all"), QStringLiteral("a<<")}) {
        fixture.Fix(text);
        EXPECT_TRUE(fixture.Notices().isEmpty()) << Escaped(text);
    }
}

TEST(FixTextTest, ASecondRunOverItsOwnOutputInsertsNothing) {
    EngineFixture fixture({QStringLiteral("b")}, {QStringLiteral("/div")});
    const QString page = QStringLiteral(
        "<HTML><BODY>\r\n<P>One\r\n<p>Two <b>x</b><DIV>d</DIV><p>Three<!-- c -->\r\n"
        "<P align=center>Four</div><p>Five</P><h1>T</h1><p>Six<");
    const QString once = fixture.Fix(page);
    EXPECT_EQ(fixture.engine.AddedCount, 4);
    EXPECT_EQ(fixture.Fix(once), once);
    EXPECT_EQ(fixture.engine.AddedCount, 0);
}

TEST(EngineRunTest, ListsThatCannotBeOpenedLeaveEverythingAsItWas) {
    EngineFixture fixture;
    fixture.lists.failOpen = true;
    fixture.engine.AddedCount = 7;
    fixture.engine.InParagraph = true;
    const RepairResult result = fixture.engine.FixText(QStringLiteral("<p>a<div>b"));
    EXPECT_EQ(result.status, RepairResult::Status::ListsUnavailable);
    EXPECT_EQ(result.listsError.reason, QStringLiteral("lists unavailable"));
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_TRUE(fixture.Events().isEmpty());
    EXPECT_EQ(fixture.engine.AddedCount, 7);
    EXPECT_TRUE(fixture.engine.InParagraph);
    EXPECT_FALSE(fixture.engine.IsRunning());
}

TEST(EngineRunTest, ALookupFailingMidPassAbandonsThePass) {
    EngineFixture fixture;
    fixture.lists.failAfterLookups = 1;
    const RepairResult result = fixture.engine.FixText(QStringLiteral("<p>a<b>c<i>d<div>e"));
    EXPECT_EQ(result.status, RepairResult::Status::ListsUnavailable);
    EXPECT_EQ(result.listsError.reason, QStringLiteral("lookup failed"));
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_EQ(fixture.lists.closes, fixture.lists.opens);
    EXPECT_FALSE(fixture.engine.IsRunning());
    // The progress shown so far stays; nothing is reported after the failure.
    EXPECT_EQ(fixture.Events(), Calls({"added 0", "events", "count 17", "events", "count 16",
                                       "events", "added 1", "events", "count 12", "events"}));

    // The next pass runs normally.
    fixture.lists.failAfterLookups = -1;
    EXPECT_EQ(fixture.Fix(QStringLiteral("<p>a<b>c")), QStringLiteral("<p>a</p><b>c"));
}

/// Starts `nested` from inside the `at`-th processEvents of the outer run.
class ReentrantObserver final : public EngineObserver {
  public:
    RecordingObserver recorder;
    std::function<void()> nested;
    int at = 0;

    void showRemaining(qint64 remaining) override { recorder.showRemaining(remaining); }
    void showAdded(qint32 added) override { recorder.showAdded(added); }
    void clearAdded() override { recorder.clearAdded(); }
    void notice(const QString& text) override { recorder.notice(text); }
    bool processEvents() override {
        recorder.processEvents();
        if (--at == 0) nested();
        return true;
    }
};

TEST(EngineRunTest, ARoutineStartedDuringAnotherIsRefusedAsBusy) {
    using Routine = RepairResult (Functions::*)(QString);
    const Routine routines[] = {&Functions::FixText, &Functions::StripNewlines,
                                &Functions::StripSpaces};
    const QString page = QStringLiteral("<p>a\r\nb<div>c<p>d  e</p>f  g");
    for (const Routine outerRoutine : routines) {
        MemoryWordLists plainLists;
        SilentObserver plainObserver;
        Functions plain(plainObserver, plainLists);
        const RepairResult expected = (plain.*outerRoutine)(page);

        for (int at = 1; at <= 3; ++at) {
            MemoryWordLists lists;
            ReentrantObserver observer;
            Functions engine(observer, lists);
            int refused = 0;
            observer.at = at;
            observer.nested = [&] {
                const qint32 added = engine.AddedCount;
                const bool inParagraph = engine.InParagraph;
                const QStringList calls = observer.recorder.events;
                for (const Routine nestedRoutine : routines) {
                    const RepairResult nested = (engine.*nestedRoutine)(page);
                    EXPECT_TRUE(nested.text.isEmpty());
                    refused += nested.status == RepairResult::Status::Busy;
                }
                // The refused routines touch neither the state nor the progress display.
                EXPECT_EQ(engine.AddedCount, added);
                EXPECT_EQ(engine.InParagraph, inParagraph);
                EXPECT_EQ(observer.recorder.events, calls);
                EXPECT_TRUE(engine.IsRunning());
            };
            const RepairResult outer = (engine.*outerRoutine)(page);
            EXPECT_EQ(refused, 3) << "at " << at;
            EXPECT_EQ(outer.status, RepairResult::Status::Completed) << "at " << at;
            EXPECT_EQ(outer.text, expected.text) << "at " << at;
            EXPECT_EQ(engine.AddedCount, plain.AddedCount);
            EXPECT_EQ(engine.InParagraph, plain.InParagraph);
            EXPECT_EQ(lists.opens, plainLists.opens);
            EXPECT_FALSE(engine.IsRunning());
        }
    }
}

}  // namespace
}  // namespace quillet::test

namespace quillet::test {
namespace {

/// The insertion offsets describe exactly the text that the text output builds, with the
/// same reports on the way, stops and failures included.
TEST(FixTextTest, InsertionOutputMatchesTheTextOutput) {
    DocumentGenerator generator(20261206);
    for (int i = 0; i < 3000; ++i) {
        const QString text = generator.Document();
        const QStringList skip = generator.SkipList();
        const QStringList include = generator.IncludeList();
        const int stopAt = generator.Chance(10) ? generator.Below(40) : -1;

        EngineFixture asText(skip, include);
        asText.observer.stopAfterEvents = stopAt;
        const RepairResult whole = asText.engine.FixText(text);
        EngineFixture asOffsets(skip, include);
        asOffsets.observer.stopAfterEvents = stopAt;
        const RepairResult offsets = asOffsets.engine.FixText(text, FixOutput::Insertions);

        ASSERT_EQ(offsets.status, whole.status) << i;
        ASSERT_EQ(asOffsets.Events(), asText.Events()) << i;
        ASSERT_EQ(asOffsets.engine.AddedCount, asText.engine.AddedCount) << i;
        EXPECT_TRUE(offsets.text.isEmpty());
        if (!whole.ok()) {
            EXPECT_TRUE(offsets.insertions.isEmpty());
            continue;
        }
        ASSERT_EQ(offsets.insertions.size(), asText.engine.AddedCount) << i;
        QString rebuilt;
        qint64 from = 0;
        for (const qint64 at : offsets.insertions) {
            ASSERT_GE(at, from) << i;
            rebuilt += QStringView(text).sliced(from, at - from);
            rebuilt += QStringLiteral("</p>");
            from = at;
        }
        rebuilt += QStringView(text).sliced(from);
        ASSERT_EQ(rebuilt, whole.text) << i << ": " << Escaped(text);
    }
}

}  // namespace
}  // namespace quillet::test
