// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/TextEncoding.h"
#include "documents/Utf8Check.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillet {

/// A page's text and the encoding it was read in, which it is written back in.
struct DecodedPage {
    QString text;
    TextEncoding encoding;
    /// False when the page was read with PageText::KeepBytes in an encoding whose bytes
    /// the caller reads itself: `text` is empty, and the bytes after the mark hold it.
    bool decoded = true;
    /// What the user should be told about the reading, each a clause to follow the page's
    /// name: a declared encoding that was not used and why ("declares ISO-8859-2 but is read
    /// as Windows-1252, since its bytes are not ISO-8859-2"), or the damage of a UTF-16
    /// page that is kept as it is ("damaged UTF-16LE: a stray last byte at byte 37, kept as
    /// it is"). Empty when the page was read as it says.
    QStringList notes;
};

/// Whether reading a page decodes it whatever its encoding, or leaves a page in UTF-8
/// (checked to be valid) or in Windows-1252 undecoded, for a caller that reads the bytes.
enum class PageText { Decode, KeepBytes };

/// Reads a page in the first of these that gives back exactly its bytes: the encoding of
/// its byte-order mark (UTF-8, UTF-16LE, UTF-16BE); else the encoding it declares, as
/// browsers take the declaration; else UTF-16 when its first 512 bytes look like it (nearly
/// all of their code units characters below U+0100 in one byte order, none of them 0);
/// else UTF-8 when its bytes are valid UTF-8 and not all ASCII; else, and whenever the
/// chosen one would lose or change a byte, Windows-1252, which keeps every byte.
///
/// A UTF-16 page (with a mark, or found without one) that is damaged is read all the same:
/// a last odd byte stays beside the text (the encoding's stray byte) and a surrogate that
/// is not half of a pair stays in it, and both are written back where they were.
///
/// `checked`, when given, is the check of all of `bytes` for UTF-8 made while reading them,
/// which spares a second pass over them.
DecodedPage DecodePage(QByteArrayView bytes, PageText mode = PageText::Decode,
                       const Utf8Check* checked = nullptr);

/// Reads a page in `encoding`; a Unicode encoding takes a byte-order mark of its own at the
/// start as the page's mark. Nothing when that would not give back exactly its bytes, a
/// damaged UTF-16 page included.
std::optional<DecodedPage> DecodePageAs(QByteArrayView bytes, const TextEncoding& encoding,
                                        PageText mode = PageText::Decode,
                                        const Utf8Check* checked = nullptr);

}  // namespace quillet
