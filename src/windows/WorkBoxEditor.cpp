#include "windows/WorkBoxEditor.h"

#include <Qsci/qscilexerhtml.h>
#include <QFontDatabase>
#include <QPalette>
#include <algorithm>

namespace quillet {

namespace {

/// Characters converted and appended at a time.
constexpr qsizetype kSliceLength = qsizetype(1) << 20;

}  // namespace

WorkBoxEditor::WorkBoxEditor(QWidget* parent) : QsciScintilla(parent) {
    setUtf8(true);

    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QColor paper = palette().color(QPalette::Base);
    auto* lexer = new QsciLexerHTML(this);
    lexer->setDefaultFont(mono);
    lexer->setFont(mono);
    lexer->setDefaultPaper(paper);
    lexer->setPaper(paper);
    setLexer(lexer);

    setMarginsFont(mono);
    setMarginLineNumbers(0, true);
    setMarginWidth(1, 0);
    setWrapMode(WrapNone);
    setEolVisibility(false);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    setEolMode(EolWindows);
    connect(this, &QsciScintilla::linesChanged, this, &WorkBoxEditor::fitLineNumbers);
    fitLineNumbers();
}

QString WorkBoxEditor::documentText() const {
    const long length = SendScintilla(SCI_GETLENGTH);
    if (length <= 0) return QString();
    // The pointer to the whole text, contiguous once the editor has closed its gap.
    const auto* bytes = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return QString::fromUtf8(bytes, qsizetype(length));
}

bool WorkBoxEditor::isDocumentEmpty() const {
    return SendScintilla(SCI_GETLENGTH) <= 0;
}

void WorkBoxEditor::appendText(QStringView text) {
    for (qsizetype start = 0; start < text.size();) {
        qsizetype length = std::min(kSliceLength, text.size() - start);
        // Keep a surrogate pair within one slice.
        if (start + length < text.size() && text[start + length - 1].isHighSurrogate()) ++length;
        const QByteArray bytes = text.sliced(start, length).toUtf8();
        SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.constData());
        start += length;
    }
}

void WorkBoxEditor::loadDocument(QStringView text) {
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0);
    SendScintilla(SCI_CLEARALL);
    appendText(text);
    SendScintilla(SCI_SETUNDOCOLLECTION, 1);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    adoptLineEnds(text);
    setReadOnly(wasReadOnly);
}

void WorkBoxEditor::replaceDocument(QStringView text) {
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    const long firstLine = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    SendScintilla(SCI_BEGINUNDOACTION);
    SendScintilla(SCI_DELETERANGE, 0UL, SendScintilla(SCI_GETLENGTH));
    appendText(text);
    SendScintilla(SCI_ENDUNDOACTION);
    const long length = SendScintilla(SCI_GETLENGTH);
    // The caret goes back to its offset, moved to the start of the character it falls in,
    // without scrolling.
    const long position = caret >= length ? length : SendScintilla(SCI_POSITIONBEFORE, caret + 1);
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(position));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(firstLine));
    setReadOnly(wasReadOnly);
}

bool WorkBoxEditor::hasUnsavedChanges() const {
    return SendScintilla(SCI_GETMODIFY) != 0;
}

void WorkBoxEditor::markSaved() {
    SendScintilla(SCI_SETSAVEPOINT);
}

void WorkBoxEditor::adoptLineEnds(QStringView text) {
    const auto end =
        std::find_if(text.begin(), text.end(), [](QChar c) { return c == u'\r' || c == u'\n'; });
    EolMode mode = EolWindows;
    if (end != text.end() && *end == u'\n') {
        mode = EolUnix;
    } else if (end != text.end() && (end + 1 == text.end() || *(end + 1) != u'\n')) {
        mode = EolMac;
    }
    setEolMode(mode);
}

void WorkBoxEditor::fitLineNumbers() {
    const QString widest = QString(QString::number(std::max(1, lines())).size() + 1, u'9');
    setMarginWidth(0, widest);
}

}  // namespace quillet
