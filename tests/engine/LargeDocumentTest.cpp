// SPDX-License-Identifier: GPL-3.0-or-later
// A 20-million-character page through each routine: they must finish (a routine that is
// quadratic anywhere would not, in any sensible time) and give the page's pieces' results.

#include "EngineFixture.h"

namespace quillet::test {
namespace {

// One self-contained stretch of an old page: every paragraph it opens is closed or
// broken within it, so the whole page's result is this stretch's result repeated.
const QString kStretch = QStringLiteral(
    "<P>Some  text with   spaces\r\nand a <b>bold</b> word,\r\nthen <i>more</i>.\r\n"
    "<H1>Head  line</H1>\r\n<p>x\r\ny</p> <!-- note -->\r\n");
constexpr qsizetype kPageSize = 20'000'000;

TEST(LargeDocumentTest, TwentyMillionCharactersGoThroughEachRoutine) {
    const qsizetype repeats = kPageSize / kStretch.size() + 1;
    const QString page = kStretch.repeated(repeats);
    MemoryWordLists lists({QStringLiteral("b"), QStringLiteral("i"), QStringLiteral("")}, {});
    SilentObserver observer;
    Functions engine(observer, lists);

    auto expect = [&](const RepairResult& stretch, const RepairResult& whole, const char* what) {
        ASSERT_TRUE(stretch.ok() && whole.ok()) << what;
        const QString stretchText = RepairedText(kStretch, stretch);
        const QString wholeText = RepairedText(page, whole);
        EXPECT_EQ(wholeText.size(), stretchText.size() * repeats) << what;
        EXPECT_TRUE(wholeText == stretchText.repeated(repeats)) << what;
    };

    const TextUnits stretch = TextUnits::Utf16(kStretch);
    const TextUnits whole = TextUnits::Utf16(page);
    const RepairResult fixedStretch = engine.FixText(stretch);
    ASSERT_EQ(fixedStretch.insertions.size(), 1);
    const RepairResult fixedPage = engine.FixText(whole);
    expect(fixedStretch, fixedPage, "FixText");
    EXPECT_EQ(fixedPage.insertions.size(), repeats);
    expect(engine.StripNewlines(stretch, LoneLineFeeds::Keep),
           engine.StripNewlines(whole, LoneLineFeeds::Keep), "StripNewlines");
    expect(engine.StripSpaces(stretch), engine.StripSpaces(whole), "StripSpaces");
}

}  // namespace
}  // namespace quillet::test
