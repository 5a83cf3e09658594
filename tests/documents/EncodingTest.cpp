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
        const char* name;
        QByteArray bytes;
        const char* encoding;
        const char16_t* text;  // the text, where the case shows it
    } cases[] = {
        {"UTF-8 mark", "\xEF\xBB\xBF<p>\xC3\xA9", "UTF-8 with byte-order mark", u"<p>\u00e9"},
        {"UTF-16LE mark", "\xFF\xFE" + Utf16(u"<p>\u0151\U0001F600", Q::Utf16LE),
         "UTF-16LE with byte-order mark", u"<p>\u0151\U0001F600"},
        {"UTF-16LE, no mark", Utf16(u"<p>caf\u00e9 \u0151</p>", Q::Utf16LE), "UTF-16LE",
         u"<p>caf\u00e9 \u0151</p>"},
        {"UTF-16BE, no mark", Utf16(u"\n<p>", Q::Utf16BE), "UTF-16BE", u"\n<p>"},
        {"a NUL second", QByteArray("x\0", 2), "Windows-1252", nullptr},
        {"a NUL and a space first", QByteArray("\0 <p>one<div>x</div>", 20), "Windows-1252",
         nullptr},
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
        {"EBCDIC is no label", "<meta charset=\"cp037\"><p>x<div>y", "Windows-1252",
         u"<meta charset=\"cp037\"><p>x<div>y"},
        {"a quote in an unquoted label", "<meta charset=iso8859-2\">\xB1", "Windows-1252", nullptr},
        {"a charset that names nothing stands",
         "<meta charset=klingon content='text/html; "
         "charset=latin2' http-equiv=content-type>\xB1",
         "Windows-1252", nullptr},
        {"ISO-8859-16", "<meta charset=iso-8859-16>\xAA\xA4", "ISO-8859-16",
         u"<meta charset=iso-8859-16>\u0218\u20ac"},
        {"declared UTF-16 is UTF-8", "<meta charset=utf-16>\xC3\xA9", "UTF-8", nullptr},
        {"declared ISO-8859-1 is Windows-1252", "<meta charset=iso-8859-1>\x80\x81", "Windows-1252",
         u"<meta charset=iso-8859-1>\u20ac\u0081"},
        {"declared UTF-8, all ASCII", "<meta charset=utf-8><p>", "UTF-8", nullptr},
        {"declared UTF-8, a stray byte", "<meta charset=utf-8>\xC3\xA9\xE9", "Windows-1252",
         nullptr},
        {"declared, undefined byte", "<meta charset=iso-8859-3>\xA5", "Windows-1252", nullptr},
        {"UTF-16LE, no mark, a stray byte", Utf16(u"<p>\u0151 ok</p>\r\n", Q::Utf16LE) + "\n",
         "UTF-16LE", u"<p>\u0151 ok</p>\r\n"},
        {"nine in ten UTF-16 units", Utf16(u"<p>\u0151 texts", Q::Utf16BE), "UTF-16BE", nullptr},
        {"eight in ten UTF-16 units", Utf16(u"<p>\u0151 text\u0152", Q::Utf16BE), "Windows-1252",
         nullptr},
        {"a UTF-16 unit 0", Utf16(QStringView(u"<p>\0 text and more", 18), Q::Utf16LE),
         "Windows-1252", nullptr},
        {"UTF-16 beyond 512 bytes",
         Utf16(QString(256, u'x') + QStringLiteral("\u4e2d\u6587"), Q::Utf16LE), "UTF-16LE",
         nullptr},
        {"valid UTF-8", "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80", "UTF-8",
         u"caf\u00e9 \u2014 \U0001F600"},
        {"all ASCII", "<p>plain", "Windows-1252", nullptr},
        {"overlong UTF-8", "\xC0\xAF", "Windows-1252", nullptr},
        {"encoded surrogate", "\xED\xA0\x80", "Windows-1252", nullptr},
        {"UTF-8 mark, then Latin-1", "\xEF\xBB\xBF\xE9t\xE9", "Windows-1252", nullptr},
        {"UTF-16 mark, odd length", QByteArray("\xFF\xFE<\0p", 5), "UTF-16LE with byte-order mark",
         u"<"},
        {"UTF-16 mark, half a pair", QByteArray("\xFF\xFEx\0\x00\xD8y\0", 8),
         "UTF-16LE with byte-order mark", u"x\xD800y"},
        {"empty", "", "Windows-1252", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedPage page = DecodePage(c.bytes);
        EXPECT_EQ(page.encoding.description(), QString::fromLatin1(c.encoding));
        if (c.text) {
            EXPECT_EQ(page.text, QStringView(c.text));
        }
        if (page.encoding == TextEncoding::Windows1252()) {
            EXPECT_EQ(page.text.size(), c.bytes.size());
        }
        EXPECT_EQ(WrittenBack(page), c.bytes);
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
    // Half a surrogate pair has no bytes in UTF-8 or a legacy code either, wherever it
    // stands, whole pairs before and after it. UTF-16 writes it as the unit it is (a damaged
    // page keeps it), and so does the view's generalized UTF-8.
    const TextEncoding gb18030 = *TextEncoding::ForName(u"gb18030");
    for (int at = 0; at < 9; ++at) {
        SCOPED_TRACE(at);
        QString text(at, u'x');
        if (at >= 2) text.replace(at - 2, 2, QStringLiteral("\U0001F600"));
        const QString whole = text + QStringLiteral("\U0001F600y");
        const char16_t half = at % 2 ? 0xDC00 : 0xD800;
        const QString broken = text + QChar(half) + QStringLiteral("y\U0001F600");
        for (const TextEncoding& e : {TextEncoding::Utf8(), gb18030}) {
            EXPECT_TRUE(e.encode(whole, &bad)) << e.name().toStdString();
            EXPECT_FALSE(e.encode(broken, &bad)) << e.name().toStdString();
            EXPECT_EQ(bad, at) << e.name().toStdString();
        }
        const QByteArray units = TextEncoding::Utf16BE(true).encode(broken, &bad).value_or("");
        ASSERT_EQ(units.size(), 2 + 2 * broken.size());
        EXPECT_EQ(units.mid(2 + 2 * at, 2), QByteArray(at % 2 ? "\xDC" : "\xD8") + '\0');
        EXPECT_EQ(ToGeneralizedUtf8(whole), whole.toUtf8());
        const QByteArray general = ToGeneralizedUtf8(broken);
        EXPECT_EQ(general, text.toUtf8() + QByteArray(at % 2 ? "\xED\xB0\x80" : "\xED\xA0\x80") +
                               QStringLiteral("y\U0001F600").toUtf8());
        EXPECT_EQ(FromGeneralizedUtf8(general, &bad), broken);
    }
    // A byte of no character is named; a U+FEFF at the start is a character.
    EXPECT_FALSE(FromGeneralizedUtf8("ab\xED\xA0", &bad));
    EXPECT_EQ(bad, 2);
    EXPECT_FALSE(FromGeneralizedUtf8("a\x80", &bad));
    EXPECT_EQ(bad, 1);
    EXPECT_EQ(FromGeneralizedUtf8("\xEF\xBB\xBFx", &bad), u"\uFEFFx");
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

TEST(HtmlPrescan, ALabelIsOneOfTheLabelsBrowsersKnowAsItIs) {
    const struct {
        const char* name;
        const char16_t* label;
        const char* declared;  // nullptr: no declaration
        const char* meant;
    } cases[] = {
        {"a label", u"latin2", "ISO-8859-2", "ISO-8859-2"},
        {"ASCII white space around, any case", u" \tL2\n\f", "ISO-8859-2", "ISO-8859-2"},
        {"a label with punctuation", u"ISO_8859-2:1987", "ISO-8859-2", "ISO-8859-2"},
        {"a label of another encoding", u"x-mac-ukrainian", "x-mac-cyrillic", "x-mac-cyrillic"},
        {"KOI8-RU is KOI8-U", u"koi8-ru", "KOI8-U", "KOI8-U"},
        {"US-ASCII is Windows-1252", u"us-ascii", "Windows-1252", "Windows-1252"},
        {"TIS-620 is Windows-874", u"tis-620", "Windows-874", "Windows-874"},
        {"windows-949 is EUC-KR", u"windows-949", "EUC-KR", "EUC-KR"},
        {"a declared UTF-16 means UTF-8", u"ucs-2", "UTF-16LE", "UTF-8"},
        {"x-user-defined means Windows-1252", u"x-user-defined", "x-user-defined", "Windows-1252"},
        {"EBCDIC", u"cp037", nullptr, nullptr},
        {"a hyphen too many", u"latin-2", nullptr, nullptr},
        {"spaces inside", u"iso 8859 2", nullptr, nullptr},
        {"a quote after it", u"iso8859-2\"", nullptr, nullptr},
        {"a hyphen too few", u"koi8r", nullptr, nullptr},
        {"a code page number", u"cp949", nullptr, nullptr},
        {"CESU-8", u"cesu-8", nullptr, nullptr},
        {"a non-ASCII space", u"\u00a0latin2", nullptr, nullptr},  // no ASCII white space
        {"a non-ASCII letter that folds to I", u"\u0130so-8859-2", nullptr, nullptr},
        {"empty", u"", nullptr, nullptr},
        // The labels of the encoding browsers refuse to read a page in declare nothing.
        {"ISO-2022-KR, which browsers refuse", u"iso-2022-kr", nullptr, nullptr},
        {"replacement, which browsers refuse", u"replacement", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Declaration> d = DeclarationForLabel(c.label);
        ASSERT_EQ(d.has_value(), c.declared != nullptr);
        if (!d) continue;
        EXPECT_EQ(d->declared, QString::fromLatin1(c.declared));
        EXPECT_EQ(d->meant, QString::fromLatin1(c.meant));
        ASSERT_TRUE(d->encoding);
        EXPECT_EQ(d->encoding->name(), d->meant);
    }
}

TEST(HtmlPrescan, EveryEncodingOfTheLabelsIsReadHereAsBrowsersReadIt) {
    // A page declaring each encoding by its name, a sample of its bytes beyond ASCII and
    // their text in browsers. This Qt must read them all (through ICU), and ISO-8859-16
    // from the table of this program's own.
    const struct {
        const char* name;
        QByteArray sample;
        const char16_t* text;
    } cases[] = {
        {"UTF-8", "\xC3\xA9", u"\u00e9"},
        {"IBM866", "\x80\xF0", u"\u0410\u0401"},
        {"ISO-8859-2", "\xA1", u"\u0104"},
        {"ISO-8859-3", "\xA1", u"\u0126"},
        {"ISO-8859-4", "\xA1", u"\u0104"},
        {"ISO-8859-5", "\xB0", u"\u0410"},
        {"ISO-8859-6", "\xC7", u"\u0627"},
        {"ISO-8859-7", "\xC1\xA4", u"\u0391\u20ac"},
        {"ISO-8859-8", "\xE0", u"\u05d0"},
        {"ISO-8859-8-I", "\xE0", u"\u05d0"},
        {"ISO-8859-10", "\xA1", u"\u0104"},
        {"ISO-8859-13", "\xA1", u"\u201d"},
        {"ISO-8859-14", "\xA1", u"\u1e02"},
        {"ISO-8859-15", "\xA4", u"\u20ac"},
        {"ISO-8859-16", "\xAA\xBA\xDE", u"\u0218\u0219\u021a"},
        {"KOI8-R", "\xC1", u"\u0430"},
        {"KOI8-U", "\xA4", u"\u0454"},
        {"macintosh", "\x80\xDB", u"\u00c4\u20ac"},
        {"Windows-874", "\xA1\x80", u"\u0e01\u20ac"},
        {"Windows-1250", "\x8A", u"\u0160"},
        {"Windows-1251", "\xC0", u"\u0410"},
        {"Windows-1252", "\x80\x81", u"\u20ac\u0081"},
        {"Windows-1253", "\xC1", u"\u0391"},
        {"Windows-1254", "\xD0", u"\u011e"},
        {"Windows-1255", "\xE0", u"\u05d0"},
        {"Windows-1256", "\xC7\x81", u"\u0627\u067e"},
        {"Windows-1257", "\xC0", u"\u0104"},
        {"Windows-1258", "\xC3", u"\u0102"},
        {"x-mac-cyrillic", "\x80\xA2", u"\u0410\u0490"},
        {"GBK", "\xC4\xE3\x80", u"\u4f60\u20ac"},
        {"gb18030", "\xC4\xE3\x81\x30\x81\x30", u"\u4f60\u0080"},
        {"Big5", "\xA4\xA4\xF9\xFE", u"\u4e2d\uffed"},
        {"EUC-JP", "\xA4\xA2", u"\u3042"},
        {"ISO-2022-JP", "\x1B$B$\"\x1B(Bx", u"\u3042x"},
        {"Shift_JIS", "\x82\xA0", u"\u3042"},
        {"EUC-KR", "\xB0\xA1\x81\x41", u"\uac00\uac02"},
        // Read as browsers read a declaration of them.
        {"UTF-16LE", "\xC3\xA9", u"\u00e9"},
        {"UTF-16BE", "\xC3\xA9", u"\u00e9"},
        {"x-user-defined", "\x80", u"\u20ac"},
    };
    QStringList covered{QStringLiteral("replacement")};
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.name);
        SCOPED_TRACE(c.name);
        covered.append(name);
        const QByteArray meta = "<meta charset=" + name.toLatin1() + ">";
        const DecodedPage page = DecodePage(meta + c.sample);
        const std::optional<Declaration> declared = DeclarationForLabel(name);
        ASSERT_TRUE(declared);
        ASSERT_TRUE(declared->encoding) << "not available here";
        EXPECT_EQ(page.encoding.name(), declared->meant);
        EXPECT_EQ(page.text, QString::fromLatin1(meta) + QString::fromUtf16(c.text));
        EXPECT_EQ(WrittenBack(page), meta + c.sample);
        EXPECT_EQ(page.notes.isEmpty(), declared->meant == declared->declared);
    }
    QStringList all = LabelledEncodings();
    all.sort();
    covered.sort();
    EXPECT_EQ(covered, all);
}

TEST(PageDecoding, SaysWhyADeclarationWasPassedOverAndWhereDamageIsKept) {
    using Q = QStringConverter;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* readAs;
        const char* note;  // "" for none; notes are joined by "|"
    } cases[] = {
        {"bytes not of it", "<meta charset=iso-8859-3>\xA5", "Windows-1252",
         "declares ISO-8859-3 but is read as Windows-1252, since its bytes are not ISO-8859-3"},
        {"not UTF-8", "<meta charset=utf-8>\xE9", "Windows-1252",
         "declares UTF-8 but is read as Windows-1252, since its bytes are not UTF-8"},
        {"UTF-16", "<meta charset=utf-16>\xC3\xA9", "UTF-8",
         "declares UTF-16LE but is read as UTF-8, since browsers read a declared UTF-16LE as "
         "UTF-8"},
        {"UTF-16, not UTF-8", "<meta charset=utf-16be>\xE9", "Windows-1252",
         "declares UTF-16BE but is read as Windows-1252, since browsers read a declared "
         "UTF-16BE as UTF-8 and its bytes are not UTF-8"},
        {"x-user-defined", "<meta charset=x-user-defined>\x80", "Windows-1252",
         "declares x-user-defined but is read as Windows-1252, since browsers read a declared "
         "x-user-defined as Windows-1252"},
        {"what the label means", "<meta charset=iso-8859-1>\x80", "Windows-1252", ""},
        {"a label of no encoding", "<meta charset=klingon>\xE9", "Windows-1252", ""},
        {"a label browsers refuse", "<meta charset=iso-2022-kr>\xE9", "Windows-1252", ""},
        {"a mark", "\xEF\xBB\xBF<meta charset=latin2>", "UTF-8 with byte-order mark",
         "declares ISO-8859-2 but is read as UTF-8, by its byte-order mark"},
        {"a mark of no use", "\xEF\xBB\xBF\xE9", "Windows-1252",
         "starts with a UTF-8 byte-order mark but its bytes are not UTF-8, so it is read as "
         "Windows-1252"},
        {"a stray last byte", "\xFF\xFE" + Utf16(u"<p>a", Q::Utf16LE) + "A",
         "UTF-16LE with byte-order mark",
         "damaged UTF-16LE: a stray last byte at byte 11, kept as it is"},
        {"unpaired surrogates", QByteArray("\xFE\xFF\0x\xD8\x01\0y\xDC\0", 10),
         "UTF-16BE with byte-order mark",
         "damaged UTF-16BE: 2 unpaired surrogates, the first (U+D801) at byte 5, kept as they "
         "are"},
        {"both, no mark", Utf16(u"<p>some text", Q::Utf16LE) + QByteArray("\0\xDC>", 3), "UTF-16LE",
         "damaged UTF-16LE: an unpaired surrogate (U+DC00) at byte 25, kept as it is|"
         "damaged UTF-16LE: a stray last byte at byte 27, kept as it is"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedPage page = DecodePage(c.bytes, PageText::KeepBytes);
        EXPECT_EQ(page.encoding.description(), QString::fromLatin1(c.readAs));
        EXPECT_EQ(page.notes.join(u'|'), QString::fromLatin1(c.note));
        EXPECT_EQ(WrittenBack(DecodePage(c.bytes)), c.bytes);
    }
}

TEST(TextEncoding, Iso8859_16IsReadAndWrittenByItsOwnTable) {
    const TextEncoding latin10 = *TextEncoding::ForName(u"iso-8859-16");
    QByteArray every(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b) every[b] = char(b);
    const std::optional<QString> text = latin10.decode(every);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->mid(0xA0, 8), u"\u00a0\u0104\u0105\u0141\u20ac\u201e\u0160\u00a7");
    qsizetype bad = -1;
    EXPECT_EQ(latin10.encode(*text, &bad), every);
    EXPECT_FALSE(latin10.encode(u"ok \u00e9\u011d", &bad));  // U+011D is not in it
    EXPECT_EQ(bad, 4);
}

}  // namespace
}  // namespace quillet
