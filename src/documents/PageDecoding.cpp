// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/PageDecoding.h"

#include "documents/CodePage.h"
#include "documents/HtmlPrescan.h"
#include "documents/Utf8Check.h"

#include <algorithm>

namespace quillet {

namespace {

/// The bytes whose code units show UTF-16 without a mark.
constexpr qsizetype kUtf16Window = 512;

/// The encoding of the byte-order mark the page starts with.
std::optional<TextEncoding> EncodingOfMark(QByteArrayView bytes) {
    for (const TextEncoding& marked :
         {TextEncoding::Utf8(true), TextEncoding::Utf16LE(true), TextEncoding::Utf16BE(true)}) {
        if (bytes.startsWith(marked.byteOrderMark())) return marked;
    }
    return std::nullopt;
}

/// UTF-16 without a mark, when at least nine in ten of the code units in the page's first
/// bytes are characters below U+0100 in one byte order (a NUL byte beside another), and
/// none is 0. A page of single bytes has NUL bytes rarely, and hardly ever every other
/// byte; one unit alone is no evidence.
std::optional<TextEncoding> EncodingOfUnmarkedUtf16(QByteArrayView bytes) {
    const qsizetype units = std::min(bytes.size(), kUtf16Window) / 2;
    if (units < 2) return std::nullopt;
    qsizetype little = 0;
    qsizetype big = 0;
    for (qsizetype i = 0; i < units; ++i) {
        const char first = bytes[2 * i];
        const char second = bytes[2 * i + 1];
        if (first == '\0' && second == '\0') return std::nullopt;
        if (second == '\0') ++little;
        if (first == '\0') ++big;
    }
    if (10 * little >= 9 * units) return TextEncoding::Utf16LE();
    if (10 * big >= 9 * units) return TextEncoding::Utf16BE();
    return std::nullopt;
}

/// Reads a UTF-16 page whatever its damage: a last odd byte becomes the encoding's stray
/// byte, and a surrogate that is not half of a pair stays in the text; each is noted with
/// its place (bytes counted from 1).
DecodedPage DecodeUtf16KeepingDamage(QByteArrayView bytes, const TextEncoding& utf16) {
    const qsizetype markSize = utf16.byteOrderMark().size();
    const QByteArrayView body = bytes.sliced(markSize);
    DecodedPage page{utf16.decodeUnits(body), utf16, true, {}};
    const QString damaged = QStringLiteral("damaged %1: ").arg(utf16.name());
    qsizetype lone = FindLoneSurrogate(page.text);
    if (lone >= 0) {
        const qsizetype first = lone;
        qsizetype count = 0;
        for (; lone >= 0; lone = FindLoneSurrogate(page.text, lone + 1)) ++count;
        const QString where = QStringLiteral("(U+%1) at byte %2")
                                  .arg(QString::number(page.text[first].unicode(), 16).toUpper())
                                  .arg(markSize + 2 * first + 1);
        const QString what =
            count == 1 ? QStringLiteral("an unpaired surrogate %1, kept as it is").arg(where)
                       : QStringLiteral("%1 unpaired surrogates, the first %2, kept as they are")
                             .arg(count)
                             .arg(where);
        page.notes.append(damaged + what);
    }
    if (body.size() % 2 != 0) {
        page.encoding = utf16.withStrayByte(body.back());
        page.notes.append(
            damaged +
            QStringLiteral("a stray last byte at byte %1, kept as it is").arg(bytes.size()));
    }
    return page;
}

/// Why a page was not read in the encoding it declares, when it was read as `read`.
QString DeclarationNote(const Declaration& declared, const QString& read, bool marked) {
    if (marked) {
        return QStringLiteral("declares %1 but is read as %2, by its byte-order mark")
            .arg(declared.declared, read);
    }
    QStringList reasons;
    if (declared.meant != declared.declared) {
        reasons.append(QStringLiteral("browsers read a declared %1 as %2")
                           .arg(declared.declared, declared.meant));
    }
    if (read != declared.meant) {
        reasons.append(declared.encoding
                           ? QStringLiteral("its bytes are not %1").arg(declared.meant)
                           : QStringLiteral("%1 is not available here").arg(declared.meant));
    }
    return QStringLiteral("declares %1 but is read as %2, since %3")
        .arg(declared.declared, read, reasons.join(QStringLiteral(" and ")));
}

}  // namespace

std::optional<DecodedPage> DecodePageAs(QByteArrayView bytes, const TextEncoding& encoding,
                                        PageText mode, const Utf8Check* checked) {
    TextEncoding read = encoding.withByteOrderMark(false).withStrayByte(std::nullopt);
    const QByteArrayView mark = encoding.withByteOrderMark(true).byteOrderMark();
    if (!mark.isEmpty() && bytes.startsWith(mark)) read = read.withByteOrderMark(true);
    const QByteArrayView body = bytes.sliced(read.byteOrderMark().size());
    // Valid UTF-8 and the code page need no text to prove that they read back.
    if (mode == PageText::KeepBytes && read.kind() == TextEncoding::Kind::Windows1252) {
        return DecodedPage{QString(), read, false, {}};
    }
    if (mode == PageText::KeepBytes && read.kind() == TextEncoding::Kind::Utf8) {
        // A byte-order mark is a whole character: the bytes after it are UTF-8 when all are.
        if (!(checked ? checked->valid() : IsValidUtf8(body))) return std::nullopt;
        return DecodedPage{QString(), read, false, {}};
    }
    std::optional<QString> text = read.decode(body);
    if (!text) return std::nullopt;
    return DecodedPage{std::move(*text), read, true, {}};
}

DecodedPage DecodePage(QByteArrayView bytes, PageText mode, const Utf8Check* checked) {
    const auto as = [&](const TextEncoding& encoding) {
        return DecodePageAs(bytes, encoding, mode, checked);
    };
    const std::optional<Declaration> declared = DeclaredEncoding(bytes);
    std::optional<DecodedPage> page;
    QStringList notes;
    const std::optional<TextEncoding> marked = EncodingOfMark(bytes);
    if (marked && marked->isUtf16()) {
        page = DecodeUtf16KeepingDamage(bytes, *marked);
    } else if (marked) {
        // A byte-order mark is trusted alone: a page it does not fit is kept byte for byte.
        page = as(*marked);
        if (!page) {
            notes.append(QStringLiteral("starts with a %1 byte-order mark but its bytes are "
                                        "not %1, so it is read as Windows-1252")
                             .arg(marked->name()));
        }
    } else {
        if (declared && declared->encoding) page = as(*declared->encoding);
        if (!page) {
            if (const std::optional<TextEncoding> utf16 = EncodingOfUnmarkedUtf16(bytes)) {
                page = DecodeUtf16KeepingDamage(bytes, *utf16);
            }
        }
        if (!page && !(checked ? checked->ascii() : IsAscii(bytes))) {
            page = as(TextEncoding::Utf8());
        }
    }
    if (!page) page = as(TextEncoding::Windows1252());
    const QString read = page->encoding.name();
    if (declared && read != declared->declared && (!marked || notes.isEmpty())) {
        notes.prepend(DeclarationNote(*declared, read, marked.has_value()));
    }
    page->notes = notes + page->notes;
    return std::move(*page);
}

}  // namespace quillet
