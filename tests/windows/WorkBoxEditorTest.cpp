#include "windows/WorkBoxEditor.h"

#include "documents/CodePage.h"

#include <gtest/gtest.h>

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
            WorkBoxEditor editor;
            editor.replaceDocument(QStringLiteral("earlier"));
            editor.loadDocument(before);  // a fresh document: nothing to undo
            editor.replaceDocument(after);
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
        const char* text;
        QsciScintilla::EolMode mode;
    } cases[] = {
        {"a\r\nb\nc", QsciScintilla::EolWindows},   {"a\nb\r\nc", QsciScintilla::EolUnix},
        {"a\rb\r\n", QsciScintilla::EolMac},        {"a\r", QsciScintilla::EolMac},
        {"no line end", QsciScintilla::EolWindows},
    };
    for (const auto& c : cases) {
        editor.loadDocument(QString::fromLatin1(c.text));
        EXPECT_EQ(editor.eolMode(), c.mode) << c.text;
    }
}

}  // namespace
}  // namespace quillet
