#include "windows/WorkBoxEditor.h"

#include "documents/CodePage.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

/// Every byte value, and the line ends and control characters that a page can hold.
QByteArray AwkwardBytes() {
    static const char kLines[] = "<p>crlf\r\nlf\nlone cr\rnul\0after\ttab\r\n\r\r\n\n";
    QByteArray bytes(kLines, sizeof(kLines) - 1);
    for (int b = 0; b < 256; ++b) bytes.append(char(b));
    bytes.append("\r");  // a document that ends in a lone CR
    return bytes;
}

QByteArray ThroughEditor(WorkBoxEditor& editor) {
    qsizetype bad = -1;
    const std::optional<QByteArray> bytes = EncodeCodePage(editor.documentText(), &bad);
    EXPECT_TRUE(bytes) << "unencodable at " << bad;
    return bytes.value_or(QByteArray());
}

TEST(WorkBoxEditorTest, HoldsEveryByteAndLineEndExactly) {
    WorkBoxEditor editor;
    const QByteArray bytes = AwkwardBytes();
    editor.loadDocument(DecodeCodePage(bytes));
    EXPECT_EQ(ThroughEditor(editor), bytes);
    EXPECT_EQ(editor.documentText().size(), bytes.size());

    // Replacing goes the same way, whatever was there before.
    editor.replaceDocument(DecodeCodePage(bytes + bytes));
    EXPECT_EQ(ThroughEditor(editor), bytes + bytes);
}

TEST(WorkBoxEditorTest, KeepsCharactersAcrossSliceBoundaries) {
    // Over a million characters with a surrogate pair and multi-byte characters around
    // the point where the text is cut into slices.
    QString text(1 << 20, u'x');
    text[(1 << 20) - 1] = QChar(0xD83D);
    text.append(QChar(0xDE00));
    text.append(QStringLiteral("\u20AC\u00E9<p>"));
    text[(1 << 20) - 2] = QChar(0x00E9);
    WorkBoxEditor editor;
    editor.loadDocument(text);
    EXPECT_EQ(editor.documentText(), text);
}

TEST(WorkBoxEditorTest, LoadingStartsAFreshDocument) {
    WorkBoxEditor editor;
    editor.loadDocument(QStringLiteral("first"));
    editor.replaceDocument(QStringLiteral("second"));
    editor.loadDocument(QStringLiteral("third"));
    EXPECT_FALSE(editor.isUndoAvailable());
    EXPECT_FALSE(editor.hasUnsavedChanges());
    EXPECT_EQ(editor.documentText(), QStringLiteral("third"));
}

TEST(WorkBoxEditorTest, ReplacingIsOneUndoStep) {
    WorkBoxEditor editor;
    const QString before = QStringLiteral("<p>one\r\n<p>two\r\n") + QString(3 << 20, u'a');
    editor.loadDocument(before);
    const QString after = QStringLiteral("<p>one\r\n</p><p>two\r\n") + QString(3 << 20, u'b');
    editor.replaceDocument(after);
    EXPECT_TRUE(editor.hasUnsavedChanges());
    EXPECT_EQ(editor.documentText(), after);

    editor.undo();
    EXPECT_EQ(editor.documentText(), before);
    EXPECT_FALSE(editor.hasUnsavedChanges());
    EXPECT_FALSE(editor.isUndoAvailable());
    editor.redo();
    EXPECT_EQ(editor.documentText(), after);

    editor.markSaved();
    EXPECT_FALSE(editor.hasUnsavedChanges());
}

TEST(WorkBoxEditorTest, ReplacementUndoesExactlyWhateverTheFirstCharacter) {
    // The first character is the last to go; it may be a line end pair or a character of
    // several bytes, and the new text may be empty or shorter.
    const QString befores[] = {QStringLiteral("\r\nrest"), QStringLiteral("\u00E9t\u00E9"),
                               QStringLiteral("\u20AC"), QStringLiteral("x")};
    const QString afters[] = {QString(), QStringLiteral("\r"), QStringLiteral("\u00E9")};
    for (const QString& before : befores) {
        for (const QString& after : afters) {
            WorkBoxEditor editor;
            editor.loadDocument(before);
            const quint64 revision = editor.revision();
            editor.replaceDocument(after);
            EXPECT_EQ(editor.documentText(), after);
            EXPECT_NE(editor.revision(), revision);
            editor.undo();
            EXPECT_EQ(editor.documentText(), before);
            EXPECT_FALSE(editor.isUndoAvailable());
        }
    }
}

TEST(WorkBoxEditorTest, RevisionFollowsEveryChange) {
    WorkBoxEditor editor;
    editor.loadDocument(QStringLiteral("abc"));
    quint64 revision = editor.revision();
    editor.insert(QStringLiteral("x"));
    EXPECT_NE(editor.revision(), revision);
    revision = editor.revision();
    editor.undo();
    EXPECT_NE(editor.revision(), revision);
    revision = editor.revision();
    editor.documentText();
    EXPECT_EQ(editor.revision(), revision);
}

TEST(WorkBoxEditorTest, ReadOnlyStaysAsItWas) {
    WorkBoxEditor editor;
    editor.setReadOnly(true);
    editor.loadDocument(QStringLiteral("a"));
    editor.replaceDocument(QStringLiteral("b"));
    EXPECT_EQ(editor.documentText(), QStringLiteral("b"));
    EXPECT_TRUE(editor.isReadOnly());
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
