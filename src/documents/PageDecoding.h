// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/TextEncoding.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace quillet {

/// A page's text and the encoding it was read in, which it is written back in.
struct DecodedPage {
    QString text;
    TextEncoding encoding;
    /// False when the page was read with PageText::KeepBytes in an encoding whose bytes
    /// the caller reads itself: `text` is empty, and the bytes after the mark hold it.
    bool decoded = true;
};

/// Whether reading a page decodes it whatever its encoding, or leaves a page in UTF-8
/// (checked to be valid) or in Windows-1252 undecoded, for a caller that reads the bytes.
enum class PageText { Decode, KeepBytes };

/// Reads a page in the first of these that gives back exactly its bytes: the encoding of
/// its byte-order mark (UTF-8, UTF-16LE, UTF-16BE); else the encoding it declares; else
/// UTF-16 when its first character is "<" or white space in UTF-16; else UTF-8 when its
/// bytes are valid UTF-8 and not all ASCII; else, and whenever the chosen one would lose or
/// change a byte, Windows-1252, which keeps every byte.
DecodedPage DecodePage(QByteArrayView bytes, PageText mode = PageText::Decode);

/// Reads a page in `encoding`; a Unicode encoding takes a byte-order mark of its own at the
/// start as the page's mark. Nothing when that would not give back exactly its bytes.
std::optional<DecodedPage> DecodePageAs(QByteArrayView bytes, const TextEncoding& encoding,
                                        PageText mode = PageText::Decode);

}  // namespace quillet
