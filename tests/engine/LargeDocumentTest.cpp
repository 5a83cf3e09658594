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
        EXPECT_EQ(whole.text.size(), stretch.text.size() * repeats) << what;
        EXPECT_TRUE(whole.text == stretch.text.repeated(repeats)) << what;
    };

    const RepairResult fixedStretch = engine.FixText(kStretch);
    ASSERT_EQ(engine.AddedCount, 1);
    expect(fixedStretch, engine.FixText(page), "FixText");
    EXPECT_EQ(engine.AddedCount, repeats);
    expect(engine.StripNewlines(kStretch), engine.StripNewlines(page), "StripNewlines");
    expect(engine.StripSpaces(kStretch), engine.StripSpaces(page), "StripSpaces");
}

}  // namespace
}  // namespace quillet::test
