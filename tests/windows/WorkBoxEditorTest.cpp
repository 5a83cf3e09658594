// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/WorkBoxEditor.h"

#include "documents/CodePage.h"
#include "windows/Contrast.h"
#include "windows/HtmlLexer.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QScrollBar>
#include <QSet>
#include <QTest>

namespace quillet {
namespace {

TEST(WorkBoxEditorTest, ReplacingIsOneUndoStepThatRestoresTheTextExactly) {
    static const char kLines[] = "<p>crlf\r\nlf\nlone cr\rnul\0after\ttab\r\n\r\r\n\n";
    QByteArray bytes(kLines, sizeof(kLines) - 1);
    for (int b = 0; b < 256; ++b) bytes.append(char(b));
    bytes.append('\r');
    const QString awkward = DecodeCodePage(bytes);

    // The old first character goes last; it may be a line end pair or a character of
    // several bytes, and the new text may be empty or shorter.
    const QString befores[] = {awkward, QStringLiteral("\r\nrest"), QStringLiteral("\u00E9t\u00E9"),
                               QStringLiteral("\u20AC")};
    const QString afters[] = {awkward + awkward, QString(), QStringLiteral("\r"),
                              QStringLiteral("\u00E9")};
    for (const QString& before : befores) {
        for (const QString& after : afters) {
            for (const bool utf8 : {false, true}) {  // loaded from 16-bit text, or from UTF-8
                WorkBoxEditor editor;
                editor.replaceDocumentUtf8("earlier");
                // A fresh document: nothing to undo.
                utf8 ? editor.loadDocumentUtf8(before.toUtf8()) : editor.loadDocument(before);
                EXPECT_EQ(editor.documentBytes(), before.toUtf8());
                editor.replaceDocumentUtf8(after.toUtf8());
                EXPECT_EQ(editor.documentText(), after);
                EXPECT_TRUE(editor.hasUnsavedChanges());
                editor.undo();
                EXPECT_EQ(editor.documentText(), before);
                EXPECT_FALSE(editor.isUndoAvailable());
                EXPECT_FALSE(editor.hasUnsavedChanges());
                editor.redo();
                EXPECT_EQ(editor.documentText(), after);
            }
        }
    }
}

TEST(WorkBoxEditorTest, KeepsASurrogatePairWhereTheTextIsCutIntoSlices) {
    // The text goes to the editor in slices of 4 Mi characters.
    QString text((1 << 22) - 1, u'x');
    text.append(QChar(0xD83D));
    text.append(QChar(0xDE00));
    text.append(QStringLiteral("\u20AC\u00E9<p>"));
    WorkBoxEditor editor;
    editor.loadDocument(text);
    EXPECT_EQ(editor.documentText(), text);
}

TEST(WorkBoxEditorTest, TypedLineEndsFollowTheDocument) {
    WorkBoxEditor editor;
    const struct {
        const char* name;
        const char* text;
        QsciScintilla::EolMode mode;
    } cases[] = {
        {"CR LF first", "a\r\nb\nc", QsciScintilla::EolWindows},
        {"LF first", "a\nb\r\nc", QsciScintilla::EolUnix},
        {"CR first", "a\rb\r\n", QsciScintilla::EolMac},
        {"a CR at the end", "a\r", QsciScintilla::EolMac},
        {"no line end", "no line end", QsciScintilla::EolWindows},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        editor.loadDocument(QString::fromLatin1(c.text));
        EXPECT_EQ(editor.eolMode(), c.mode);
    }
}

/// The style of every character of `editor`'s ASCII text, one letter each.
QString Styles(const WorkBoxEditor& editor) {
    static const char kLetters[] = "DTIAEQSUCXNJY";  // in the order of HtmlLexer::Style
    QString letters;
    const long length = editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    for (long i = 0; i < length; ++i) {
        letters += QLatin1Char(
            kLetters[editor.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, i) & 0x1f]);
    }
    return letters;
}

QString Coloured(WorkBoxEditor& editor, const char* text) {
    editor.loadDocument(QString::fromLatin1(text));
    editor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    return Styles(editor);
}

TEST(WorkBoxEditorTest, ColoursHtmlOnlySoAStrayMarkChangesNothingAfterIt) {
    WorkBoxEditor editor;
    const struct {
        const char* name;
        const char* text;
        const char* styles;
    } cases[] = {
        // "<?" and "<%" are text; the tags after them keep their colours.
        {"a stray <?", "a<?b<p class=\"x\">c</p>", "DDDDTTIAAAAAEQQQTDTTTT"},
        {"a stray <%", "<% x %><b id=a>&amp;&x</b>", "DDDDDDDTTIAAEUTNNNNNDDTTTT"},
        {"a comment and a declaration", "<!-- <p> -->x<!DOCTYPE html>y",
         "CCCCCCCCCCCCDXXXXXXXXXXXXXXXD"},
        {"a < that opens no tag", "a < b <3 </ c", "DDDDDDDDDDDDD"},
        // What a script holds is plain up to its own end tag; "a<b" is no tag there.
        {"a script", "<script>a<b</p></SCRIPT>c", "TTTTTTTTJJJJJJJTTTTTTTTTD"},
        {"a style", "<style x='1'>p{}</style>", "TTTTTTIAESSSTYYYTTTTTTTT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Coloured(editor, c.text).toStdString(), c.styles);
    }
}

TEST(WorkBoxEditorTest, ColouringFromAnyLineGivesWhatColouringFromTheStartGave) {
    // Lines that end inside a tag, a quoted value, a comment, a declaration and a script.
    const char* page =
        "<p class=\"a\r\nb\"\r\n id =\n'c'>\r\n<!-- one\r\n--> two <!DOCTYPE\n"
        "html><script\ntype=x>if (a<b)\n{}</script\n><style>\np{}\n</style> &amp;\r<? x\n<i>";
    WorkBoxEditor editor;
    const QString whole = Coloured(editor, page);
    auto* lexer = qobject_cast<HtmlLexer*>(editor.lexer());
    ASSERT_TRUE(lexer);
    const long length = editor.SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    for (int line = 1; line < editor.lines(); ++line) {
        const long start = editor.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, line);
        // Spoil the styles from the line on, then colour them again from there.
        editor.SendScintilla(QsciScintillaBase::SCI_STARTSTYLING,
                             static_cast<unsigned long>(start));
        editor.SendScintilla(QsciScintillaBase::SCI_SETSTYLING,
                             static_cast<unsigned long>(length - start), long(HtmlLexer::Unquoted));
        lexer->styleText(int(start), int(length));
        EXPECT_EQ(Styles(editor).toStdString(), whole.toStdString()) << "from line " << line;
    }
}

TEST(WorkBoxEditorTest, TakesItsColoursFromThePaletteAndKeepsThemReadable) {
    // Light and dark palettes whose own text colour is too faint on its background.
    const auto palette = [](QColor window, QColor windowText, QColor base, QColor text) {
        QPalette p;
        p.setColor(QPalette::Window, window);
        p.setColor(QPalette::WindowText, windowText);
        p.setColor(QPalette::Base, base);
        p.setColor(QPalette::Text, text);
        return p;
    };
    const QPalette dark = palette(0x2b2b2b, 0xe0e0e0, 0x1e1e1e, 0xdcdcdc);
    const QPalette light = palette(0xefefef, 0x808080, Qt::white, Qt::black);
    WorkBoxEditor editor;
    for (const QPalette* p : {&dark, &light, &dark}) {
        editor.setPalette(*p);
        // The editor reports colours in their blue-green-red form.
        auto colour = [&](unsigned int message, int style) {
            const long bgr = editor.SendScintilla(message, static_cast<unsigned long>(style));
            return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
        };
        EXPECT_EQ(colour(QsciScintillaBase::SCI_STYLEGETBACK, QsciScintillaBase::STYLE_DEFAULT),
                  p->color(QPalette::Base));
        QList<int> styles{QsciScintillaBase::STYLE_DEFAULT, QsciScintillaBase::STYLE_LINENUMBER};
        for (int style = 0; style < HtmlLexer::StyleCount; ++style) styles << style;
        for (const int style : styles) {
            const QColor fore = colour(QsciScintillaBase::SCI_STYLEGETFORE, style);
            const QColor back = colour(QsciScintillaBase::SCI_STYLEGETBACK, style);
            EXPECT_GE(ContrastRatio(fore, back), 4.5)
                << style << " " << fore.name().toStdString() << " on " << back.name().toStdString();
        }
        // Each kind of mark reads on the paper, each in a colour of its own.
        QSet<QRgb> markColours;
        for (int kind = 0; kind < WorkBoxEditor::kMarkKinds; ++kind) {
            const QColor mark = editor.markColour(WorkBoxEditor::Mark(kind));
            EXPECT_GE(ContrastRatio(mark, p->color(QPalette::Base)), 4.5)
                << kind << " " << mark.name().toStdString();
            markColours.insert(mark.rgb());
        }
        EXPECT_EQ(markColours.size(), WorkBoxEditor::kMarkKinds);
    }
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
}

TEST(WorkBoxEditorTest, AShortPageDropsTheScrollBarOfAWideOne) {
    WorkBoxEditor editor;
    editor.resize(300, 200);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    const auto scrollWidth = [&] {
        return editor.SendScintilla(QsciScintillaBase::SCI_GETSCROLLWIDTH);
    };
    // The editor widens its scroll bar to a line it has painted on a timer of its own, so
    // the test waits for the scroll bar rather than for a time.
    editor.loadDocument(QString(500, u'w'));
    editor.repaint();
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor.horizontalScrollBar()->maximum() > 0; }));
    EXPECT_GT(scrollWidth(), 1000);
    // Loading narrows it at once; painting the short line cannot widen it far.
    editor.loadDocument(QStringLiteral("short"));
    editor.repaint();
    QCoreApplication::processEvents();
    EXPECT_LT(scrollWidth(), 200);
    EXPECT_EQ(editor.horizontalScrollBar()->maximum(), 0);
}

}  // namespace
}  // namespace quillet
