// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/PageDecoding.h"

#include "documents/CodePage.h"
#include "documents/HtmlPrescan.h"

#include <algorithm>

namespace quillet {

namespace {

/// The encoding of the byte-order mark the page starts with.
std::optional<TextEncoding> EncodingOfMark(QByteArrayView bytes) {
    for (const TextEncoding& marked :
         {TextEncoding::Utf8(true), TextEncoding::Utf16LE(true), TextEncoding::Utf16BE(true)}) {
        if (bytes.startsWith(marked.byteOrderMark())) return marked;
    }
    return std::nullopt;
}

/// UTF-16 without a mark, by the page's first character: a "<" or white space in one
/// byte order is a NUL byte beside it, which no 8-bit page starts with.
std::optional<TextEncoding> EncodingOfFirstCharacter(QByteArrayView bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0) return std::nullopt;
    const auto opensPage = [](char c) {
        return c == '<' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    if (opensPage(bytes[0]) && bytes[1] == '\0') return TextEncoding::Utf16LE();
    if (bytes[0] == '\0' && opensPage(bytes[1])) return TextEncoding::Utf16BE();
    return std::nullopt;
}

bool IsAscii(QByteArrayView bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
}

}  // namespace

std::optional<DecodedPage> DecodePageAs(QByteArrayView bytes, const TextEncoding& encoding,
                                        PageText mode) {
    TextEncoding read = encoding.withByteOrderMark(false);
    const QByteArrayView mark = encoding.withByteOrderMark(true).byteOrderMark();
    if (!mark.isEmpty() && bytes.startsWith(mark)) read = read.withByteOrderMark(true);
    const QByteArrayView body = bytes.sliced(read.byteOrderMark().size());
    // Valid UTF-8 and the code page need no text to prove that they read back.
    if (mode == PageText::KeepBytes && read.kind() == TextEncoding::Kind::Windows1252) {
        return DecodedPage{QString(), read, false};
    }
    if (mode == PageText::KeepBytes && read.kind() == TextEncoding::Kind::Utf8) {
        if (!body.isValidUtf8()) return std::nullopt;
        return DecodedPage{QString(), read, false};
    }
    std::optional<QString> text = read.decode(body);
    if (!text) return std::nullopt;
    return DecodedPage{std::move(*text), read};
}

DecodedPage DecodePage(QByteArrayView bytes, PageText mode) {
    const auto as = [&](const TextEncoding& encoding) {
        return DecodePageAs(bytes, encoding, mode);
    };
    // A byte-order mark is trusted alone: a page it does not fit is kept byte for byte.
    if (const std::optional<TextEncoding> marked = EncodingOfMark(bytes)) {
        if (std::optional<DecodedPage> page = as(*marked)) return *page;
    } else {
        if (const std::optional<TextEncoding> declared = DeclaredEncoding(bytes)) {
            if (std::optional<DecodedPage> page = as(*declared)) return *page;
        }
        if (const std::optional<TextEncoding> utf16 = EncodingOfFirstCharacter(bytes)) {
            if (std::optional<DecodedPage> page = as(*utf16)) return *page;
        }
        if (!IsAscii(bytes)) {
            if (std::optional<DecodedPage> page = as(TextEncoding::Utf8())) return *page;
        }
    }
    return *as(TextEncoding::Windows1252());
}

}  // namespace quillet
