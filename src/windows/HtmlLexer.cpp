// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/HtmlLexer.h"

#include <Qsci/qsciscintilla.h>
#include <QByteArray>
#include <algorithm>
#include <vector>

namespace quillet {

namespace {

/// Characters read past the end of the range to tell what a "<" or "&" starts.
constexpr long kLookAhead = 64;

/// Which element's raw text a start tag opens.
enum RawText : int { NoRawText = 0, ScriptRawText = 1, StyleRawText = 2 };

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsNameChar(char c) {
    return IsLetter(c) || (c >= '0' && c <= '9');
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

/// Whether `text` at `at` starts with the lower-case `word`, whatever the case there.
bool StartsWithWord(const char* text, long at, long size, const char* word) {
    for (long i = 0; word[i] != '\0'; ++i) {
        if (at + i >= size || Lower(text[at + i]) != word[i]) return false;
    }
    return true;
}

/// The length of a character reference ("&amp;", "&#233;", "&#xE9;") at `at`, or 0.
long EntityLength(const char* text, long at, long size) {
    long i = at + 1;
    if (i < size && text[i] == '#') {
        ++i;
        if (i < size && (text[i] == 'x' || text[i] == 'X')) ++i;
    }
    const long nameStart = i;
    while (i < size && i - at < 40 && IsNameChar(text[i])) ++i;
    if (i == nameStart || i >= size || text[i] != ';') return 0;
    return i + 1 - at;
}

}  // namespace

HtmlLexer::HtmlLexer(QObject* parent) : QsciLexerCustom(parent) {}

const char* HtmlLexer::language() const {
    return "HTML";
}

QString HtmlLexer::description(int style) const {
    switch (style) {
        case Default:
            return tr("Text");
        case Tag:
            return tr("Tag");
        case TagInterior:
            return tr("Space inside a tag");
        case AttributeName:
            return tr("Attribute");
        case AttributeEquals:
            return tr("Equals sign of an attribute");
        case DoubleQuoted:
            return tr("Value in double quotes");
        case SingleQuoted:
            return tr("Value in single quotes");
        case Unquoted:
            return tr("Value without quotes");
        case Comment:
            return tr("Comment");
        case Declaration:
            return tr("Declaration");
        case Entity:
            return tr("Character reference");
        case ScriptText:
            return tr("Script");
        case StyleText:
            return tr("Style sheet");
        default:
            return QString();
    }
}

QColor HtmlLexer::DesignColour(int style, const QColor& text) {
    switch (style) {
        case Tag:
        case TagInterior:
        case AttributeEquals:
            return QColor(0x00, 0x00, 0x99);
        case AttributeName:
            return QColor(0x00, 0x66, 0x66);
        case DoubleQuoted:
        case SingleQuoted:
        case Unquoted:
            return QColor(0x99, 0x00, 0x33);
        case Comment:
            return QColor(0x2e, 0x6b, 0x1f);
        case Declaration:
            return QColor(0x80, 0x40, 0x00);
        case Entity:
            return QColor(0x80, 0x00, 0x80);
        default:
            return text;
    }
}

void HtmlLexer::styleText(int start, int end) {
    QsciScintilla* view = editor();
    if (!view || end <= start) return;
    // From the start of the line, in the state the line before it ended in.
    const long firstLine = view->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, start);
    start = int(view->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, firstLine));
    const long length = view->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    const long size = std::min<long>(length - start, long(end) - start + kLookAhead);
    const long count = std::min(long(end) - start, size);
    // A pointer into the editor's buffer for the range, moving no more of it than that.
    const auto* text = reinterpret_cast<const char*>(view->SendScintilla(
        QsciScintillaBase::SCI_GETRANGEPOINTER, static_cast<unsigned long>(start), size));
    if (!text || count <= 0) return;

    Style state = Default;
    int raw = NoRawText;  // the raw text the tag being read opens
    if (start > 0) {
        state = Style(view->SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, start - 1));
        switch (state) {
            case TagInterior:
            case AttributeEquals:
            case DoubleQuoted:
            case SingleQuoted:
                raw = int(view->SendScintilla(QsciScintillaBase::SCI_GETLINESTATE, firstLine - 1));
                break;
            case Comment:
            case Declaration:
            case ScriptText:
            case StyleText:
                break;
            default:
                state = Default;  // a line never ends inside a name or an unquoted value
                break;
        }
    }

    std::vector<char> styles(static_cast<size_t>(count), static_cast<char>(Default));
    long line = firstLine;
    int dashes = 0;        // the "-" just read in a comment
    bool closing = false;  // the tag being read is an end tag
    QByteArray name;       // the start of the tag's name, lower-cased

    // Ends the tag at the ">" at `i`: text follows, or the raw text of script or style.
    auto endTag = [&](long i) {
        styles[size_t(i)] = Tag;
        state = raw == ScriptRawText ? ScriptText : raw == StyleRawText ? StyleText : Default;
        raw = NoRawText;
    };

    for (long i = 0; i < count; ++i) {
        const char c = text[i];
        switch (state) {
            case Default:
            case ScriptText:
            case StyleText: {
                const Style here = state;
                styles[size_t(i)] = char(here);
                if (c == '<') {
                    const char next = i + 1 < size ? text[i + 1] : '\0';
                    const char after = i + 2 < size ? text[i + 2] : '\0';
                    if (here != Default) {
                        // Raw text ends at its own end tag only.
                        const char* word = here == ScriptText ? "</script" : "</style";
                        const long wordLength = here == ScriptText ? 8 : 7;
                        if (!StartsWithWord(text, i, size, word)) break;
                        const char follow = i + wordLength < size ? text[i + wordLength] : ' ';
                        if (!IsSpace(follow) && follow != '/' && follow != '>') break;
                    }
                    if (IsLetter(next) || (next == '/' && IsLetter(after))) {
                        styles[size_t(i)] = Tag;
                        closing = next == '/';
                        if (closing && i + 1 < count) styles[size_t(++i)] = Tag;
                        name.clear();
                        raw = NoRawText;
                        state = Tag;
                    } else if (here == Default && next == '!') {
                        if (after == '-' && i + 3 < size && text[i + 3] == '-') {
                            for (long k = i; k < i + 4 && k < count; ++k)
                                styles[size_t(k)] = Comment;
                            i += 3;
                            dashes = 0;
                            state = Comment;
                        } else {
                            styles[size_t(i)] = Declaration;
                            state = Declaration;
                        }
                    }
                } else if (c == '&' && here == Default) {
                    const long entity = EntityLength(text, i, size);
                    for (long k = i; k < i + entity && k < count; ++k) styles[size_t(k)] = Entity;
                    if (entity > 0) i += entity - 1;
                }
                break;
            }
            case Tag:  // the tag's name
                if (IsSpace(c) || c == '/' || c == '>') {
                    if (!closing) {
                        raw = name == "script"  ? ScriptRawText
                              : name == "style" ? StyleRawText
                                                : NoRawText;
                    }
                    if (c == '>') {
                        endTag(i);
                    } else {
                        styles[size_t(i)] = char(c == '/' ? Tag : TagInterior);
                        state = TagInterior;
                    }
                } else {
                    styles[size_t(i)] = Tag;
                    if (name.size() < 8) name.append(Lower(c));
                }
                break;
            case TagInterior:
                if (c == '>') {
                    endTag(i);
                } else if (c == '/') {
                    styles[size_t(i)] = Tag;
                } else if (c == '=') {
                    styles[size_t(i)] = AttributeEquals;
                    state = AttributeEquals;
                } else if (IsSpace(c)) {
                    styles[size_t(i)] = TagInterior;
                } else {
                    styles[size_t(i)] = AttributeName;
                    state = AttributeName;
                }
                break;
            case AttributeName:
                if (c == '>') {
                    endTag(i);
                } else if (c == '=') {
                    styles[size_t(i)] = AttributeEquals;
                    state = AttributeEquals;
                } else if (IsSpace(c) || c == '/') {
                    styles[size_t(i)] = char(c == '/' ? Tag : TagInterior);
                    state = TagInterior;
                } else {
                    styles[size_t(i)] = AttributeName;
                }
                break;
            case AttributeEquals:
                if (c == '>') {
                    endTag(i);
                } else if (IsSpace(c)) {
                    styles[size_t(i)] = AttributeEquals;
                } else {
                    state = c == '"' ? DoubleQuoted : c == '\'' ? SingleQuoted : Unquoted;
                    styles[size_t(i)] = char(state);
                }
                break;
            case DoubleQuoted:
            case SingleQuoted:
                styles[size_t(i)] = char(state);
                if (c == (state == DoubleQuoted ? '"' : '\'')) state = TagInterior;
                break;
            case Unquoted:
                if (c == '>') {
                    endTag(i);
                } else if (IsSpace(c)) {
                    styles[size_t(i)] = TagInterior;
                    state = TagInterior;
                } else {
                    styles[size_t(i)] = Unquoted;
                }
                break;
            case Comment:
                styles[size_t(i)] = Comment;
                if (c == '>' && dashes >= 2) state = Default;
                dashes = c == '-' ? dashes + 1 : 0;
                break;
            case Declaration:
                styles[size_t(i)] = Declaration;
                if (c == '>') state = Default;
                break;
            default:
                styles[size_t(i)] = Default;
                state = Default;
                break;
        }
        // A line that ends inside a tag keeps whether the tag opens raw text.
        const bool lineEnd = c == '\n' || (c == '\r' && (i + 1 >= size || text[i + 1] != '\n'));
        if (lineEnd) {
            if (state == TagInterior || state == AttributeEquals || state == DoubleQuoted ||
                state == SingleQuoted) {
                view->SendScintilla(QsciScintillaBase::SCI_SETLINESTATE,
                                    static_cast<unsigned long>(line), long(raw));
            }
            ++line;
        }
    }

    view->SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, static_cast<unsigned long>(start));
    view->SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX, static_cast<unsigned long>(count),
                        styles.data());
}

}  // namespace quillet
