// SPDX-License-Identifier: GPL-3.0-or-later
// The word-list repair pass, and how any routine ends when it cannot run to completion.

#include "EngineFixture.h"

#include <functional>

namespace quillet::test {
namespace {

const QString kNotice = QStringLiteral("Last item on the page is an opening <");

TEST(FixTextTest, InsertsBeforeEachTagThatEndsAnOpenParagraph) {
    // Each list holds names that would flip an outcome if looked up in the other list.
    EngineFixture fixture({"b", "pre", "h1", "br/", "/b", "/div", "a/b"},
                          {"/div", "/h1", "/td", "/", "h1", "", "/a/b"});
    const struct {
        const char* name;
        const char16_t* text;
        const char16_t* fixed;
    } cases[] = {
        {"an empty page", u"", u""},
        {"a lone <", u"<", u"<"},  // one character: nothing is scanned, nothing reported
        {"a <p> inside an open paragraph", u"<p>one<p>two</p>", u"<p>one</p><p>two</p>"},
        // Paragraph tags in any case and with attributes; the inserted tag is lower case.
        {"paragraph tags in any case, with attributes", u"<P ALIGN=center>a<p\n>b<P>c</P><param>",
         u"<P ALIGN=center>a</p><p\n>b</p><P>c</P><param>"},
        // The name is the ASCII letters, digits and "/" after "<", lower-cased; an opening
        // tag ends the paragraph unless the skip list holds it.
        {"skipped names: letters, digits and /", u"<p>a<b>b<B>c<PRE>d<H1>e<br/>f<a/b>g</p>",
         u"<p>a<b>b<B>c<PRE>d<H1>e<br/>f<a/b>g</p>"},
        {"<br> ends it", u"<p>a<br>b", u"<p>a</p><br>b"},
        {"<br /> ends it", u"<p>a<br />b", u"<p>a</p><br />b"},
        {"a name is read whole", u"<p>a<pre2>b<p>c<prex>", u"<p>a</p><pre2>b<p>c</p><prex>"},
        {"the empty name before a space", u"<p>1 < 2",
         u"<p>1 </p>< 2"},  // the empty name is not skipped here
        {"a comment's empty name", u"<p>a<!-- c -->", u"<p>a</p><!-- c -->"},
        {"a non-ASCII character ends the name", u"<p>a<\u00e9>b<p>c<b\u00e9>",
         u"<p>a</p><\u00e9>b<p>c<b\u00e9>"},
        // A closing tag ends it only when the include list holds the name.
        {"a closing tag in the include list", u"<p>a</b>b</H1>c", u"<p>a</b>b</p></H1>c"},
        {"closing tags in any case, and the empty name", u"<p>a</DIV>b<p>c</span>d</ td>",
         u"<p>a</p></DIV>b<p>c</span>d</p></ td>"},
        {"closing names with / or a digit", u"<p>a</a/b>b<p>c</td2>", u"<p>a</p></a/b>b<p>c</td2>"},
        // A closed paragraph needs nothing; text before any "<p>" and an open end stay.
        {"a closed paragraph", u"<p>a</p><div>b</P><h2>", u"<p>a</p><div>b</P><h2>"},
        {"no <p>, and an open one at the end", u"<div>a<h2>b<p>c\r\n", u"<div>a<h2>b<p>c\r\n"},
        // A "<" second to last is a tag; as the last character it is only reported.
        {"a < second to last", u"<p>a<x", u"<p>a</p><x"},
        {"two < at the end", u"<p>a<<", u"<p>a</p><<"},
        {"a < as the last character", u"<p>a<", u"<p>a<"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = QString::fromUtf16(c.text);
        const QString fixed = QString::fromUtf16(c.fixed);
        EXPECT_EQ(fixture.Fix(text), fixed);
        EXPECT_EQ(fixture.Added(), (fixed.size() - text.size()) / 4);
        EXPECT_EQ(fixture.observer.notices,
                  text.size() > 1 && text.endsWith(u'<') && !text.endsWith(u"<<")
                      ? QStringList{kNotice}
                      : QStringList());
    }
    EXPECT_EQ(fixture.lists.opens, fixture.lists.closes);

    // The observer sees every step: the count of characters left after each "<" and each
    // "</p>" added.
    fixture.Fix(QStringLiteral("<p>one<p>two</p>"));
    EXPECT_EQ(fixture.Events(),
              QStringList({"added 0", "events", "count 15", "events", "count 14", "events",
                           "added 1", "events", "count 8", "events", "count 2", "events"}));
}

TEST(FixTextTest, NoTagIsReadInAComment_ATaglessElementOrALessThanSign) {
    // The empty name is not skipped here, so a "<" that is looked at as one shows.
    EngineFixture fixture({"b", "5mg", "script", "style", "title", "textarea", "xmp", "iframe",
                           "noembed", "noframes", "noscript", "plaintext", "script/"},
                          {"/div", "/title"});
    const struct {
        const char* name;
        const char16_t* text;
        const char16_t* fixed;
    } cases[] = {
        {"a digit after < reads the empty name", u"<p>Dose <5mg daily.<p>Next",
         u"<p>Dose </p><5mg daily.<p>Next"},
        {"a comment's < is looked at, nothing inside it", u"<p>a<!-- <p>b<div> --> c<div>",
         u"<p>a</p><!-- <p>b<div> --> c<div>"},
        {"an unclosed comment runs to the end", u"<p>a<b><!-- <div>x<", u"<p>a<b></p><!-- <div>x<"},
        {"<!--> and <!---> are whole comments", u"<p>a<b><!-->x<!--->y<div>",
         u"<p>a<b></p><!-->x<!--->y<div>"},
        {"<!- opens no comment", u"<p>a<b><!- <div> -->", u"<p>a<b></p><!- <div> -->"},
        {"a script's text holds no tags", u"<p>Count:<script>for(i=0;i<n;i++){x()}</script>",
         u"<p>Count:<script>for(i=0;i<n;i++){x()}</script>"},
        {"its end tag in any case, then no letter or digit, is read as usual",
         u"<p>a<SCRIPT type=x><div></scripts><div></ScRiPt\n><div>",
         u"<p>a<SCRIPT type=x><div></scripts><div></ScRiPt\n></p><div>"},
        {"an end tag at the end of the page", u"<p>a<title><p></title",
         u"<p>a<title><p></p></title"},
        {"the text of every such element",
         u"<p>1<style><div></style>"
         u"<p>2<textarea><div></textarea><p>3<xmp><div></xmp><p>4<iframe><div></iframe>"
         u"<p>5<noembed><div></noembed><p>6<noframes><div></noframes><p>7<noscript><div>"
         u"</noscript>x",
         u"<p>1<style><div></style></p><p>2<textarea><div></textarea></p><p>3<xmp><div></xmp>"
         u"</p><p>4<iframe><div></iframe></p><p>5<noembed><div></noembed></p><p>6<noframes>"
         u"<div></noframes></p><p>7<noscript><div></noscript>x"},
        {"without its end tag, the rest of the page", u"<p>a<textarea><div><p></p>",
         u"<p>a<textarea><div><p></p>"},
        {"plaintext holds the rest of the page", u"<p>a<plaintext></plaintext><div>",
         u"<p>a<plaintext></plaintext><div>"},
        {"a name with more after it opens nothing", u"<p>a<script/><div><p>b<scripts><div>",
         u"<p>a<script/></p><div><p>b</p><scripts><div>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(fixture.Fix(text), QString::fromUtf16(c.fixed));
        EXPECT_TRUE(fixture.observer.notices.isEmpty());
    }
}

TEST(FixTextTest, ListsThatFailEndThePassWithNothingInserted) {
    EngineFixture fixture;
    fixture.lists.failOpen = true;
    const QString page = QStringLiteral("<p>a<div>b");
    RepairResult result = fixture.engine.FixText(TextUnits::Utf16(page));
    EXPECT_EQ(result.status, RepairResult::Status::ListsUnavailable);
    EXPECT_EQ(result.listsError.reason, QStringLiteral("lists unavailable"));
    EXPECT_TRUE(result.insertions.isEmpty());
    EXPECT_TRUE(fixture.Events().isEmpty());

    // A lookup failing midway abandons the pass and closes the lists.
    fixture.lists.failOpen = false;
    fixture.lists.failAfterLookups = 1;
    const QString later = QStringLiteral("<p>a<b>c<i>d<div>e");
    result = fixture.engine.FixText(TextUnits::Utf16(later));
    EXPECT_EQ(result.status, RepairResult::Status::ListsUnavailable);
    EXPECT_EQ(result.listsError.reason, QStringLiteral("lookup failed"));
    EXPECT_TRUE(result.insertions.isEmpty());
    EXPECT_EQ(fixture.lists.closes, fixture.lists.opens);
    EXPECT_FALSE(fixture.engine.IsRunning());
    fixture.lists.failAfterLookups = -1;
    EXPECT_EQ(fixture.Fix(QStringLiteral("<p>a<b>c")), QStringLiteral("<p>a</p><b>c"));
}

/// Starts `nested` from inside the `at`-th processEvents of the outer run.
class ReentrantObserver final : public EngineObserver {
  public:
    std::function<void()> nested;
    int at = 0;
    void showRemaining(qint64) override {}
    void showAdded(qint32) override {}
    void clearAdded() override {}
    void notice(const QString&) override {}
    bool processEvents() override {
        if (--at == 0) nested();
        return true;
    }
};

TEST(FixTextTest, ARoutineStartedDuringAnotherIsRefusedAsBusy) {
    using Routine = RepairResult (*)(Functions&, const TextUnits&);
    const Routine routines[] = {
        [](Functions& engine, const TextUnits& text) { return engine.FixText(text); },
        [](Functions& engine, const TextUnits& text) {
            return engine.StripNewlines(text, LoneLineFeeds::Keep);
        },
        [](Functions& engine, const TextUnits& text) { return engine.StripSpaces(text); },
        [](Functions& engine, const TextUnits& text) { return engine.FixTextHtml5(text); },
    };
    const QString page = QStringLiteral("<p>a\r\nb<div>c<p>d  e</p>f  g");
    const TextUnits units = TextUnits::Utf16(page);
    for (const Routine outer : routines) {
        EngineFixture plain, busy;
        const RepairResult expected = outer(plain.engine, units);
        ASSERT_TRUE(expected.ok()) << Escaped(expected.error);
        ReentrantObserver observer;
        Functions engine(observer, busy.lists);
        observer.at = 2;
        observer.nested = [&] {
            for (const Routine nested : routines) {
                const RepairResult refused = nested(engine, units);
                EXPECT_EQ(refused.status, RepairResult::Status::Busy);
                EXPECT_TRUE(refused.insertions.isEmpty() && refused.kept.isEmpty());
            }
            EXPECT_TRUE(engine.IsRunning());
        };
        const RepairResult result = outer(engine, units);
        EXPECT_EQ(RepairedText(page, result), RepairedText(page, expected));
        EXPECT_EQ(busy.lists.opens, plain.lists.opens);
        EXPECT_FALSE(engine.IsRunning());
    }
}

}  // namespace
}  // namespace quillet::test
