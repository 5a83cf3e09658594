#include "documents/CodePage.h"

#include <array>

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

}  // namespace

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
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out[i] = char(c);
            continue;
        }
        const int b = EncodeSpecial(c);
        if (b < 0) {
            if (badPosition) *badPosition = i;
            return std::nullopt;
        }
        out[i] = char(b);
    }
    return bytes;
}

QString DescribeUnencodable(QStringView text, qsizetype position) {
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
               "the character \"%1\" (U+%2) in line %3, column %4 cannot be written in "
               "the Windows-1252 code page")
        .arg(text.sliced(position, length).toString(),
             QString::number(code, 16).toUpper().rightJustified(4, u'0'), QString::number(line),
             QString::number(position - lineStart + 1));
}

}  // namespace quillet
