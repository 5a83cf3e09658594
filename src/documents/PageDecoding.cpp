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

bool IsAscii(QByteArrayView bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
}

}  // namespace

std::optional<DecodedPage> DecodePageAs(QByteArrayView bytes, const TextEncoding& encoding) {
    TextEncoding read = encoding.withByteOrderMark(false);
    const QByteArrayView mark = encoding.withByteOrderMark(true).byteOrderMark();
    if (!mark.isEmpty() && bytes.startsWith(mark)) read = read.withByteOrderMark(true);
    std::optional<QString> text = read.decode(bytes.sliced(read.byteOrderMark().size()));
    if (!text) return std::nullopt;
    return DecodedPage{std::move(*text), read};
}

DecodedPage DecodePage(QByteArrayView bytes) {
    // A byte-order mark is trusted alone: a page it does not fit is kept byte for byte.
    if (const std::optional<TextEncoding> marked = EncodingOfMark(bytes)) {
        if (std::optional<DecodedPage> page = DecodePageAs(bytes, *marked)) return *page;
    } else {
        if (const std::optional<TextEncoding> declared = DeclaredEncoding(bytes)) {
            if (std::optional<DecodedPage> page = DecodePageAs(bytes, *declared)) return *page;
        }
        if (!IsAscii(bytes)) {
            if (std::optional<DecodedPage> page = DecodePageAs(bytes, TextEncoding::Utf8())) {
                return *page;
            }
        }
    }
    return DecodedPage{DecodeCodePage(bytes), TextEncoding::Windows1252()};
}

}  // namespace quillet
