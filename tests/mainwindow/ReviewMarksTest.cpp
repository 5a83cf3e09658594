// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of the review marks: carried through the strip commands, and the two
// ways of Fix File compared.
#include "mainwindow/ReviewMarks.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(ReviewMarks, MarksKeepWhatOfTheirTextIsKept) {
    const struct {
        const char* name;
        QList<TextSpan> marks;
        QList<TextSpan> kept;
        QList<TextSpan> carried;
    } cases[] = {
        {"all kept", {{2, 4}, {10, 4}}, {{0, 20}}, {{2, 4}, {10, 4}}},
        {"text taken out before a mark moves it", {{10, 4}}, {{0, 3}, {5, 15}}, {{8, 4}}},
        {"a mark whose text is all gone goes", {{3, 2}, {10, 4}}, {{0, 3}, {5, 15}}, {{8, 4}}},
        {"a mark whose middle is taken out closes up", {{2, 6}}, {{0, 4}, {6, 4}}, {{2, 4}}},
        {"a mark over two kept stretches is one", {{2, 6}}, {{0, 4}, {4, 6}}, {{2, 6}}},
        // As the view holds them: marks of a kind side by side are one stretch.
        {"two marks brought together", {{2, 2}, {6, 2}}, {{0, 4}, {6, 4}}, {{2, 4}}},
        {"two marks kept apart", {{2, 1}, {6, 2}}, {{0, 4}, {6, 4}}, {{2, 1}, {4, 2}}},
        {"a mark at the end", {{16, 4}}, {{1, 19}}, {{15, 4}}},
        {"nothing kept", {{2, 4}}, {}, {}},
        {"no marks", {}, {{0, 20}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KeepMarks(c.marks, c.kept), c.carried);
    }
}

TEST(ReviewMarks, TheTwoWaysAreComparedOnThePageBeforeTheMarkedParagraphEnds) {
    // Fix File by one way put in two "</p>"; one was typed over since.
    const QByteArray page = "<p>a</p><bb>b</bb><p>c</p><div>d</xp><table>e";
    const QList<TextSpan> marks = {{4, 4}, {22, 4}, {31, 5}};
    const QList<TextSpan> inserted = InsertedParagraphEnds(page, marks);
    EXPECT_EQ(inserted, (QList<TextSpan>{{4, 4}, {22, 4}}));
    const QByteArray before = PageBefore(page, inserted);
    EXPECT_EQ(before, QByteArray("<p>a<bb>b</bb><p>c<div>d</xp><table>e"));
    // Two marks of "</p>" side by side are two.
    EXPECT_EQ(InsertedParagraphEnds("x</p></p>", {{1, 8}}), (QList<TextSpan>{{1, 4}, {5, 4}}));

    // The other way agrees on the second (before <div>), would not put the first (before
    // <bb>), and would put one before <table>.
    const qint64 atBb = before.indexOf("<bb>");
    const qint64 atDiv = before.indexOf("<div>");
    const qint64 atTable = before.indexOf("<table>");
    const qint64 tableLength = qint64(sizeof("<table>") - 1);
    const Differences differences = CompareInsertions(page, inserted, {atDiv, atTable});
    EXPECT_EQ(differences.otherWouldNotAdd, (QList<TextSpan>{{4, 4}}));
    EXPECT_EQ(differences.otherWouldAdd, (QList<TextSpan>{{page.indexOf("<table>"), tableLength}}));
    EXPECT_EQ(differences.count(), 2);

    // With nothing marked, each of the other way's places is a difference: its tag, or the
    // start of a tag without its end.
    const Differences unmarked = CompareInsertions("<p>a<bb>b<table>e<div", {}, {4, 9, 17});
    EXPECT_EQ(unmarked.otherWouldAdd, (QList<TextSpan>{{4, 4}, {9, tableLength}, {17, 4}}));
    EXPECT_TRUE(unmarked.otherWouldNotAdd.isEmpty());
    Q_UNUSED(atBb);
    // Everything alike: no differences.
    EXPECT_EQ(CompareInsertions(page, inserted, {4, atDiv}).count(), 0);
}

}  // namespace
}  // namespace quillet
