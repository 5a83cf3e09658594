// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <memory_resource>
#include <vector>

namespace quillet {

/// Parses `input` (UTF-8) with the HTML5 parser and returns, ascending, the byte offsets
/// of the tags before which a "</p>" closes the paragraph that the parser closes there
/// of its own accord, because of that start or end tag. Where the parser is known to
/// build another tree than the HTML standard, it finds nothing, rather than something
/// that would change the page. The parser takes its memory from `memory` and never
/// gives it back; so does this.
std::pmr::vector<qsizetype> FindParagraphEnds(QByteArrayView input,
                                              std::pmr::memory_resource& memory);

}  // namespace quillet
