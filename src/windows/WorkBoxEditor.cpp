// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/WorkBoxEditor.h"

#include "documents/TextEncoding.h"
#include "windows/Contrast.h"
#include "windows/HtmlLexer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QFontDatabase>
#include <QPalette>
#include <QStringDecoder>
#include <algorithm>

namespace quillet {

namespace {

/// The indicator that draws a kind of mark: the first ones free for the program's own use.
int MarkIndicator(WorkBoxEditor::Mark kind) {
    return QsciScintillaBase::INDIC_CONTAINER + int(kind);
}

/// Characters converted and appended at a time.
constexpr qsizetype kSliceLength = qsizetype(1) << 22;

/// Bytes of `text` in UTF-8.
qsizetype Utf8Length(QStringView text) {
    qsizetype bytes = text.size();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Two more for a character from U+0800 on, one more below; a surrogate pair, four
        // bytes for two halves, counts two more for each half.
        if (u >= 0x80) bytes += (u >= 0x800 && !QChar::isSurrogate(u)) ? 2 : 1;
    }
    return bytes;
}

/// The accessible object of a document view while no assistive technology listens: it
/// has the view's name and role, and nothing that costs time. QScintilla's own, which
/// answers questions about the text, counts the characters from the start of the document
/// at every move of the caret (over a tenth of a second at the end of a 50 MB page); it
/// is made instead once an assistive technology starts listening (see
/// accessibilityActiveChanged).
QAccessibleInterface* MakeAccessible(const QString& className, QObject* object) {
    if (className != QLatin1String(WorkBoxEditor::staticMetaObject.className()) ||
        QAccessible::isActive()) {
        return nullptr;
    }
    auto* view = qobject_cast<QWidget*>(object);
    return view ? new QAccessibleWidget(view, QAccessible::EditableText) : nullptr;
}

}  // namespace

/// While the whole text is loaded or replaced, the editor sends no change notifications
/// at all (see chooseChangeNotices).
class WorkBoxEditor::BulkChange {
  public:
    explicit BulkChange(WorkBoxEditor& editor)
        : editor_(editor), wasReadOnly_(editor.isReadOnly()) {
        editor_.setReadOnly(false);
        editor_.SendScintilla(SCI_SETMODEVENTMASK, 0);
    }
    ~BulkChange() {
        editor_.chooseChangeNotices();
        editor_.setReadOnly(wasReadOnly_);
        ++editor_.revision_;
        editor_.fitLineNumbers();
    }
    BulkChange(const BulkChange&) = delete;
    BulkChange& operator=(const BulkChange&) = delete;

  private:
    WorkBoxEditor& editor_;
    bool wasReadOnly_;
};

WorkBoxEditor::WorkBoxEditor(QWidget* parent) : QsciScintilla(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(MakeAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setUtf8(true);

    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    lexer_ = new HtmlLexer(this);
    lexer_->setDefaultFont(mono);
    lexer_->setFont(mono);
    setLexer(lexer_);
    // A jump far into a large page shows it at once; the text before it is coloured
    // in the background.
    SendScintilla(SCI_SETIDLESTYLING, SC_IDLESTYLING_TOVISIBLE);

    setMarginsFont(mono);
    setMarginLineNumbers(0, true);
    setMarginWidth(1, 0);
    setWrapMode(WrapNone);
    setEolVisibility(false);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    setEolMode(EolWindows);
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this, [this](int, int type) {
        if (type &
            (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT | SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE)) {
            ++revision_;
        }
    });
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, &WorkBoxEditor::fitLineNumbers);
    chooseChangeNotices();
    QAccessible::installActivationObserver(this);
    fitLineNumbers();
    defineMarks();
    applyPalette();
}

WorkBoxEditor::~WorkBoxEditor() {
    QAccessible::removeActivationObserver(this);
}

void WorkBoxEditor::chooseChangeNotices() {
    // QScintilla answers every notice of inserted or deleted text with an accessibility
    // event, for which it counts the characters from the start of the document and copies
    // the changed text: a keystroke near the end of a 50 MB page costs over a second. So
    // those notices are asked for only while an assistive technology listens; otherwise
    // the notices that come before a change are enough to see that the text changed.
    SendScintilla(SCI_SETMODEVENTMASK, QAccessible::isActive()
                                           ? SC_MODEVENTMASKALL
                                           : SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE);
}

void WorkBoxEditor::accessibilityActiveChanged(bool) {
    chooseChangeNotices();
    // The accessible object made while nobody listened gives way to QScintilla's, and the
    // other way round (see MakeAccessible).
    if (QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(this)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(accessible));
    }
}

void WorkBoxEditor::applyPalette() {
    const QPalette colours = palette();
    const QColor paper = colours.color(QPalette::Base);
    const QColor text = ReadableOn(colours.color(QPalette::Text), paper);
    lexer_->setDefaultPaper(paper);
    lexer_->setDefaultColor(text);
    for (int style = 0; style < HtmlLexer::StyleCount; ++style) {
        lexer_->setPaper(paper, style);
        lexer_->setColor(ReadableOn(HtmlLexer::DesignColour(style, text), paper), style);
    }
    // The space after the ends of lines, and the line numbers in their margin.
    SendScintilla(SCI_STYLESETBACK, STYLE_DEFAULT, paper);
    SendScintilla(SCI_STYLESETFORE, STYLE_DEFAULT, text);
    const QColor margin = colours.color(QPalette::Window);
    setMarginsBackgroundColor(margin);
    setMarginsForegroundColor(ReadableOn(colours.color(QPalette::WindowText), margin));
    setCaretForegroundColor(text);
    const QColor selection = colours.color(QPalette::Highlight);
    setSelectionBackgroundColor(selection);
    setSelectionForegroundColor(ReadableOn(colours.color(QPalette::HighlightedText), selection));
    // The marks: green, orange and crimson as drawn on white, and the palette's own colour
    // for places found, each made readable on the paper.
    const std::pair<Mark, QColor> marks[] = {
        {Mark::Inserted, QColor(0x1b, 0x7f, 0x3b)},
        {Mark::OtherWouldAdd, QColor(0xb3, 0x59, 0x00)},
        {Mark::OtherWouldNotAdd, QColor(0xc2, 0x18, 0x5b)},
        {Mark::Found, selection},
    };
    for (const auto& [kind, colour] : marks) {
        SendScintilla(SCI_INDICSETFORE, MarkIndicator(kind), ReadableOn(colour, paper));
    }
}

void WorkBoxEditor::defineMarks() {
    const struct {
        Mark kind;
        int style;
    } looks[] = {
        {Mark::Inserted, INDIC_BOX},
        {Mark::OtherWouldAdd, INDIC_COMPOSITIONTHICK},
        {Mark::OtherWouldNotAdd, INDIC_STRIKE},
        {Mark::Found, INDIC_ROUNDBOX},
    };
    for (const auto& look : looks) {
        const int indicator = MarkIndicator(look.kind);
        SendScintilla(SCI_INDICSETSTYLE, indicator, look.style);
        // Outlines and lines only: the text keeps its background, and so its contrast.
        SendScintilla(SCI_INDICSETALPHA, indicator, 0L);
        SendScintilla(SCI_INDICSETOUTLINEALPHA, indicator, 255L);
        SendScintilla(SCI_INDICSETUNDER, indicator, 1L);
    }
}

QColor WorkBoxEditor::markColour(Mark kind) const {
    // Scintilla keeps a colour as 0xBBGGRR.
    const long bgr = SendScintilla(SCI_INDICGETFORE, MarkIndicator(kind));
    return QColor(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
}

void WorkBoxEditor::addMarks(Mark kind, const QList<TextSpan>& ranges) {
    SendScintilla(SCI_SETINDICATORCURRENT, MarkIndicator(kind));
    for (const TextSpan& range : ranges) {
        SendScintilla(SCI_INDICATORFILLRANGE, static_cast<unsigned long>(range.start),
                      long(range.length));
    }
}

void WorkBoxEditor::clearMarks(Mark kind) {
    SendScintilla(SCI_SETINDICATORCURRENT, MarkIndicator(kind));
    SendScintilla(SCI_INDICATORCLEARRANGE, 0UL, SendScintilla(SCI_GETLENGTH));
}

QList<TextSpan> WorkBoxEditor::marks(Mark kind) const {
    QList<TextSpan> found;
    const int indicator = MarkIndicator(kind);
    const long length = SendScintilla(SCI_GETLENGTH);
    // The indicator's runs, marked and unmarked by turns.
    for (long position = 0; position < length;) {
        const long end = SendScintilla(SCI_INDICATOREND, indicator, position);
        if (end <= position) break;
        if (SendScintilla(SCI_INDICATORVALUEAT, indicator, position) != 0) {
            found.append({position, end - position});
        }
        position = end;
    }
    return found;
}

void WorkBoxEditor::changeEvent(QEvent* event) {
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) applyPalette();
}

QString WorkBoxEditor::documentText() const {
    const QByteArrayView bytes = documentBytes();
    // A U+FEFF at the start is a character of the text, not a mark to drop.
    if (std::optional<QString> text = FromGeneralizedUtf8(bytes, nullptr)) return *text;
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QByteArrayView WorkBoxEditor::documentBytes() const {
    const long length = SendScintilla(SCI_GETLENGTH);
    if (length <= 0) return {};
    // The pointer to the whole text, contiguous once the editor has closed its gap.
    const auto* bytes = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return QByteArrayView(bytes, qsizetype(length));
}

bool WorkBoxEditor::isDocumentEmpty() const {
    return SendScintilla(SCI_GETLENGTH) <= 0;
}

void WorkBoxEditor::reserveFor(qsizetype bytes) {
    // Room for the whole text at once, rather than growing the buffer slice by slice, with
    // some to spare: a repair that adds a little then fits in the same buffer, and the
    // document is not copied to a new one (the editor's buffer never shrinks).
    const qsizetype length = SendScintilla(SCI_GETLENGTH);
    if (length == 0) allocated_ = 0;  // an emptied document has given its buffer back
    const qsizetype needed = length + bytes + 1;
    if (needed > allocated_) {
        allocated_ = needed + needed / 16;
        SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(allocated_));
    } else {
        SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(needed));  // grows if need be
    }
}

void WorkBoxEditor::appendText(QStringView text) {
    reserveFor(Utf8Length(text));
    for (qsizetype start = 0; start < text.size();) {
        qsizetype length = std::min(kSliceLength, text.size() - start);
        // Keep a surrogate pair within one slice.
        if (start + length < text.size() && text[start + length - 1].isHighSurrogate()) ++length;
        // A surrogate kept from a damaged UTF-16 page keeps its place as its three bytes.
        const QByteArray bytes = ToGeneralizedUtf8(text.sliced(start, length));
        SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.constData());
        start += length;
    }
}

void WorkBoxEditor::appendUtf8(QByteArrayView text) {
    reserveFor(text.size());
    if (!text.isEmpty()) {
        SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(text.size()), text.data());
    }
}

void WorkBoxEditor::startLoading() {
    // The horizontal scroll bar follows the widest line shown of this page, not of one
    // shown before.
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0);
    SendScintilla(SCI_CLEARALL);
}

void WorkBoxEditor::finishLoading() {
    SendScintilla(SCI_SETUNDOCOLLECTION, 1);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    adoptLineEnds();
}

void WorkBoxEditor::loadDocument(QStringView text) {
    const BulkChange change(*this);
    startLoading();
    appendText(text);
    finishLoading();
}

void WorkBoxEditor::loadDocumentUtf8(QByteArrayView text) {
    const BulkChange change(*this);
    startLoading();
    appendUtf8(text);
    finishLoading();
}

void WorkBoxEditor::startReplacing(long* firstLine, long* caret, long* first) {
    *firstLine = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    *caret = SendScintilla(SCI_GETCURRENTPOS);
    SendScintilla(SCI_BEGINUNDOACTION);
    // The first character stays until the new text is in: deleting everything would make
    // the editor give its buffer back and build a new one for the new text.
    const long oldLength = SendScintilla(SCI_GETLENGTH);
    *first = oldLength > 0 ? SendScintilla(SCI_POSITIONAFTER, 0UL) : 0;
    SendScintilla(SCI_DELETERANGE, static_cast<unsigned long>(*first), oldLength - *first);
}

void WorkBoxEditor::finishReplacing(long firstLine, long caret, long first) {
    SendScintilla(SCI_DELETERANGE, 0UL, first);
    SendScintilla(SCI_ENDUNDOACTION);
    const long length = SendScintilla(SCI_GETLENGTH);
    // The caret goes back to its offset, moved to the start of the character it falls in,
    // without scrolling.
    const long position = caret >= length ? length : SendScintilla(SCI_POSITIONBEFORE, caret + 1);
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(position));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(firstLine));
}

void WorkBoxEditor::replaceDocumentUtf8(QByteArrayView text) {
    const BulkChange change(*this);
    long firstLine = 0, caret = 0, first = 0;
    startReplacing(&firstLine, &caret, &first);
    appendUtf8(text);
    finishReplacing(firstLine, caret, first);
}

void WorkBoxEditor::insertBefore(const QList<qint64>& offsets, QByteArrayView insert) {
    if (offsets.isEmpty()) return;
    const BulkChange change(*this);
    const QByteArray bytes = insert.toByteArray();
    // Room for every insertion at once, so the buffer is not moved halfway.
    const qsizetype needed = SendScintilla(SCI_GETLENGTH) + offsets.size() * bytes.size() + 1;
    if (needed > allocated_) {
        allocated_ = needed + needed / 16;
        SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(allocated_));
    }
    // Each goes in as the replacement of an empty target: unlike SCI_INSERTTEXT, that sets
    // no selection for every insertion (a tenth of the time on a large page). Text inserted
    // before the caret moves the caret with it, and no line is added.
    SendScintilla(SCI_BEGINUNDOACTION);
    qsizetype added = 0;
    for (const qint64 at : offsets) {
        const long position = long(at + added);
        SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(position), position);
        SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size()),
                      bytes.constData());
        added += bytes.size();
    }
    SendScintilla(SCI_ENDUNDOACTION);
}

long WorkBoxEditor::searchTarget(long from, long to, const QByteArray& bytes,
                                 SearchOptions options) {
    SendScintilla(SCI_SETSEARCHFLAGS, (options.matchCase ? SCFIND_MATCHCASE : 0) |
                                          (options.wholeWords ? SCFIND_WHOLEWORD : 0));
    SendScintilla(SCI_SETTARGETSTART, static_cast<unsigned long>(from));
    SendScintilla(SCI_SETTARGETEND, static_cast<unsigned long>(to));
    return SendScintilla(SCI_SEARCHINTARGET, static_cast<unsigned long>(bytes.size()),
                         bytes.constData());
}

WorkBoxEditor::Found WorkBoxEditor::findText(const QString& text, SearchOptions options,
                                             bool forward) {
    if (text.isEmpty()) return Found::No;
    const QByteArray bytes = text.toUtf8();
    const long length = SendScintilla(SCI_GETLENGTH);
    // A backward search runs from the larger position to the smaller one.
    const long from = SendScintilla(forward ? SCI_GETSELECTIONEND : SCI_GETSELECTIONSTART);
    Found found = Found::Yes;
    long at = searchTarget(from, forward ? length : 0, bytes, options);
    if (at < 0) {
        found = Found::AfterWrapping;
        at = searchTarget(forward ? 0 : length, from, bytes, options);
    }
    if (at < 0) return Found::No;
    const long end = SendScintilla(SCI_GETTARGETEND);
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(forward ? at : end), forward ? end : at);
    SendScintilla(SCI_SCROLLCARET);
    return found;
}

bool WorkBoxEditor::replaceSelection(const QString& text, const QString& replacement,
                                     SearchOptions options) {
    const long start = SendScintilla(SCI_GETSELECTIONSTART);
    const long end = SendScintilla(SCI_GETSELECTIONEND);
    if (text.isEmpty() || isReadOnly() || start == end) return false;
    if (searchTarget(start, end, text.toUtf8(), options) != start ||
        SendScintilla(SCI_GETTARGETEND) != end) {
        return false;
    }
    const QByteArray bytes = replacement.toUtf8();
    SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(bytes.size()), bytes.constData());
    const long after = start + long(bytes.size());
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(after), after);
    return true;
}

int WorkBoxEditor::replaceAll(const QString& text, const QString& replacement,
                              SearchOptions options) {
    if (text.isEmpty() || isReadOnly()) return 0;
    const QByteArray bytes = text.toUtf8();
    const QByteArray replacementBytes = replacement.toUtf8();
    int count = 0;
    long from = 0;
    SendScintilla(SCI_BEGINUNDOACTION);
    for (;;) {
        const long at = searchTarget(from, SendScintilla(SCI_GETLENGTH), bytes, options);
        if (at < 0) break;
        SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(replacementBytes.size()),
                      replacementBytes.constData());
        // On after the replacement, so that a replacement holding the text is not replaced
        // again.
        from = at + long(replacementBytes.size());
        ++count;
    }
    SendScintilla(SCI_ENDUNDOACTION);
    return count;
}

int WorkBoxEditor::markMatches(const QString& text, SearchOptions options, int most) {
    clearMarks(Mark::Found);
    if (text.isEmpty()) return 0;
    const QByteArray bytes = text.toUtf8();
    const long length = SendScintilla(SCI_GETLENGTH);
    // The search moves the target; the one of a replacement in hand is kept.
    const long targetStart = SendScintilla(SCI_GETTARGETSTART);
    const long targetEnd = SendScintilla(SCI_GETTARGETEND);
    QList<TextSpan> found;
    for (long from = 0; found.size() <= most;) {
        const long at = searchTarget(from, length, bytes, options);
        if (at < 0) break;
        const long end = SendScintilla(SCI_GETTARGETEND);
        found.append({at, end - at});
        from = std::max(end, at + 1);
    }
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(targetStart), targetEnd);
    addMarks(Mark::Found, found.mid(0, most));
    return int(found.size());
}

bool WorkBoxEditor::hasUnsavedChanges() const {
    return SendScintilla(SCI_GETMODIFY) != 0;
}

void WorkBoxEditor::markSaved() {
    SendScintilla(SCI_SETSAVEPOINT);
}

void WorkBoxEditor::adoptLineEnds() {
    const QByteArrayView text = documentBytes();
    const auto end =
        std::find_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
    EolMode mode = EolWindows;
    if (end != text.end() && *end == '\n') {
        mode = EolUnix;
    } else if (end != text.end() && (end + 1 == text.end() || *(end + 1) != '\n')) {
        mode = EolMac;
    }
    setEolMode(mode);
}

void WorkBoxEditor::fitLineNumbers() {
    const int digits = int(QString::number(std::max(1, lines())).size());
    if (digits == lineNumberDigits_) return;
    lineNumberDigits_ = digits;
    setMarginWidth(0, QString(digits + 1, u'9'));
}

}  // namespace quillet
