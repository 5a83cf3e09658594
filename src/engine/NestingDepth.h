// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QStringView>

namespace quillet {

/// The deepest nesting of elements that Fix File by HTML5 rules reads. At every block tag
/// the parser looks through the elements still open, so its time per tag grows with the
/// depth: up to this depth a tag costs at most a few microseconds more than in a flat page,
/// and beyond some ten thousand levels the time grows faster than the square of the depth
/// (see bench/README.md). Pages written for browsers stay far below it; browsers
/// themselves stop nesting elements a few hundred levels down.
constexpr qsizetype kMostHtml5Depth = 5000;

/// An estimate, made from the start and end tags alone, of the most elements an HTML5
/// parser holds open at once while it reads `page` (bytes in an encoding that extends
/// ASCII, such as UTF-8). It follows the parser's rules for the tags that close elements
/// of their own accord (a block closes an open paragraph, a list item the one before, a
/// cell or row the one before, a link an open link), and knows the elements that hold
/// nothing (void elements) or only text (scripts, styles, titles). Where it cannot tell,
/// it counts low, so that an ordinary page is never taken for a deep one. Time and memory
/// grow linearly with the page.
qsizetype EstimateNestingDepth(QByteArrayView page);
/// The same for a 16-bit text.
qsizetype EstimateNestingDepth(QStringView page);

}  // namespace quillet
