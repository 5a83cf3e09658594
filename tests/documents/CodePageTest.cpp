// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/CodePage.h"
#include "documents/DocName.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(CodePage, EveryByteValueSurvivesDecodeAndEncode) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(char(b));
    const QString text = DecodeCodePage(all);
    ASSERT_EQ(text.size(), 256);
    qsizetype bad = -1;
    EXPECT_EQ(EncodeCodePage(text, &bad), all);

    // Straight to and from UTF-8, as the document view holds the text.
    QByteArray utf8All;
    AppendCodePageAsUtf8(utf8All, all);
    EXPECT_EQ(utf8All, text.toUtf8());
    EXPECT_EQ(EncodeCodePageFromUtf8(utf8All), all);
    for (const QString& outside :
         {QStringLiteral("a\u0100"), QStringLiteral("\U0001F600"), QStringLiteral("\u0085")}) {
        EXPECT_FALSE(EncodeCodePageFromUtf8(outside.toUtf8()));
    }

    // A page in UTF-8 comes back byte for byte as well.
    const QByteArray utf8 = QStringLiteral("caf\u00e9 \u20ac \U0001F600 \u4e2d").toUtf8();
    EXPECT_EQ(EncodeCodePage(DecodeCodePage(utf8), &bad), utf8);
}

TEST(CodePage, MixedRunsOfEveryKindRoundTrip) {
    // Plain Latin-1 runs of every length around the special bytes, at every offset.
    std::uint32_t state = 12345;
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        const int length = int(state % 40);
        for (int i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            const int pick = int((state >> 16) % 10);
            bytes.append(pick < 7 ? char('a' + pick) : char(0x80 + (state >> 8) % 128));
        }
        qsizetype bad = -1;
        ASSERT_EQ(EncodeCodePage(DecodeCodePage(bytes), &bad), bytes) << round;
        QString text = DecodeCodePage(bytes);
        if (!text.isEmpty()) {
            const qsizetype at = qsizetype(state % std::uint32_t(text.size()));
            text[at] = QChar(0x0100);
            EXPECT_FALSE(EncodeCodePage(text, &bad));
            EXPECT_EQ(bad, at);
        }
    }
}

TEST(CodePage, BytesMapToTheirWindows1252Characters) {
    const QString text =
        DecodeCodePage(QByteArray("\x41\x80\x81\x8d\x8f\x90\x9d\x93\x94\x9f\xa0\xe9\xff\x00", 14));
    EXPECT_EQ(
        text,
        QString::fromUtf16(
            u"A\u20ac\u0081\u008d\u008f\u0090\u009d\u201c\u201d\u0178\u00a0\u00e9\u00ff\0", 14));
}

TEST(CodePage, CharactersOutsideTheCodePageAreRefusedWithTheirPlace) {
    qsizetype bad = -1;
    EXPECT_FALSE(EncodeCodePage(u"ok\r\nline two \u0100 rest", &bad));
    EXPECT_EQ(bad, 13);
    EXPECT_EQ(DescribeUnencodable(u"ok\r\nline two \u0100 rest", bad),
              u"the character \"\u0100\" (U+0100) in line 2, column 10 cannot be written in the "
              u"Windows-1252 code page");
    // Lone CR and LF both end lines; a character beyond the BMP is named whole.
    const QString text = QStringLiteral("a\rb\nc\U0001F600");
    EXPECT_FALSE(EncodeCodePage(text, &bad));
    EXPECT_EQ(bad, 5);
    EXPECT_EQ(DescribeUnencodable(text, bad),
              QStringLiteral("the character \"\U0001F600\" (U+1F600) in line 3, column 2 cannot be "
                             "written in the Windows-1252 code page"));
    EXPECT_EQ(EncodeCodePage(u"", &bad), QByteArray());
}

TEST(DocName, TheRepairedCopyTakesTheFolderAndTheNameUpToTheLastDot) {
    const PathRules unix{false, false};
    const PathRules windows{true, true};  // names in capitals, either separator
    const struct {
        const char* name;
        const char16_t* path;
        PathRules rules;
        const char16_t* fixed;
    } cases[] = {
        {"a folder and several dots", u"/home/ann/Web Site/Page.Old.htm", unix,
         u"/home/ann/Web Site/Page.Old.fix"},
        {"no extension", u"README", unix, u"README.fix"},
        {"a name that starts with a dot", u"/srv/.htaccess", unix, u"/srv/.fix"},
        {"a dot in a folder's name only", u"/srv/dir.d/page", unix, u"/srv/dir.d/page.fix"},
        {"an empty path", u"", unix, u".fix"},
        {"spaces around the name", u" spaced .htm ", unix, u" spaced .fix"},
        {"Windows: capitals, backslashes", u"C:\\Web\\index.htm", windows, u"C:\\WEB\\INDEX.fix"},
        {"Windows: either separator", u"C:/Web/a.b\\c", windows, u"C:/WEB/A.B\\C.fix"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QString::fromUtf16(c.path);
        EXPECT_EQ(FixedFileName(SplitDocName(path, c.rules)), QString::fromUtf16(c.fixed));
    }
}

}  // namespace
}  // namespace quillet
