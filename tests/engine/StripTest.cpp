// Newline and space stripping, and the line joining under them.

#include "EngineFixture.h"
#include "engine/Utilities.h"

namespace quillet::test {
namespace {

struct Case {
    QString text, expected;
};

TEST(JoinLinesTest, RemovesCarriageReturnsWithTheirLineFeedsAndTrimsSpaces) {
    const Case cases[] = {
        {QString(), QString()},
        {QStringLiteral("   "), QString()},
        {QStringLiteral("one\r\ntwo"), QStringLiteral("onetwo")},
        {QStringLiteral("a\rb\nc"), QStringLiteral("ab\nc")},
        {QStringLiteral("a\r\r\nb"), QStringLiteral("ab")},
        {QStringLiteral("a\n\rb"), QStringLiteral("a\nb")},
        {QStringLiteral("a\r\n\r\nb\r"), QStringLiteral("ab")},
        {QStringLiteral("\r\n"), QString()},
        {QStringLiteral("  a \r\n b  "), QStringLiteral("a  b")},
        {QStringLiteral("\ta\t"), QStringLiteral("\ta\t")},
        {QStringLiteral(" \r\n "), QString()},
        {QStringLiteral("\r "), QString()},
        {QStringLiteral("\n a \n"), QStringLiteral("\n a \n")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JoinLines(c.text), c.expected) << Escaped(c.text);
        QString out = QStringLiteral("<");
        AppendJoinedLines(out, c.text);
        EXPECT_EQ(out, QStringLiteral("<") + c.expected) << Escaped(c.text);
    }
    EXPECT_EQ(TrimSpaces(u"  a b  ").toString(), QStringLiteral("a b"));
    EXPECT_EQ(TrimSpaces(u"\t a \t").toString(), QStringLiteral("\t a \t"));
    EXPECT_EQ(TrimSpaces(u"    ").toString(), QString());
}

TEST(StripNewlinesTest, JoinsTheLinesOfExactParagraphsOnly) {
    EngineFixture fixture;
    const Case cases[] = {
        {QStringLiteral("<p>one\r\ntwo</p>"), QStringLiteral("<p>onetwo</p>")},
        {QStringLiteral("<p>a\rb\nc\r\r\nd</p>"), QStringLiteral("<p>ab\ncd</p>")},
        {QStringLiteral("<p> a \r\n b </p>"), QStringLiteral("<p> a  b </p>")},
        // Breaks outside paragraphs stay.
        {QStringLiteral("x\r\n<p>a\r\nb</p>\r\n<p>c\rd</p>\r\ny"),
         QStringLiteral("x\r\n<p>ab</p>\r\n<p>cd</p>\r\ny")},
        // An unclosed paragraph keeps its breaks.
        {QStringLiteral("<p>a\r\nb</p><p>c\r\nd"), QStringLiteral("<p>ab</p><p>c\r\nd")},
        // Only the exact lower-case forms are marks.
        {QStringLiteral("<P>a\r\nb</P>"), QStringLiteral("<P>a\r\nb</P>")},
        {QStringLiteral("<p align=x>a\r\nb</p>"), QStringLiteral("<p align=x>a\r\nb</p>")},
        {QStringLiteral("<p >a\r\nb</p >c"), QStringLiteral("<p >a\r\nb</p >c")},
        // A second "<p>" or an upper-case close inside a paragraph does not end it.
        {QStringLiteral("<p>a\r\n<p>b\r\nc</p>d\r\n"), QStringLiteral("<p>a<p>bc</p>d\r\n")},
        {QStringLiteral("<p>a\r\nb</P>c\r\nd</p>e\r\n"), QStringLiteral("<p>ab</P>cd</p>e\r\n")},
        {QStringLiteral("<p></p><p>\r\n</p>"), QStringLiteral("<p></p><p></p>")},
        {QStringLiteral("<p>x\r\n"), QStringLiteral("<p>x\r\n")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fixture.StripNewlines(c.text), c.expected) << Escaped(c.text);
        EXPECT_EQ(fixture.StripNewlines(c.expected), c.expected) << "twice: " << Escaped(c.text);
    }

    fixture.engine.AddedCount = 3;
    EXPECT_EQ(fixture.StripNewlines(QStringLiteral("<p>a\r\nb")), QStringLiteral("<p>a\r\nb"));
    EXPECT_TRUE(fixture.engine.InParagraph);  // the last cut opened a paragraph
    EXPECT_EQ(fixture.engine.AddedCount, 3);
    EXPECT_EQ(fixture.Events(), Calls({"clear", "count 7", "events", "count 6", "events"}));

    EXPECT_EQ(fixture.StripNewlines(QString()), QString());
    EXPECT_EQ(fixture.Events(), Calls({"clear", "count 0", "events"}));
    EXPECT_FALSE(fixture.engine.InParagraph);
}

TEST(StripNewlinesTest, JoiningLoneLineFeedsFollowsTheSameParagraphRules) {
    EngineFixture fixture;
    const struct {
        QString text, joined;
    } cases[] = {
        {QStringLiteral("<p>one\ntwo</p>"), QStringLiteral("<p>onetwo</p>")},
        {QStringLiteral("<p>a\nb\r\nc\rd\n\re</p>"), QStringLiteral("<p>abcde</p>")},
        {QStringLiteral("<p> a \n b </p>"), QStringLiteral("<p> a  b </p>")},
        // Breaks outside exact paragraphs, and in an unclosed one, stay.
        {QStringLiteral("x\n<p>a\nb</p>\n<P>c\nd</P>\n<p>e\nf"),
         QStringLiteral("x\n<p>ab</p>\n<P>c\nd</P>\n<p>e\nf")},
        {QStringLiteral("<p>\n</p><p>\t\n\t</p>"), QStringLiteral("<p></p><p>\t\t</p>")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixture.StripNewlines(c.text, LoneLineFeeds::Join), c.joined) << Escaped(c.text);
        EXPECT_EQ(fixture.StripNewlines(c.joined, LoneLineFeeds::Join), c.joined)
            << "twice: " << Escaped(c.text);
    }
    // Without the option a lone line feed stays, as before.
    EXPECT_EQ(fixture.StripNewlines(QStringLiteral("<p>a\nb\r\nc</p>")),
              QStringLiteral("<p>a\nbc</p>"));
}

TEST(StripNewlinesTest, HandlesParagraphsAndGapsOfAnyLength) {
    QString gap;
    while (gap.size() < 100'000) gap += QStringLiteral("gap line\r\n");
    QString paragraph, joined;
    for (int line = 0; paragraph.size() < 100'000; ++line) {
        const QString text = QStringLiteral("line %1 of a long paragraph, with text.").arg(line);
        paragraph += text + (line % 7 == 3 ? QStringLiteral("\r") : QStringLiteral("\r\n"));
        joined += text;
    }
    const QString document =
        gap + QStringLiteral("<p>") + paragraph + QStringLiteral("</p>\r\nend");

    EngineFixture fixture;
    EXPECT_EQ(fixture.StripNewlines(document),
              gap + QStringLiteral("<p>") + joined + QStringLiteral("</p>\r\nend"));
    const qint64 firstCut = gap.size() + 1;
    const qint64 secondCut = paragraph.size() + 3;
    EXPECT_EQ(fixture.Events(),
              QStringList({QStringLiteral("clear"), QStringLiteral("count %1").arg(document.size()),
                           QStringLiteral("events"),
                           QStringLiteral("count %1").arg(document.size() - firstCut),
                           QStringLiteral("events"),
                           QStringLiteral("count %1").arg(document.size() - firstCut - secondCut),
                           QStringLiteral("events")}));
}

TEST(StripSpacesTest, ShortensRunsOfSpacesAndTrimsTheEnds) {
    EngineFixture fixture;
    const Case cases[] = {
        {QStringLiteral("two   words"), QStringLiteral("two words")},
        {QStringLiteral("   a b   "), QStringLiteral("a b")},
        {QStringLiteral("line  \r\nnext"), QStringLiteral("line \r\nnext")},
        {QStringLiteral("a \t b"), QStringLiteral("a \t b")},
        {QStringLiteral("a\t\tb\r\n\r\nc"), QStringLiteral("a\t\tb\r\n\r\nc")},
        {QStringLiteral("<p  align=x   class=\"a  b\">"),
         QStringLiteral("<p align=x class=\"a b\">")},
        {QStringLiteral("\t  a  \t"), QStringLiteral("\t a \t")},
        {QStringLiteral("     "), QString()},
        {QString(), QString()},
        {QStringLiteral("a  b c  d"), QStringLiteral("a b c d")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fixture.StripSpaces(c.text), c.expected) << Escaped(c.text);
        EXPECT_EQ(fixture.StripSpaces(c.expected), c.expected) << "twice: " << Escaped(c.text);
    }

    // The count falls only when a run is shortened; AddedCount and InParagraph are not
    // this routine's business.
    fixture.engine.AddedCount = 2;
    fixture.engine.InParagraph = true;
    EXPECT_EQ(fixture.StripSpaces(QStringLiteral(" a  b c ")), QStringLiteral("a b c"));
    EXPECT_EQ(fixture.Events(),
              Calls({"clear", "count 6", "events", "count 3", "events", "count 3", "events"}));
    EXPECT_EQ(fixture.engine.AddedCount, 2);
    EXPECT_TRUE(fixture.engine.InParagraph);
}

}  // namespace
}  // namespace quillet::test
