// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/TextEncoding.h"

#include "documents/CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quillet {

namespace {

constexpr QStringConverter::Flags kDecoderFlags = QStringConverter::Flag::ConvertInitialBom;

/// Characters a round trip or a search for a bad character takes at a time.
constexpr qsizetype kChunk = 16384;

bool IsSurrogate(char16_t c) {
    return (c & 0xF800) == 0xD800;
}

/// The position of the first surrogate that is not half of a pair, or -1.
qsizetype FindLoneSurrogate(QStringView text) {
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    // Most texts hold no surrogate at all: skip four characters at a time while none of
    // them is one (a lane of `w & kTop5 ^ kSurrogate` is 0 exactly for a surrogate).
    constexpr std::uint64_t kTop5 = 0xF800F800F800F800u;
    constexpr std::uint64_t kSurrogate = 0xD800D800D800D800u;
    constexpr std::uint64_t kOnes = 0x0001000100010001u;
    constexpr std::uint64_t kSigns = 0x8000800080008000u;
    qsizetype i = 0;
    while (i < n) {
        for (; i + 4 <= n; i += 4) {
            std::uint64_t w;
            std::memcpy(&w, p + i, sizeof w);
            const std::uint64_t x = (w & kTop5) ^ kSurrogate;
            if (((x - kOnes) & ~x & kSigns) != 0) break;
        }
        const qsizetype end = std::min(n, i + 4);
        for (; i < end; ++i) {
            if (!IsSurrogate(p[i])) continue;
            if (p[i] < 0xDC00 && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
                ++i;  // a pair, whose second half may start the next four
                continue;
            }
            return i;
        }
    }
    return -1;
}

/// The end of a slice of at most kChunk characters from `from`, never inside a pair.
qsizetype ChunkEnd(QStringView text, qsizetype from) {
    qsizetype end = std::min(text.size(), from + kChunk);
    if (end < text.size() && text[end - 1].isHighSurrogate()) --end;
    return end;
}

/// Whether the encoder turns `text` into exactly `bytes`, compared a slice at a time so
/// that the encoded page is never held whole.
bool EncodesTo(QStringEncoder& encoder, QStringView text, QByteArrayView bytes) {
    QByteArray buffer(encoder.requiredSpace(kChunk), Qt::Uninitialized);
    qsizetype offset = 0;
    for (qsizetype from = 0; from < text.size();) {
        const qsizetype end = ChunkEnd(text, from);
        const char* last = encoder.appendToBuffer(buffer.data(), text.sliced(from, end - from));
        const qsizetype length = last - buffer.constData();
        if (encoder.hasError() || length > bytes.size() - offset ||
            (length > 0 &&
             std::memcmp(buffer.constData(), bytes.data() + offset, size_t(length)) != 0)) {
            return false;
        }
        offset += length;
        from = end;
    }
    return offset == bytes.size();
}

/// Whether a decoder of `name` reads each ASCII byte as its character and each other byte
/// alone as one character: a single-byte code that extends ASCII.
bool ExtendsAscii(const QByteArray& name) {
    QByteArray ascii(128, Qt::Uninitialized);
    for (int b = 0; b < 128; ++b) ascii[b] = char(b);
    QStringDecoder decoder(name.constData(), kDecoderFlags);
    const QString decoded = decoder.decode(ascii);
    if (decoded != QString::fromLatin1(ascii) || decoder.hasError()) return false;
    for (int b = 128; b < 256; ++b) {
        // A lead byte of a longer character gives nothing yet.
        QStringDecoder single(name.constData(), kDecoderFlags);
        const QString decoded = single.decode(QByteArray(1, char(b)));
        if (decoded.size() != 1) return false;
    }
    return true;
}

}  // namespace

TextEncoding::TextEncoding(Kind kind, QByteArray qtName, bool mark, bool asciiTransparent)
    : kind_(kind),
      qtName_(std::move(qtName)),
      byteOrderMark_(mark),
      asciiTransparent_(asciiTransparent) {}

TextEncoding TextEncoding::Utf8(bool byteOrderMark) {
    return TextEncoding(Kind::Utf8, QByteArrayLiteral("UTF-8"), byteOrderMark, true);
}

TextEncoding TextEncoding::Utf16LE(bool byteOrderMark) {
    return TextEncoding(Kind::Utf16LE, QByteArrayLiteral("UTF-16LE"), byteOrderMark, false);
}

TextEncoding TextEncoding::Utf16BE(bool byteOrderMark) {
    return TextEncoding(Kind::Utf16BE, QByteArrayLiteral("UTF-16BE"), byteOrderMark, false);
}

std::optional<TextEncoding> TextEncoding::ForName(QStringView given) {
    const QString name = given.trimmed().toString().toLower();
    if (name.isEmpty() ||
        std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() > 0x7E; })) {
        return std::nullopt;
    }
    if (name == u"windows-1252" || name == u"cp1252" || name == u"x-cp1252") return Windows1252();
    if (name == u"utf-16" || name == u"utf16") return Utf16LE();
    const QByteArray latin1 = name.toLatin1();
    const QStringDecoder decoder(latin1.constData());
    if (!decoder.isValid() || !QStringEncoder(latin1.constData()).isValid()) return std::nullopt;
    // Qt names its own codecs; a codec that it reaches through ICU may have no name.
    const QByteArray qtName = decoder.name() ? QByteArray(decoder.name()) : latin1.toUpper();
    if (qtName == "UTF-8") return Utf8();
    if (qtName == "UTF-16LE") return Utf16LE();
    if (qtName == "UTF-16BE") return Utf16BE();
    if (qtName == "UTF-16") return Utf16LE();
    return TextEncoding(Kind::Other, qtName, false, ExtendsAscii(qtName));
}

QString TextEncoding::name() const {
    return kind_ == Kind::Windows1252 ? QStringLiteral("Windows-1252")
                                      : QString::fromLatin1(qtName_);
}

QString TextEncoding::description() const {
    return byteOrderMark_ ? name() + QStringLiteral(" with byte-order mark") : name();
}

TextEncoding TextEncoding::withByteOrderMark(bool mark) const {
    TextEncoding copy = *this;
    copy.byteOrderMark_ = mark && (kind_ == Kind::Utf8 || isUtf16());
    return copy;
}

QByteArrayView TextEncoding::byteOrderMark() const {
    if (!byteOrderMark_) return {};
    switch (kind_) {
        case Kind::Utf8:
            return QByteArrayView("\xEF\xBB\xBF", 3);
        case Kind::Utf16LE:
            return QByteArrayView("\xFF\xFE", 2);
        case Kind::Utf16BE:
            return QByteArrayView("\xFE\xFF", 2);
        case Kind::Windows1252:
        case Kind::Other:
            break;
    }
    return {};
}

std::optional<QString> TextEncoding::decode(QByteArrayView body) const {
    // The code page maps every byte to a character of its own and back.
    if (kind_ == Kind::Windows1252) return DecodeCodePage(body);
    // Valid UTF-8 is checked first, as it fails fast on the bytes of an 8-bit page.
    if (kind_ == Kind::Utf8 && !body.isValidUtf8()) return std::nullopt;
    if (isUtf16() && body.size() % 2 != 0) return std::nullopt;

    QStringDecoder decoder(qtName_.constData(), kDecoderFlags);
    QString text = decoder.decode(body);
    if (decoder.hasError()) return std::nullopt;
    // Valid UTF-8 (no overlong form, no surrogate, nothing beyond U+10FFFF, nothing cut
    // short) is one code point per sequence and back, a leading U+FEFF included: it needs no
    // second pass to prove it.
    if (kind_ == Kind::Utf8) return text;
    // The document view holds UTF-8, which has no room for half a surrogate pair.
    if (FindLoneSurrogate(text) >= 0) return std::nullopt;
    // UTF-16 of an even length is one character per two bytes and back.
    if (isUtf16()) return text;
    QStringEncoder encoder(qtName_.constData());
    if (!EncodesTo(encoder, text, body)) return std::nullopt;
    return text;
}

std::optional<QByteArray> TextEncoding::encode(QStringView text, qsizetype* badPosition) const {
    if (kind_ == Kind::Windows1252) return EncodeCodePage(text, badPosition);

    QStringEncoder encoder(qtName_.constData());
    const QByteArrayView mark = byteOrderMark();
    QByteArray bytes(mark.size() + encoder.requiredSpace(text.size()), Qt::Uninitialized);
    if (!mark.isEmpty()) std::memcpy(bytes.data(), mark.data(), size_t(mark.size()));
    const char* end = encoder.appendToBuffer(bytes.data() + mark.size(), text);
    // Qt's encoders pass some lone surrogates through; no encoding can hold them.
    if (encoder.hasError() || FindLoneSurrogate(text) >= 0) {
        bytes = QByteArray();
        // Find the first character that fails, a slice at a time and then one by one.
        qsizetype from = 0;
        for (qsizetype sliceEnd = 0; from < text.size(); from = sliceEnd) {
            sliceEnd = ChunkEnd(text, from);
            QStringEncoder slice(qtName_.constData(), QStringConverter::Flag::Stateless);
            const QStringView part = text.sliced(from, sliceEnd - from);
            const QByteArray ignored = slice.encode(part);
            if (slice.hasError() || FindLoneSurrogate(part) >= 0) break;
        }
        for (qsizetype i = from; i < text.size(); ++i) {
            const bool pair =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            const QStringView character = text.sliced(i, pair ? 2 : 1);
            QStringEncoder single(qtName_.constData(), QStringConverter::Flag::Stateless);
            const QByteArray ignored = single.encode(character);
            if (single.hasError() || (!pair && IsSurrogate(character[0].unicode()))) {
                if (badPosition) *badPosition = i;
                return std::nullopt;
            }
            if (pair) ++i;
        }
        if (badPosition) *badPosition = 0;
        return std::nullopt;
    }
    bytes.truncate(end - bytes.constData());
    bytes.squeeze();
    return bytes;
}

QString TextEncoding::describeUnencodable(QStringView text, qsizetype position) const {
    return kind_ == Kind::Windows1252 ? DescribeUnencodable(text, position)
                                      : DescribeUnencodable(text, position, name());
}

}  // namespace quillet
