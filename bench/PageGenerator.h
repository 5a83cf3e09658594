// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>

namespace quillet::bench {

/// A deterministic old-style page of about `bytes` bytes: mostly unclosed <P> paragraphs
/// over several CRLF lines, headings, inline tags, tables, lists, comments, runs of
/// spaces and some Latin-1 letters, about one tag per 40 characters.
QByteArray GenerateOldPage(qint64 bytes, std::uint32_t seed = 1);

}  // namespace quillet::bench
