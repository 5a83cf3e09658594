#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace quillet::bench {

/// Writes an HTML page in the style of the late 1990s, of `size` bytes or a little more,
/// the same for the same seed: paragraphs opened with <P> and never closed running over
/// several CRLF lines, headings, inline tags, tables, lists, comments, runs of spaces and
/// Windows-1252 letters, about one tag per 40 characters.
QByteArray GenerateOldPage(qsizetype size, quint32 seed = 1);

}  // namespace quillet::bench
