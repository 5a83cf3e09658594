// SPDX-License-Identifier: GPL-3.0-or-later
// The estimate of a page's depth that refuses pages too deep for the HTML5 parser: it
// follows the tags that close elements of their own accord, and takes no ordinary page
// for a deep one.

#include "TestSupport.h"
#include "engine/NestingDepth.h"

#include <gtest/gtest.h>
#include <QDirIterator>

namespace quillet::test {
namespace {

QByteArray Repeated(const char* piece, int times) {
    return QByteArray(piece).repeated(times);
}

TEST(NestingDepthTest, FollowsTheTagsThatCloseOthers) {
    const struct {
        const char* name;
        QByteArray page;
        qsizetype depth;
    } cases[] = {
        {"blocks, each closing the paragraph", "<p>x" + Repeated("<div>", 3000) + "<p>y", 3001},
        {"paragraphs never closed", Repeated("<P ALIGN=left>a\r\n", 1000), 1},
        {"list items and definitions",
         "<ul>" + Repeated("<li>a", 500) + "</ul><dl>" + Repeated("<dt>t<dd><p>d", 500), 3},
        {"nested lists", "<ul><li>a<ol><li>b<ul><li>c</ul></ol><li>d", 6},
        {"cells and rows", "<table>" + Repeated("<tr><td>a<td><font>b", 500) + "</table>", 4},
        {"a table in a cell, and one in a table", "<table><tr><td><table><tr><td>x</table>y", 6},
        {"a table in a row closes the table", Repeated("<table><tr>", 100), 2},
        {"tables in cells nest", Repeated("<table><tr><td>", 100), 300},
        {"formatting left open", Repeated("<b>", 50), 50},
        {"links, options, headings and ruby close their like",
         Repeated("<a href=x>a", 100) + "</a><select>" + Repeated("<option>o", 9) +
             "</select><h1>a<h2>b<ruby>" + Repeated("<rt>r", 9),
         3},
        {"void elements and elements of text only",
         "<br><img src=x><hr><input><script><div><div></script><title><p></title>"
         "<TEXTAREA></textarea ><div></TEXTAREA>",
         1},
        {"comments, declarations and CDATA",
         "<!DOCTYPE html><!-- <div> --><!--><?x <div>?>"
         "<![CDATA[<div>]]></ div>",
         0},
        {"quoted attributes holding \">\"", "<div title='>' class=\"<b>\"><span a=b>", 2},
        {"self-closing in SVG, not in HTML", "<svg><path/><g><circle/></g></svg><div/>", 2},
        {"end tags close what they name", "<div><span><b>x</div>" + Repeated("<div></div>", 9), 3},
        {"the rest of the page is text", "<plaintext><div><div>", 1},
        // "<résumé><règle><x-€></régle><p>": the end tag names none of them.
        {"names beyond ASCII, each its own",
         "<r\xC3\xA9sum\xC3\xA9><r\xC3\xA8gle><x-\xE2\x82\xAC></r\xC3\xA9gle><p>", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EstimateNestingDepth(c.page), c.depth);
        // The same read as 16-bit text.
        EXPECT_EQ(EstimateNestingDepth(QString::fromUtf8(c.page)), c.depth);
    }
}

}  // namespace
}  // namespace quillet::test
