// Finding, reading and classifying tags, outside a pass.

#include "EngineFixture.h"

namespace quillet::test {
namespace {

const QString kNotice = QStringLiteral("Last item on the page is an opening <");

TEST(TagScanTest, FindTagStartReturnsTheNextLessThanOrTheLength) {
    EngineFixture fixture;
    Functions& engine = fixture.engine;

    engine.SetSourceText(QStringLiteral("a<b>c<d"), nullptr);
    EXPECT_EQ(engine.FindTagStart(1), 2);
    EXPECT_EQ(engine.FindTagStart(2), 2);
    EXPECT_EQ(engine.FindTagStart(3), 6);
    EXPECT_EQ(engine.FindTagStart(6), 6);
    // Past the last "<", in a text that does not end in one: the length, silently.
    EXPECT_EQ(engine.FindTagStart(7), 7);
    EXPECT_EQ(engine.FindTagStart(100), 7);

    engine.SetSourceText(QStringLiteral("a<<"), nullptr);
    EXPECT_EQ(engine.FindTagStart(1), 2);  // the second-to-last "<" is a tag
    engine.SetSourceText(QString(), nullptr);
    EXPECT_EQ(engine.FindTagStart(1), 0);
    EXPECT_TRUE(fixture.Notices().isEmpty());

    // A "<" as the last character is reported each time the search reaches it.
    engine.SetSourceText(QStringLiteral("ab<"), nullptr);
    EXPECT_EQ(engine.FindTagStart(1), 3);
    EXPECT_EQ(fixture.Notices(), QStringList{kNotice});
    EXPECT_EQ(engine.FindTagStart(3), 3);
    engine.SetSourceText(QStringLiteral("<"), nullptr);
    EXPECT_EQ(engine.FindTagStart(1), 1);
    EXPECT_EQ(fixture.Notices(), QStringList({kNotice, kNotice, kNotice}));
}

TEST(TagScanTest, ReadTagNameTakesAsciiLettersDigitsAndSlashesInLowerCase) {
    EngineFixture fixture;
    const struct {
        QString text;
        qint64 pos;
        QString name;
    } cases[] = {
        {QStringLiteral("<p>"), 1, QStringLiteral("p")},
        {QStringLiteral("<P align=x>"), 1, QStringLiteral("p")},
        {QStringLiteral("<P\n>"), 1, QStringLiteral("p")},
        {QStringLiteral("</P >"), 1, QStringLiteral("/p")},
        {QStringLiteral("<pre>"), 1, QStringLiteral("pre")},
        {QStringLiteral("<br/>"), 1, QStringLiteral("br/")},
        {QStringLiteral("<br />"), 1, QStringLiteral("br")},
        {QStringLiteral("<a/b/c>"), 1, QStringLiteral("a/b/c")},
        {QStringLiteral("</ p>"), 1, QStringLiteral("/")},
        {QStringLiteral("<H1>"), 1, QStringLiteral("h1")},
        {QStringLiteral("</H1>"), 1, QStringLiteral("/h1")},
        {QStringLiteral("<3D>"), 1, QStringLiteral("3d")},
        {QStringLiteral("<!-- c -->"), 1, QString()},
        {QStringLiteral("<!DOCTYPE html>"), 1, QString()},
        {QStringLiteral("<?xml?>"), 1, QString()},
        {QStringLiteral("< b"), 1, QString()},
        {QStringLiteral("<\u00e9t>"), 1, QString()},
        {QStringLiteral("<\u0416x>"), 1, QString()},
        {QStringLiteral("<a\u00e9>"), 1, QStringLiteral("a")},
        {QStringLiteral("<a") + QChar(u'\0') + QStringLiteral("b>"), 1, QStringLiteral("a")},
        {QStringLiteral("<") + QString::fromUtf16(u"\U0001F600"), 1, QString()},
        {QStringLiteral("xy<Ab"), 3, QStringLiteral("ab")},  // ends with the text
        {QStringLiteral("x<b"), 2, QStringLiteral("b")},
        {QStringLiteral("x<"), 2, QString()},
        {QStringLiteral("<<b>"), 1, QString()},
        {QStringLiteral("<<b>"), 2, QStringLiteral("b")},
    };
    for (const auto& c : cases) {
        fixture.engine.SetSourceText(c.text, nullptr);
        EXPECT_EQ(fixture.engine.ReadTagName(c.pos), c.name) << Escaped(c.text);
    }
}

TEST(TagScanTest, ClassifyTagConsultsTheListTheFirstCharacterChooses) {
    // Each list holds names that would flip the outcome if looked up in the other one.
    EngineFixture fixture({QStringLiteral("pre"), QStringLiteral("h1"), QStringLiteral("br/"),
                           QStringLiteral("/div"), QStringLiteral("/b")},
                          {QStringLiteral("/div"), QStringLiteral("/h1"), QStringLiteral("/"),
                           QStringLiteral("h1"), QStringLiteral("")});
    StoreError error;
    std::unique_ptr<WordListLookup> lists = fixture.lists.openLists(&error);
    ASSERT_TRUE(lists);
    const struct {
        QString text;
        TagKind kind;
        int lookups;
    } cases[] = {
        {QStringLiteral("<p>"), TagParaOpen, 0},
        {QStringLiteral("<P>"), TagParaOpen, 0},
        {QStringLiteral("<p align=x>"), TagParaOpen, 0},
        {QStringLiteral("<P\n>"), TagParaOpen, 0},
        {QStringLiteral("</p>"), TagParaClose, 0},
        {QStringLiteral("</P>"), TagParaClose, 0},
        {QStringLiteral("</p >"), TagParaClose, 0},
        {QStringLiteral("<pre>"), TagOther, 1},
        {QStringLiteral("<param>"), TagBreak, 1},
        {QStringLiteral("<H1>"), TagOther, 1},
        {QStringLiteral("</H1>"), TagBreak, 1},
        {QStringLiteral("</div>"), TagBreak, 1},
        {QStringLiteral("</b>"), TagOther, 1},
        {QStringLiteral("</ p>"), TagBreak, 1},  // "/" is in the include list
        {QStringLiteral("<br/>"), TagOther, 1},
        {QStringLiteral("<br>"), TagBreak, 1},  // only "br/" is listed
        {QStringLiteral("<br />"), TagBreak, 1},
        {QStringLiteral("<!-- c -->"), TagBreak, 1},  // the empty name is only in the include list
        {QStringLiteral("< "), TagBreak, 1},
        {QStringLiteral("<\u00e9>"), TagBreak, 1},
        {QStringLiteral("x<h"), TagBreak, 1},
    };
    for (const auto& c : cases) {
        fixture.engine.SetSourceText(c.text, lists.get());
        fixture.lists.lookups = 0;
        const qint64 pos = c.text.indexOf(QLatin1Char('<')) + 1;
        EXPECT_EQ(fixture.engine.ClassifyTag(pos), c.kind) << Escaped(c.text);
        EXPECT_EQ(fixture.lists.lookups, c.lookups) << Escaped(c.text);
    }

    // A skip-listed empty name keeps comments and a lone "<" from ending a paragraph.
    fixture.lists.skip.insert(QStringLiteral(""));
    for (const QString& text :
         {QStringLiteral("<!-- c -->"), QStringLiteral("<!DOCTYPE>"), QStringLiteral("< ")}) {
        fixture.engine.SetSourceText(text, lists.get());
        EXPECT_EQ(fixture.engine.ClassifyTag(1), TagOther) << Escaped(text);
    }

    // The lists are asked for the lower-cased name, whoever asks.
    fixture.engine.SetSourceText(QStringLiteral("<b>"), lists.get());
    fixture.lists.skip.insert(QStringLiteral("pre"));
    fixture.lists.include.insert(QStringLiteral("/h1"));
    EXPECT_EQ(fixture.engine.InSkipList(QStringLiteral("PRE")), true);
    EXPECT_EQ(fixture.engine.InIncludeList(QStringLiteral("/H1")), true);
    EXPECT_EQ(fixture.engine.InIncludeList(QStringLiteral("/H2")), false);

    // Without lists, or when a lookup fails, only the paragraph tags can be classified.
    fixture.engine.SetSourceText(QStringLiteral("<b><P></P>"), nullptr);
    EXPECT_EQ(fixture.engine.ClassifyTag(1), std::nullopt);
    EXPECT_EQ(fixture.engine.ClassifyTag(4), TagParaOpen);
    EXPECT_EQ(fixture.engine.ClassifyTag(7), TagParaClose);
    fixture.lists.failAfterLookups = 0;
    fixture.engine.SetSourceText(QStringLiteral("<b>"), lists.get());
    EXPECT_EQ(fixture.engine.ClassifyTag(1), std::nullopt);
    EXPECT_EQ(fixture.engine.InSkipList(QStringLiteral("b")), std::nullopt);
    EXPECT_EQ(fixture.engine.InIncludeList(QStringLiteral("/b")), std::nullopt);
}

}  // namespace
}  // namespace quillet::test
