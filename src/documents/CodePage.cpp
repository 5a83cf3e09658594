// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/CodePage.h"

#include "documents/Lanes16.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace quillet {

namespace {

/// Characters of the bytes 0x80 to 0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr std::array<char16_t, 256> MakeDecodeTable() {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = char16_t(b);
    for (int i = 0; i < 32; ++i) table[0x80 + i] = kHighControls[i];
    return table;
}

constexpr std::array<char16_t, 256> kDecode = MakeDecodeTable();

/// The byte of a character outside 0x00-0x7F and 0xA0-0xFF, or -1.
int EncodeSpecial(char16_t c) {
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c) return 0x80 + i;
    }
    return -1;
}

/// The UTF-8 bytes of each byte's character, and how many there are.
struct Utf8Form {
    std::array<char, 3> bytes{};
    int length = 0;
};

constexpr std::array<Utf8Form, 256> MakeUtf8Table() {
    std::array<Utf8Form, 256> table{};
    for (int b = 0; b < 256; ++b) {
        const char16_t c = kDecode[b];
        Utf8Form& form = table[b];
        if (c < 0x80) {
            form = {{char(c), 0, 0}, 1};
        } else if (c < 0x800) {
            form = {{char(0xC0 | (c >> 6)), char(0x80 | (c & 0x3F)), 0}, 2};
        } else {
            form = {
                {char(0xE0 | (c >> 12)), char(0x80 | ((c >> 6) & 0x3F)), char(0x80 | (c & 0x3F))},
                3};
        }
    }
    return table;
}

constexpr std::array<Utf8Form, 256> kUtf8 = MakeUtf8Table();

}  // namespace

std::optional<QByteArray> EncodeCodePageFromUtf8(QByteArrayView utf8) {
    QByteArray bytes(utf8.size(), Qt::Uninitialized);
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    const qsizetype n = utf8.size();
    char* out = bytes.data();
    for (qsizetype i = 0; i < n;) {
        const unsigned char lead = in[i];
        if (lead < 0x80) {
            *out++ = char(lead);
            ++i;
            continue;
        }
        // Characters of the code page lie below U+10000: two or three bytes.
        char32_t c = 0;
        if (lead >= 0xC0 && lead < 0xE0 && i + 1 < n) {
            c = char32_t(lead & 0x1F) << 6 | (in[i + 1] & 0x3F);
            i += 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && i + 2 < n) {
            c = char32_t(lead & 0x0F) << 12 | char32_t(in[i + 1] & 0x3F) << 6 | (in[i + 2] & 0x3F);
            i += 3;
        } else {
            return std::nullopt;
        }
        const int b = (c >= 0xA0 && c <= 0xFF) ? int(c) : EncodeSpecial(char16_t(c));
        if (b < 0) return std::nullopt;
        *out++ = char(b);
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

void AppendCodePageAsUtf8(QByteArray& out, QByteArrayView bytes) {
    const qsizetype start = out.size();
    out.resize(start + 3 * bytes.size());
    char* to = out.data() + start;
    for (const char byte : bytes) {
        const Utf8Form& form = kUtf8[static_cast<unsigned char>(byte)];
        if (form.length == 1) {
            *to++ = form.bytes[0];
            continue;
        }
        for (int k = 0; k < form.length; ++k) *to++ = form.bytes[k];
    }
    out.truncate(to - out.constData());
}

QString DecodeCodePage(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i) out[i] = kDecode[in[i]];
    return text;
}

std::optional<QByteArray> EncodeCodePage(QStringView text, qsizetype* badPosition) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    const char16_t* in = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    // Four characters at a time while all of them are Latin-1 outside 0x80-0x9F, which
    // is nearly every character of a page: their bytes equal the characters.
    constexpr std::uint64_t kHigh = 0xFF00FF00FF00FF00u;
    constexpr std::uint64_t kTop3 = 0x00E000E000E000E0u;
    constexpr std::uint64_t kC1 = 0x0080008000800080u;
    qsizetype i = 0;
    while (i < n) {
        for (; i + 4 <= n; i += 4) {
            std::uint64_t w;
            std::memcpy(&w, in + i, sizeof w);
            const std::uint64_t c1 = (w & kTop3) ^ kC1;  // a lane is 0 for 0x80-0x9F
            if ((w & kHigh) != 0 || AnyZeroLane16(c1)) break;
            for (int k = 0; k < 4; ++k) out[i + k] = char(in[i + k]);
        }
        if (i >= n) break;
        // One character the fast loop could not take, or one of the last three.
        const char16_t c = in[i];
        const int b = (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) ? int(c) : EncodeSpecial(c);
        if (b < 0) {
            if (badPosition) *badPosition = i;
            return std::nullopt;
        }
        out[i++] = char(b);
    }
    return bytes;
}

QString DescribeUnencodable(QStringView text, qsizetype position, QStringView encoding) {
    qsizetype line = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < position; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' || (c == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))) {
            ++line;
            lineStart = i + 1;
        }
    }
    // Show a whole character even when it is a surrogate pair.
    qsizetype length = 1;
    char32_t code = text[position].unicode();
    if (text[position].isHighSurrogate() && position + 1 < text.size() &&
        text[position + 1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[position], text[position + 1]);
        length = 2;
    }
    return QStringLiteral(
               "the character \"%1\" (U+%2) in line %3, column %4 cannot be written in %5")
        .arg(text.sliced(position, length).toString(),
             QString::number(code, 16).toUpper().rightJustified(4, u'0'), QString::number(line),
             QString::number(position - lineStart + 1), encoding.toString());
}

}  // namespace quillet
