// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/TextEncoding.h"

#include "documents/CodePage.h"
#include "documents/Lanes16.h"
#include "documents/Utf8Check.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>
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

/// The characters of the bytes 0x80-0xFF in ISO-8859-16 (Latin-10), which Qt's converters
/// may lack: the C1 controls, then Latin-1 with the letters of South-Eastern Europe.
// clang-format off
constexpr char16_t kIso8859_16[128] = {
    0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087,
    0x0088, 0x0089, 0x008A, 0x008B, 0x008C, 0x008D, 0x008E, 0x008F,
    0x0090, 0x0091, 0x0092, 0x0093, 0x0094, 0x0095, 0x0096, 0x0097,
    0x0098, 0x0099, 0x009A, 0x009B, 0x009C, 0x009D, 0x009E, 0x009F,
    0x00A0, 0x0104, 0x0105, 0x0141, 0x20AC, 0x201E, 0x0160, 0x00A7,
    0x0161, 0x00A9, 0x0218, 0x00AB, 0x0179, 0x00AD, 0x017A, 0x017B,
    0x00B0, 0x00B1, 0x010C, 0x0142, 0x017D, 0x201D, 0x00B6, 0x00B7,
    0x017E, 0x010D, 0x0219, 0x00BB, 0x0152, 0x0153, 0x0178, 0x017C,
    0x00C0, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0106, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x0110, 0x0143, 0x00D2, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x015A,
    0x0170, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0118, 0x021A, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x0107, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x0111, 0x0144, 0x00F2, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x015B,
    0x0171, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0119, 0x021B, 0x00FF,
};
// clang-format on

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

qsizetype FindLoneSurrogate(QStringView text, qsizetype from) {
    const char16_t* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    // Most texts hold no surrogate at all: skip four characters at a time while none of
    // them is one (a lane of `w & kTop5 ^ kSurrogate` is 0 exactly for a surrogate).
    constexpr std::uint64_t kTop5 = 0xF800F800F800F800u;
    constexpr std::uint64_t kSurrogate = 0xD800D800D800D800u;
    qsizetype i = std::max<qsizetype>(from, 0);
    // A low half just after `from` belongs to the pair before it.
    if (i > 0 && i < n && QChar::isLowSurrogate(p[i]) && QChar::isHighSurrogate(p[i - 1])) ++i;
    while (i < n) {
        for (; i + 4 <= n; i += 4) {
            std::uint64_t w;
            std::memcpy(&w, p + i, sizeof w);
            if (AnyZeroLane16((w & kTop5) ^ kSurrogate)) break;
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

QByteArray ToGeneralizedUtf8(QStringView text) {
    qsizetype lone = FindLoneSurrogate(text);
    if (lone < 0) return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(text.size() + text.size() / 2);
    qsizetype from = 0;
    while (lone >= 0) {
        bytes.append(text.sliced(from, lone - from).toUtf8());
        const char16_t unit = text[lone].unicode();
        bytes.append(char(0xE0 | (unit >> 12)));
        bytes.append(char(0x80 | ((unit >> 6) & 0x3F)));
        bytes.append(char(0x80 | (unit & 0x3F)));
        from = lone + 1;
        lone = FindLoneSurrogate(text, from);
    }
    bytes.append(text.sliced(from).toUtf8());
    return bytes;
}

std::optional<QString> FromGeneralizedUtf8(QByteArrayView bytes, qsizetype* badOffset) {
    // A U+FEFF at the start is a character of the text, not a mark to drop.
    QStringDecoder decoder(QStringConverter::Utf8, kDecoderFlags);
    // Nearly every text is plain UTF-8, which Qt converts at once.
    if (IsValidUtf8(bytes)) return QString(decoder.decode(bytes));
    QString text;
    text.reserve(bytes.size());
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype from = 0;  // the start of the valid UTF-8 not yet converted
    const auto flush = [&](qsizetype to) {
        text.append(decoder.decode(bytes.sliced(from, to - from)));
    };
    for (qsizetype i = 0; i < n;) {
        if (in[i] < 0x80) {
            ++i;
            continue;
        }
        // A surrogate's three bytes: ED A0..BF 80..BF.
        if (in[i] == 0xED && i + 2 < n && (in[i + 1] & 0xE0) == 0xA0 &&
            (in[i + 2] & 0xC0) == 0x80) {
            flush(i);
            text.append(QChar(char16_t(0xD000 | (in[i + 1] & 0x3F) << 6 | (in[i + 2] & 0x3F))));
            i += 3;
            from = i;
            continue;
        }
        // Any other character beyond ASCII, or a byte that is none.
        const qsizetype length = in[i] >= 0xF0 ? 4 : in[i] >= 0xE0 ? 3 : 2;
        if (i + length > n || !bytes.sliced(i, length).isValidUtf8()) {
            if (badOffset) *badOffset = i;
            return std::nullopt;
        }
        i += length;
    }
    flush(n);
    return text;
}

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
    if (!decoder.isValid() || !QStringEncoder(latin1.constData()).isValid()) {
        if (name != u"iso-8859-16") return std::nullopt;
        TextEncoding table(Kind::Other, QByteArray(), false, true);
        table.name_ = QStringLiteral("ISO-8859-16");
        table.highHalf_ = kIso8859_16;
        return table;
    }
    // Qt names its own codecs; a codec that it reaches through ICU may have no name.
    const QByteArray qtName = decoder.name() ? QByteArray(decoder.name()) : latin1.toUpper();
    if (qtName == "UTF-8") return Utf8();
    if (qtName == "UTF-16LE") return Utf16LE();
    if (qtName == "UTF-16BE") return Utf16BE();
    if (qtName == "UTF-16") return Utf16LE();
    return TextEncoding(Kind::Other, qtName, false, ExtendsAscii(qtName));
}

QString TextEncoding::name() const {
    if (!name_.isEmpty()) return name_;
    return kind_ == Kind::Windows1252 ? QStringLiteral("Windows-1252")
                                      : QString::fromLatin1(qtName_);
}

TextEncoding TextEncoding::withName(const QString& name) const {
    TextEncoding copy = *this;
    copy.name_ = name;
    return copy;
}

QString TextEncoding::description() const {
    return byteOrderMark_ ? name() + QStringLiteral(" with byte-order mark") : name();
}

TextEncoding TextEncoding::withByteOrderMark(bool mark) const {
    TextEncoding copy = *this;
    copy.byteOrderMark_ = mark && (kind_ == Kind::Utf8 || isUtf16());
    return copy;
}

TextEncoding TextEncoding::withStrayByte(std::optional<char> byte) const {
    TextEncoding copy = *this;
    copy.strayByte_ = isUtf16() ? byte : std::nullopt;
    return copy;
}

QByteArrayView TextEncoding::strayByte() const {
    return strayByte_ ? QByteArrayView(&*strayByte_, 1) : QByteArrayView();
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
    if (kind_ == Kind::Utf8 && !IsValidUtf8(body)) return std::nullopt;
    // A table of every byte reads back by itself.
    if (highHalf_) {
        QString text(body.size(), Qt::Uninitialized);
        char16_t* out = reinterpret_cast<char16_t*>(text.data());
        for (const char byte : body) {
            const auto b = static_cast<unsigned char>(byte);
            *out++ = b < 0x80 ? char16_t(b) : highHalf_[b - 0x80];
        }
        return text;
    }
    // UTF-16 of an even length is one character per two bytes and back; the document view
    // holds UTF-8, which has no room for half a surrogate pair but in a damaged page.
    if (isUtf16()) {
        if (body.size() % 2 != 0) return std::nullopt;
        QString text = decodeUnits(body);
        if (FindLoneSurrogate(text) >= 0) return std::nullopt;
        return text;
    }

    QStringDecoder decoder(qtName_.constData(), kDecoderFlags);
    QString text = decoder.decode(body);
    if (decoder.hasError()) return std::nullopt;
    // Valid UTF-8 (no overlong form, no surrogate, nothing beyond U+10FFFF, nothing cut
    // short) is one code point per sequence and back, a leading U+FEFF included: it needs no
    // second pass to prove it.
    if (kind_ == Kind::Utf8) return text;
    if (FindLoneSurrogate(text) >= 0) return std::nullopt;
    QStringEncoder encoder(qtName_.constData());
    if (!EncodesTo(encoder, text, body)) return std::nullopt;
    return text;
}

QString TextEncoding::decodeUnits(QByteArrayView body) const {
    if (!isUtf16()) return QString();
    const qsizetype units = body.size() / 2;
    QString text(units, Qt::Uninitialized);
    if (kind_ == Kind::Utf16LE) {
        qFromLittleEndian<quint16>(body.data(), units, text.data());
    } else {
        qFromBigEndian<quint16>(body.data(), units, text.data());
    }
    return text;
}

std::optional<QByteArray> TextEncoding::encode(QStringView text, qsizetype* badPosition) const {
    if (kind_ == Kind::Windows1252) return EncodeCodePage(text, badPosition);
    const QByteArrayView mark = byteOrderMark();
    if (isUtf16()) {
        // Every unit as it is, a lone surrogate of a damaged page too.
        QByteArray bytes(mark.size() + 2 * text.size() + strayByte().size(), Qt::Uninitialized);
        char* out = bytes.data();
        if (!mark.isEmpty()) std::memcpy(out, mark.data(), size_t(mark.size()));
        out += mark.size();
        if (kind_ == Kind::Utf16LE) {
            qToLittleEndian<quint16>(text.utf16(), text.size(), out);
        } else {
            qToBigEndian<quint16>(text.utf16(), text.size(), out);
        }
        if (strayByte_) bytes.back() = *strayByte_;
        return bytes;
    }
    if (highHalf_) {
        QByteArray bytes(text.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c < 0x80) {
                bytes[i] = char(c);
                continue;
            }
            const char16_t* end = highHalf_ + 128;
            const char16_t* found = std::find(highHalf_, end, c);
            if (found == end) {
                if (badPosition) *badPosition = i;
                return std::nullopt;
            }
            bytes[i] = char(0x80 + (found - highHalf_));
        }
        return bytes;
    }

    QStringEncoder encoder(qtName_.constData());
    QByteArray bytes(mark.size() + encoder.requiredSpace(text.size()), Qt::Uninitialized);
    if (!mark.isEmpty()) std::memcpy(bytes.data(), mark.data(), size_t(mark.size()));
    const char* end = encoder.appendToBuffer(bytes.data() + mark.size(), text);
    // Qt's encoders pass some lone surrogates through; no encoding but UTF-16 holds them.
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
