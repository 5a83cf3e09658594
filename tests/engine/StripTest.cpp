// SPDX-License-Identifier: GPL-3.0-or-later
// Newline and space stripping.

#include "EngineFixture.h"

namespace quillet::test {
namespace {

TEST(StripNewlinesTest, JoinsTheLinesOfExactParagraphsOnly) {
    EngineFixture fixture;
    const struct {
        const char* name;
        const char* text;
        const char* joined;     // lines ended by a carriage return joined
        const char* joinedAll;  // lone line feeds too (nullptr: the same)
    } cases[] = {
        {"a CR LF", "<p>one\r\ntwo</p>", "<p>onetwo</p>", nullptr},
        {"every kind of line end", "<p>a\rb\nc\r\r\nd\n\re</p>", "<p>ab\ncd\ne</p>",
         "<p>abcde</p>"},
        {"spaces around a break", "<p> a \r\n b </p>", "<p> a  b </p>", nullptr},
        // Breaks outside exact paragraphs, and in an unclosed one, stay.
        {"outside exact paragraphs and in an unclosed one",
         "x\r\n<p>a\nb</p>\r\n<P>c\r\nd</P>\n<p>e\r\nf",
         "x\r\n<p>a\nb</p>\r\n<P>c\r\nd</P>\n<p>e\r\nf",
         "x\r\n<p>ab</p>\r\n<P>c\r\nd</P>\n<p>e\r\nf"},
        {"a <p> with attributes", "<p align=x>a\r\nb</p>", "<p align=x>a\r\nb</p>", nullptr},
        // A second "<p>" or an upper-case close inside a paragraph does not end it.
        {"a second <p> inside", "<p>a\r\n<p>b\r\nc</p>d\r\n", "<p>a<p>bc</p>d\r\n", nullptr},
        {"an upper-case close inside", "<p>a\r\nb</P>c\r\nd</p>e\r\n", "<p>ab</P>cd</p>e\r\n",
         nullptr},
        {"a tab stays", "<p></p><p>\t\r\n\t</p>", "<p></p><p>\t\t</p>", nullptr},
        {"an empty page", "", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = QString::fromLatin1(c.text);
        for (const LoneLineFeeds lineFeeds : {LoneLineFeeds::Keep, LoneLineFeeds::Join}) {
            const QString expected = QString::fromLatin1(
                lineFeeds == LoneLineFeeds::Join && c.joinedAll ? c.joinedAll : c.joined);
            EXPECT_EQ(fixture.StripNewlines(text, lineFeeds), expected);
            EXPECT_EQ(fixture.StripNewlines(expected, lineFeeds), expected) << "twice";
        }
    }

    EXPECT_EQ(fixture.StripNewlines(QStringLiteral("<p>a\r\nb")), QStringLiteral("<p>a\r\nb"));
    EXPECT_EQ(fixture.Events(), QStringList({"clear", "count 7", "events", "count 6", "events"}));
}

TEST(StripNewlinesTest, KeepsTheLinesOfCommentsAndScriptsAndFindsNoMarkInThem) {
    EngineFixture fixture;
    const struct {
        const char* name;
        const char* text;
        const char* joined;
    } cases[] = {
        {"a comment inside a paragraph", "<p>a\r\n<!-- x\r\n</p> -->\r\nb</p>\r\n",
         "<p>a<!-- x\r\n</p> -->b</p>\r\n"},
        {"a script inside a paragraph", "<p>a\r\n<script>\r\nif(a<p>b)\r\n</p></SCRIPT>\r\nc</p>",
         "<p>a<script>\r\nif(a<p>b)\r\n</p></SCRIPT>c</p>"},
        {"no paragraph opens in a script or comment",
         "<script>\r\n<p>\r\n</script><!--<p>\r\n-->\r\n<p>a\r\nb</p>",
         "<script>\r\n<p>\r\n</script><!--<p>\r\n-->\r\n<p>ab</p>"},
        {"an unclosed one keeps the rest", "<p>a\r\n<style>\r\n</p>", "<p>a\r\n<style>\r\n</p>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(fixture.StripNewlines(QString::fromLatin1(c.text), LoneLineFeeds::Join),
                  QString::fromLatin1(c.joined));
    }
    // Strip Spaces exempts nothing.
    EXPECT_EQ(fixture.StripSpaces(QStringLiteral("<script>a   b</script><!--  -->")),
              QStringLiteral("<script>a b</script><!-- -->"));
}

TEST(StripNewlinesTest, HandlesParagraphsAndGapsOfAnyLength) {
    QString gap, paragraph, joined;
    while (gap.size() < 100'000) gap += QStringLiteral("gap line\r\n");
    for (int line = 0; paragraph.size() < 100'000; ++line) {
        const QString text = QStringLiteral("line %1 of a long paragraph.").arg(line);
        paragraph += text + (line % 7 == 3 ? QStringLiteral("\r") : QStringLiteral("\r\n"));
        joined += text;
    }
    const QString document = gap + "<p>" + paragraph + "</p>\r\nend";
    EngineFixture fixture;
    EXPECT_EQ(fixture.StripNewlines(document), gap + "<p>" + joined + "</p>\r\nend");
    const qint64 afterFirstCut = document.size() - gap.size() - 1;
    EXPECT_EQ(fixture.Events().at(3), QStringLiteral("count %1").arg(afterFirstCut));
    EXPECT_EQ(fixture.Events().at(5),
              QStringLiteral("count %1").arg(afterFirstCut - paragraph.size() - 3));
}

TEST(StripSpacesTest, ShortensRunsOfSpacesAndTrimsTheEnds) {
    EngineFixture fixture;
    const struct {
        const char* name;
        const char* text;
        const char* stripped;
    } cases[] = {
        {"a run inside a line", "two   words", "two words"},
        {"both ends trimmed", "   a b   ", "a b"},
        {"before a line break", "line  \r\nnext", "line \r\nnext"},
        {"tabs and line breaks stay", "a \t b\t\tc\r\n\r\nd", "a \t b\t\tc\r\n\r\nd"},
        {"inside a tag", "<p  align=x   class=\"a  b\">", "<p align=x class=\"a b\">"},
        {"between tabs", "\t  a  \t", "\t a \t"},
        {"spaces only", "     ", ""},
        {"several runs", "a  b c  d", "a b c d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString stripped = QString::fromLatin1(c.stripped);
        EXPECT_EQ(fixture.StripSpaces(QString::fromLatin1(c.text)), stripped);
        EXPECT_EQ(fixture.StripSpaces(stripped), stripped) << "twice";
    }

    // The count falls only when a run is shortened.
    EXPECT_EQ(fixture.StripSpaces(QStringLiteral(" a  b c ")), QStringLiteral("a b c"));
    EXPECT_EQ(fixture.Events(), QStringList({"clear", "count 6", "events", "count 3", "events",
                                             "count 3", "events"}));
}

}  // namespace
}  // namespace quillet::test
