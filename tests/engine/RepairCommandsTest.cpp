// SPDX-License-Identifier: GPL-3.0-or-later
// The table of repair commands that the window and the batch tool share.
#include "TestSupport.h"
#include "engine/RepairCommands.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(RepairCommands, EachCountsWhatItAddsOrRemovesInEveryWidth) {
    const struct {
        const char* name;
        const char* command;
        RepairSettings settings;
        const char* text;
        qint64 count;
        const char* said;  // countText(count, false)
    } cases[] = {
        {"fix", "fix", {}, "<p>a<div><p>b<p>c", 2, "2 </p> added"},
        {"a CR LF is one line break",
         "strip-newlines",
         {},
         "<p>a\r\nb\nc\rd</p>\r\n",
         2,
         "2 line breaks removed"},
        {"lone line feeds joined",
         "strip-newlines",
         {.lineFeeds = LoneLineFeeds::Join},
         "<p>a\r\nb\nc\rd</p>\r\n",
         3,
         "3 line breaks removed"},
        {"spaces", "strip-spaces", {}, "  <p>a   b </p>  ", 6, "6 spaces removed"},
        {"nothing to do", "strip-spaces", {}, "<p>a b</p>", 0, "0 spaces removed"},
    };
    test::MemoryWordLists lists({}, {"/div"});
    test::RecordingObserver observer;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RepairCommand* command = FindRepairCommand(QString::fromLatin1(c.command));
        ASSERT_TRUE(command);
        EXPECT_EQ(&GetRepairCommand(command->id), command);
        const QString text = QString::fromLatin1(c.text);
        const QByteArray bytes(c.text);
        for (const TextUnits& units : {TextUnits::Utf16(text), TextUnits::Utf8(bytes)}) {
            Functions engine(observer, lists);
            const RepairResult result = command->run(engine, units, nullptr, c.settings);
            ASSERT_TRUE(result.ok());
            EXPECT_EQ(command->count(units, result), c.count);
            EXPECT_EQ(RepairChanges(units, result), c.count > 0);
        }
        EXPECT_EQ(command->countText(c.count, false), QString::fromLatin1(c.said));
    }
    EXPECT_EQ(GetRepairCommand(RepairId::Fix).countText(3, true), u"3 </p> would be added");
    EXPECT_FALSE(FindRepairCommand(u"mend"));
    EXPECT_TRUE(GetRepairCommand(RepairId::Fix).needsWordLists({}));
    EXPECT_FALSE(GetRepairCommand(RepairId::Fix).needsWordLists({.html5 = true}));
    EXPECT_FALSE(GetRepairCommand(RepairId::StripSpaces).needsWordLists({}));
}

}  // namespace
}  // namespace quillet
