// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/HtmlPrescan.h"
#include "documents/PageDecoding.h"
#include "documents/TextEncoding.h"

#include <gtest/gtest.h>
#include <QStringEncoder>

namespace quillet {
namespace {

QByteArray Utf16(QStringView text, QStringConverter::Encoding order) {
    return QStringEncoder(order).encode(text);
}

/// The page's bytes again, from what DecodePage made of them.
QByteArray WrittenBack(const DecodedPage& page) {
    qsizetype bad = -1;
    return page.encoding.encode(page.text, &bad).value_or("<unencodable>");
}

TEST(PageDecoding, DetectsTheEncodingAndKeepsEveryByte) {
    using Q = QStringConverter;
    const QByteArray latin2Meta = "<meta charset=\"iso-8859-2\">";
    const struct {
        const char* what;
        QByteArray bytes;
        const char* encoding;
        const char16_t* text;  // the text, where the case shows it
    } cases[] = {
        {"UTF-8 mark", "\xEF\xBB\xBF<p>\xC3\xA9", "UTF-8 with byte-order mark", u"<p>\u00e9"},
        {"UTF-16LE mark", "\xFF\xFE" + Utf16(u"<p>\u0151\U0001F600", Q::Utf16LE),
         "UTF-16LE with byte-order mark", u"<p>\u0151\U0001F600"},
        {"UTF-16LE, no mark", Utf16(u"<p>\u0151", Q::Utf16LE), "UTF-16LE", u"<p>\u0151"},
        {"UTF-16BE, no mark", Utf16(u"\n<p>", Q::Utf16BE), "UTF-16BE", u"\n<p>"},
        {"a NUL second", QByteArray("x\0", 2), "Windows-1252", nullptr},
        {"a second mark is text", "\xEF\xBB\xBF\xEF\xBB\xBFx", "UTF-8 with byte-order mark",
         u"\ufeffx"},
        {"a second UTF-16 mark is text", QByteArray("\xFE\xFF\xFE\xFF\0x", 6),
         "UTF-16BE with byte-order mark", u"\ufeffx"},
        {"meta charset", latin2Meta + "<p>\xA1\xB1\xE8", "ISO-8859-2",
         u"<meta charset=\"iso-8859-2\"><p>\u0104\u0105\u010d"},
        {"http-equiv",
         "<META HTTP-EQUIV=Content-Type CONTENT='text/html; Charset = \"latin2\"'>\xB1",
         "ISO-8859-2", nullptr},
        {"content without http-equiv", "<meta content=\"text/html; charset=iso-8859-2\">\xB1",
         "Windows-1252", nullptr},
        {"commented out", "<!-- <meta charset=iso-8859-2> --><p>\xB1", "Windows-1252", nullptr},
        {"inside another tag's quotes", "<a title='<meta charset=iso-8859-2>'>\xB1", "Windows-1252",
         nullptr},
        {"beyond 1024 bytes", QByteArray(1020, ' ') + latin2Meta + "\xB1", "Windows-1252", nullptr},
        {"the first of two", "<meta charset=koi8-r><meta charset=iso-8859-2>\xC1", "KOI8-R",
         nullptr},
        {"unknown label", "<meta charset=klingon>\xC3\xA9", "UTF-8", nullptr},
        {"declared UTF-16 is UTF-8", "<meta charset=utf-16>\xC3\xA9", "UTF-8", nullptr},
        {"declared ISO-8859-1 is Windows-1252", "<meta charset=iso-8859-1>\x80\x81", "Windows-1252",
         u"<meta charset=iso-8859-1>\u20ac\u0081"},
        {"declared UTF-8, all ASCII", "<meta charset=utf-8><p>", "UTF-8", nullptr},
        {"declared UTF-8, a stray byte", "<meta charset=utf-8>\xC3\xA9\xE9", "Windows-1252",
         nullptr},
        {"declared, undefined byte", "<meta charset=iso-8859-3>\xA5", "Windows-1252", nullptr},
        {"valid UTF-8", "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80", "UTF-8",
         u"caf\u00e9 \u2014 \U0001F600"},
        {"all ASCII", "<p>plain", "Windows-1252", nullptr},
        {"overlong UTF-8", "\xC0\xAF", "Windows-1252", nullptr},
        {"encoded surrogate", "\xED\xA0\x80", "Windows-1252", nullptr},
        {"UTF-8 mark, then Latin-1", "\xEF\xBB\xBF\xE9t\xE9", "Windows-1252", nullptr},
        {"UTF-16 mark, odd length", QByteArray("\xFF\xFE<\0p", 5), "Windows-1252", nullptr},
        {"UTF-16 mark, half a pair", QByteArray("\xFF\xFEx\0\x00\xD8y\0", 8), "Windows-1252",
         nullptr},
        {"empty", "", "Windows-1252", nullptr},
    };
    for (const auto& c : cases) {
        const DecodedPage page = DecodePage(c.bytes);
        EXPECT_EQ(page.encoding.description(), QString::fromLatin1(c.encoding)) << c.what;
        if (c.text) {
            EXPECT_EQ(page.text, QStringView(c.text)) << c.what;
        }
        if (page.encoding == TextEncoding::Windows1252()) {
            EXPECT_EQ(page.text.size(), c.bytes.size()) << c.what;
        }
        EXPECT_EQ(WrittenBack(page), c.bytes) << c.what;
    }
}

TEST(PageDecoding, AnyBytesComeBackUnchanged) {
    // Random pages built from pieces that lead detection every way.
    const QByteArray pieces[] = {
        "\xEF\xBB\xBF",
        "\xFF\xFE",
        "\xFE\xFF",
        "<meta charset=utf-8>",
        "<meta charset=latin2>",
        "<meta charset=shift_jis>",
        "<p>",
        "\xC3\xA9",
        "\xE2\x80",
        "\xF0\x9F\x98\x80",
        "\xE9",
        QByteArray("\x00\xD8", 2),
        "\x81\x40",
        "\x1B$B",
        "a",
        "\r\n",
        QByteArray(1, '\0'),
    };
    std::uint32_t state = 2024;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        for (int i = int(state % 9); i >= 0; --i) {
            state = state * 1103515245u + 12345u;
            bytes += pieces[(state >> 16) % std::size(pieces)];
        }
        ASSERT_EQ(WrittenBack(DecodePage(bytes)), bytes) << bytes.toHex().toStdString();
    }
}

TEST(TextEncoding, NamesAndTheirProperties) {
    const struct {
        const char* given;
        const char* name;  // nullptr: unknown
        bool asciiTransparent;
        bool utf16;
    } cases[] = {
        {"windows-1252", "Windows-1252", true, false},
        {"UTF8", "UTF-8", true, false},
        {"utf-16", "UTF-16LE", false, true},
        {"utf-16be", "UTF-16BE", false, true},
        {" Latin2 ", "ISO-8859-2", true, false},
        {"shift_jis", "Shift_JIS", false, false},
        {"iso-2022-jp", "ISO-2022-JP", false, false},
        {"utf-7", "UTF-7", false, false},
        {"klingon", nullptr, false, false},
    };
    for (const auto& c : cases) {
        const std::optional<TextEncoding> e = TextEncoding::ForName(QString::fromUtf8(c.given));
        ASSERT_EQ(e.has_value(), c.name != nullptr) << c.given;
        if (!e) continue;
        EXPECT_EQ(e->name(), QString::fromLatin1(c.name)) << c.given;
        EXPECT_EQ(e->asciiTransparent(), c.asciiTransparent) << c.given;
        EXPECT_EQ(e->isUtf16(), c.utf16) << c.given;
    }
}

TEST(TextEncoding, ACharacterTheEncodingCannotHoldIsRefusedWithItsPlace) {
    const TextEncoding latin2 = *TextEncoding::ForName(u"iso-8859-2");
    qsizetype bad = -1;
    EXPECT_EQ(latin2.encode(u"\u0104 ok", &bad), QByteArray("\xA1 ok"));
    const QString text = QStringLiteral("line one\nx \u0104 \u20ac");
    EXPECT_FALSE(latin2.encode(text, &bad));
    EXPECT_EQ(bad, 13);
    EXPECT_EQ(latin2.describeUnencodable(text, bad),
              u"the character \"\u20ac\" (U+20AC) in line 2, column 5 cannot be written in "
              u"ISO-8859-2");
    // Half a surrogate pair has no bytes in any Unicode encoding either, wherever it stands,
    // whole pairs before and after it.
    for (int at = 0; at < 9; ++at) {
        QString text(at, u'x');
        if (at >= 2) text.replace(at - 2, 2, QStringLiteral("\U0001F600"));
        const QString whole = text + QStringLiteral("\U0001F600y");
        const QString broken =
            text + QChar(at % 2 ? 0xDC00 : 0xD800) + QStringLiteral("y\U0001F600");
        for (const TextEncoding& e : {TextEncoding::Utf8(), TextEncoding::Utf16BE(true)}) {
            EXPECT_TRUE(e.encode(whole, &bad)) << at;
            EXPECT_FALSE(e.encode(broken, &bad)) << at;
            EXPECT_EQ(bad, at) << e.name().toStdString();
        }
    }
}

TEST(PageDecoding, AChosenEncodingReadsThePageExactlyOrNotAtAll) {
    EXPECT_FALSE(DecodePageAs("caf\xE9", TextEncoding::Utf8()));
    EXPECT_FALSE(DecodePageAs("\xFF\xFEx", TextEncoding::Utf16LE()));
    // Its own mark is the page's mark; another is text.
    const std::optional<DecodedPage> marked =
        DecodePageAs(QByteArray("\xFF\xFEx\0", 4), TextEncoding::Utf16LE());
    ASSERT_TRUE(marked);
    EXPECT_EQ(marked->text, u"x");
    EXPECT_TRUE(marked->encoding.hasByteOrderMark());
    EXPECT_EQ(DecodePageAs("\xEF\xBB\xBFx", TextEncoding::Windows1252())->text,
              u"\u00ef\u00bb\u00bfx");
    // ISO-8859-1 chosen by name is Latin-1 itself, unlike a page's declaration of it.
    EXPECT_EQ(DecodePageAs("\x80", *TextEncoding::ForName(u"ISO-8859-1"))->text, u"\u0080");
    EXPECT_EQ(EncodingForLabel(u"ISO-8859-1"), TextEncoding::Windows1252());
}

}  // namespace
}  // namespace quillet
