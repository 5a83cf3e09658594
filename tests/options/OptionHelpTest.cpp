// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/OptionHelp.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

const OptionHelp kTable[] = {
    {'r', "recursive", nullptr, "Pages", "Walk each PAGE that is a folder; see -o.", nullptr},
    {'o', "output", "OUT", "Results", "Write to OUT (\"-\": standard output).",
     ".fix files and quillet-html5-parse are left alone; \\ is kept. --nosuch is no option."},
    {0, "backup", "[=SUFFIX]", "Results", "Keep PAGE.orig (or PAGE and SUFFIX).", nullptr},
};

TEST(OptionHelp, HelpHeadsEachOptionAndWrapsItsText) {
    EXPECT_EQ(kTable[2].takes(), OptionHelp::Takes::OptionalValue);
    EXPECT_EQ(kTable[2].valueName(), u"SUFFIX");
    EXPECT_EQ(HelpLines(kTable, QStringLiteral("Results"), 20, 50),
              QStringLiteral("  -o, --output OUT  Write to OUT (\"-\": standard\n"
                             "                    output).\n"
                             "  --backup[=SUFFIX]\n"  // too long to stand beside it
                             "                    Keep PAGE.orig (or PAGE and\n"
                             "                    SUFFIX).\n"));
}

TEST(OptionHelp, TheManualSetsOptionsAndValuesApartAndEscapesTheRest) {
    EXPECT_EQ(ManualEntries(kTable, QStringLiteral("Results"), {QStringLiteral("PAGE")}),
              QStringLiteral(".TP\n\\fB\\-o\\fR, \\fB\\-\\-output\\fR \\fIOUT\\fR\n"
                             "Write to \\fIOUT\\fR (\"\\-\": standard output). .fix files and "
                             "quillet\\-html5\\-parse are left alone; \\e is kept. \\-\\-nosuch "
                             "is no option.\n"
                             ".TP\n\\fB\\-\\-backup\\fR[=\\fISUFFIX\\fR]\n"
                             "Keep \\fIPAGE\\fR.orig (or \\fIPAGE\\fR and \\fISUFFIX\\fR).\n"));
    // A line that starts with a period would be a request to roff.
    const OptionHelp dot[] = {{0, "dot", nullptr, "Dots", ".fix files are kept.", nullptr}};
    EXPECT_EQ(ManualEntries(dot, QStringLiteral("Dots"), {}),
              QStringLiteral(".TP\n\\fB\\-\\-dot\\fR\n\\&.fix files are kept.\n"));
}

TEST(OptionHelp, APageMustPlaceEveryGroupOfOptions) {
    const struct {
        const char* name;
        const char* page;
        const char* problem;  // empty: filled in
    } cases[] = {
        {"both groups placed", ".SH A\n@OPTIONS Pages@\n.SH B\n@OPTIONS Results@\n", ""},
        {"a group left out", ".SH A\n@OPTIONS Pages@\n",
         "the page has no place for the group \"Results\" (--output)"},
        {"a group of no option", "@OPTIONS Pages@\n@OPTIONS Results@\n@OPTIONS How@\n",
         "no option is in the group \"How\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString problem;
        const std::optional<QString> page =
            FillManualOptions(QString::fromUtf8(c.page), kTable, {}, &problem);
        EXPECT_EQ(problem, QString::fromUtf8(c.problem));
        EXPECT_EQ(page.has_value(), !*c.problem);
        if (page) {
            EXPECT_TRUE(page->startsWith(u".SH A\n.TP\n\\fB\\-r\\fR, \\fB\\-\\-recursive\\fR\n"));
            EXPECT_TRUE(page->contains(u"\n.SH B\n.TP\n\\fB\\-o\\fR"));
            EXPECT_FALSE(page->contains(u"@OPTIONS"));
        }
    }
}

}  // namespace
}  // namespace quillet
