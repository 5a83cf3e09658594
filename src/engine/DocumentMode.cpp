// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DocumentMode.h"

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

namespace {

constexpr bool IsSpace(char16_t c) {
    return c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r' || c == u' ';
}

constexpr bool IsAsciiAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

constexpr char16_t AsciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// The page is read as 16-bit units or as UTF-8 bytes: every decision is about ASCII
// characters, which are single units in both. `Text` is std::u16string_view or
// std::string_view, and `At(text, i)` its unit at `i` as a 16-bit value (a byte from 0x80
// on stays above ASCII).
char16_t At(std::u16string_view text, qsizetype i) {
    return text[size_t(i)];
}
char16_t At(std::string_view text, qsizetype i) {
    return char16_t(static_cast<unsigned char>(text[size_t(i)]));
}

template <typename Text>
qsizetype Find(Text text, std::u16string_view what, qsizetype from) {
    for (qsizetype at = from; at + qsizetype(what.size()) <= qsizetype(text.size()); ++at) {
        qsizetype i = 0;
        while (i < qsizetype(what.size()) && At(text, at + i) == what[size_t(i)]) ++i;
        if (i == qsizetype(what.size())) return at;
    }
    return -1;
}

template <typename Text>
bool StartsWith(Text text, qsizetype at, std::u16string_view what) {
    return at <= qsizetype(text.size()) && Find(text.substr(size_t(at), what.size()), what, 0) == 0;
}

/// Appends a character the tokenizer keeps, in the text's own form.
void AppendUnit(std::u16string& out, char16_t c) {
    out += c;
}
void AppendUnit(std::string& out, char16_t c) {
    if (c == u'\xFFFD') {
        out += "\xEF\xBF\xBD";
    } else {
        out += char(c);
    }
}

QString ToQString(const std::u16string& s) {
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}
QString ToQString(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

/// Whether `text` has `word` (lower case) at `at`, ignoring ASCII letter case.
template <typename Text>
bool HasWordAt(Text text, qsizetype at, std::u16string_view word) {
    if (at + qsizetype(word.size()) > qsizetype(text.size())) return false;
    for (qsizetype i = 0; i < qsizetype(word.size()); ++i) {
        if (AsciiLower(At(text, at + i)) != word[size_t(i)]) return false;
    }
    return true;
}

/// Where the comment whose "<!--" ends just before `from` ends (one past its last
/// character); the end of the text when it is not closed.
template <typename Text>
qsizetype CommentEnd(Text text, qsizetype from) {
    // "<!-->" and "<!--->" are closed at once; otherwise "-->" or "--!>" closes.
    if (StartsWith(text, from, u">")) return from + 1;
    if (StartsWith(text, from, u"->")) return from + 2;
    const qsizetype plain = Find(text, u"-->", from);
    const qsizetype bang = Find(text, u"--!>", from);
    if (plain < 0 && bang < 0) return qsizetype(text.size());
    if (bang < 0 || (plain >= 0 && plain < bang)) return plain + 3;
    return bang + 4;
}

/// A comment the tokenizer makes of a malformed markup declaration: it ends at the first
/// ">" at or after `from`.
template <typename Text>
qsizetype BogusCommentEnd(Text text, qsizetype from) {
    const qsizetype close = Find(text, u">", from);
    return close < 0 ? qsizetype(text.size()) : close + 1;
}

/// A document type declaration as the tokenizer reads it, its strings in the text's form.
template <typename String>
struct Doctype {
    String name;
    std::optional<String> publicId;
    std::optional<String> systemId;
    bool forceQuirks = false;
    qsizetype end = 0;  ///< one past its last character
};

/// Reads the declaration whose "<!DOCTYPE" ends just before `at`.
template <typename Text, typename String = std::basic_string<typename Text::value_type>>
Doctype<String> ReadDoctype(Text text, qsizetype at) {
    enum class State {
        BeforeName,
        Name,
        AfterName,
        AfterPublicKeyword,
        BeforePublicId,
        PublicId,
        AfterPublicId,
        BetweenIds,
        AfterSystemKeyword,
        BeforeSystemId,
        SystemId,
        AfterSystemId,
        Bogus,
    };
    Doctype<String> doctype;
    State state = State::BeforeName;
    char16_t quote = 0;
    String* id = nullptr;  // the identifier being read
    const qsizetype n = qsizetype(text.size());
    qsizetype i = at;
    // The character at `i`: the tokenizer sees line breaks as single line feeds and a NUL
    // as U+FFFD; only identifiers keep what they read, so the rest is compared raw.
    auto idChar = [&](qsizetype k) -> char16_t {
        const char16_t c = At(text, k);
        if (c == u'\0') return u'\xFFFD';
        return c == u'\r' ? u'\n' : c;
    };
    auto finish = [&](bool quirks) {
        doctype.forceQuirks = doctype.forceQuirks || quirks;
        doctype.end = i + 1;
        return doctype;
    };

    // Right after the keyword, white space is skipped; anything else begins the name.
    for (; i < n; ++i) {
        const char16_t c = At(text, i);
        switch (state) {
            case State::BeforeName:
                if (IsSpace(c)) break;
                if (c == u'>') return finish(true);
                AppendUnit(doctype.name, c == u'\0' ? u'\xFFFD' : AsciiLower(c));
                state = State::Name;
                break;
            case State::Name:
                if (IsSpace(c)) {
                    state = State::AfterName;
                } else if (c == u'>') {
                    return finish(false);
                } else {
                    AppendUnit(doctype.name, c == u'\0' ? u'\xFFFD' : AsciiLower(c));
                }
                break;
            case State::AfterName:
                if (IsSpace(c)) break;
                if (c == u'>') return finish(false);
                if (HasWordAt(text, i, u"public")) {
                    state = State::AfterPublicKeyword;
                    i += 5;
                } else if (HasWordAt(text, i, u"system")) {
                    state = State::AfterSystemKeyword;
                    i += 5;
                } else {
                    doctype.forceQuirks = true;
                    state = State::Bogus;
                }
                break;
            case State::AfterPublicKeyword:
            case State::BeforePublicId:
            case State::AfterSystemKeyword:
            case State::BeforeSystemId: {
                const bool isPublic =
                    state == State::AfterPublicKeyword || state == State::BeforePublicId;
                if (IsSpace(c)) {
                    state = isPublic ? State::BeforePublicId : State::BeforeSystemId;
                } else if (c == u'"' || c == u'\'') {
                    quote = c;
                    auto& target = isPublic ? doctype.publicId : doctype.systemId;
                    target = String();
                    id = &*target;
                    state = isPublic ? State::PublicId : State::SystemId;
                } else if (c == u'>') {
                    return finish(true);
                } else {
                    doctype.forceQuirks = true;
                    state = State::Bogus;
                }
                break;
            }
            case State::PublicId:
            case State::SystemId:
                if (c == quote) {
                    state = state == State::PublicId ? State::AfterPublicId : State::AfterSystemId;
                } else if (c == u'>') {
                    return finish(true);
                } else if (!(c == u'\n' && i > at && At(text, i - 1) == u'\r')) {
                    AppendUnit(*id, idChar(i));
                }
                break;
            case State::AfterPublicId:
            case State::BetweenIds:
                if (IsSpace(c)) {
                    state = State::BetweenIds;
                } else if (c == u'>') {
                    return finish(false);
                } else if (c == u'"' || c == u'\'') {
                    quote = c;
                    doctype.systemId = String();
                    id = &*doctype.systemId;
                    state = State::SystemId;
                } else {
                    doctype.forceQuirks = true;
                    state = State::Bogus;
                }
                break;
            case State::AfterSystemId:
                if (IsSpace(c)) break;
                if (c == u'>') return finish(false);
                state = State::Bogus;  // a stray character here does not force quirks
                break;
            case State::Bogus:
                if (c == u'>') return finish(false);
                break;
        }
    }
    // The text ended inside the declaration: only a bogus one keeps its mode.
    doctype.forceQuirks = doctype.forceQuirks || state != State::Bogus;
    doctype.end = n;
    return doctype;
}

bool StartsWithAny(const QString& id, std::initializer_list<QStringView> prefixes) {
    for (const QStringView prefix : prefixes) {
        if (id.startsWith(prefix)) return true;
    }
    return false;
}

/// The mode a declaration sets, by the HTML standard's rules. Identifiers are compared
/// ignoring ASCII letter case, so the lists are in lower case.
template <typename String>
DocumentMode ModeOf(const Doctype<String>& doctype) {
    auto lower = [](const std::optional<String>& id) {
        QString folded = id ? ToQString(*id) : QString();
        for (QChar& c : folded) c = QChar(AsciiLower(c.unicode()));
        return folded;
    };
    const QString publicId = lower(doctype.publicId);
    const QString systemId = lower(doctype.systemId);
    const bool html401Loose = StartsWithAny(
        publicId, {u"-//w3c//dtd html 4.01 frameset//", u"-//w3c//dtd html 4.01 transitional//"});

    if (doctype.forceQuirks || ToQString(doctype.name) != u"html") return DocumentMode::Quirks;
    if (publicId == u"-//w3o//dtd w3 html strict 3.0//en//" ||
        publicId == u"-/w3c/dtd html 4.0 transitional/en" || publicId == u"html") {
        return DocumentMode::Quirks;
    }
    if (systemId == u"http://www.ibm.com/data/dtd/v11/ibmxhtml1-transitional.dtd") {
        return DocumentMode::Quirks;
    }
    if (html401Loose && !doctype.systemId) return DocumentMode::Quirks;
    if (StartsWithAny(publicId, {
                                    u"+//silmaril//dtd html pro v0r11 19970101//",
                                    u"-//as//dtd html 3.0 aswedit + extensions//",
                                    u"-//advasoft ltd//dtd html 3.0 aswedit + extensions//",
                                    u"-//ietf//dtd html 2.0 level 1//",
                                    u"-//ietf//dtd html 2.0 level 2//",
                                    u"-//ietf//dtd html 2.0 strict level 1//",
                                    u"-//ietf//dtd html 2.0 strict level 2//",
                                    u"-//ietf//dtd html 2.0 strict//",
                                    u"-//ietf//dtd html 2.0//",
                                    u"-//ietf//dtd html 2.1e//",
                                    u"-//ietf//dtd html 3.0//",
                                    u"-//ietf//dtd html 3.2 final//",
                                    u"-//ietf//dtd html 3.2//",
                                    u"-//ietf//dtd html 3//",
                                    u"-//ietf//dtd html level 0//",
                                    u"-//ietf//dtd html level 1//",
                                    u"-//ietf//dtd html level 2//",
                                    u"-//ietf//dtd html level 3//",
                                    u"-//ietf//dtd html strict level 0//",
                                    u"-//ietf//dtd html strict level 1//",
                                    u"-//ietf//dtd html strict level 2//",
                                    u"-//ietf//dtd html strict level 3//",
                                    u"-//ietf//dtd html strict//",
                                    u"-//ietf//dtd html//",
                                    u"-//metrius//dtd metrius presentational//",
                                    u"-//microsoft//dtd internet explorer 2.0 html strict//",
                                    u"-//microsoft//dtd internet explorer 2.0 html//",
                                    u"-//microsoft//dtd internet explorer 2.0 tables//",
                                    u"-//microsoft//dtd internet explorer 3.0 html strict//",
                                    u"-//microsoft//dtd internet explorer 3.0 html//",
                                    u"-//microsoft//dtd internet explorer 3.0 tables//",
                                    u"-//netscape comm. corp.//dtd html//",
                                    u"-//netscape comm. corp.//dtd strict html//",
                                    u"-//o'reilly and associates//dtd html 2.0//",
                                    u"-//o'reilly and associates//dtd html extended 1.0//",
                                    u"-//o'reilly and associates//dtd html extended relaxed "
                                    u"1.0//",
                                    u"-//sq//dtd html 2.0 hotmetal + extensions//",
                                    u"-//softquad software//dtd hotmetal pro "
                                    u"6.0::19990601::extensions to html 4.0//",
                                    u"-//softquad//dtd hotmetal pro 4.0::19971010::extensions "
                                    u"to html 4.0//",
                                    u"-//spyglass//dtd html 2.0 extended//",
                                    u"-//sun microsystems corp.//dtd hotjava html//",
                                    u"-//sun microsystems corp.//dtd hotjava strict html//",
                                    u"-//w3c//dtd html 3 1995-03-24//",
                                    u"-//w3c//dtd html 3.2 draft//",
                                    u"-//w3c//dtd html 3.2 final//",
                                    u"-//w3c//dtd html 3.2//",
                                    u"-//w3c//dtd html 3.2s draft//",
                                    u"-//w3c//dtd html 4.0 frameset//",
                                    u"-//w3c//dtd html 4.0 transitional//",
                                    u"-//w3c//dtd html experimental 19960712//",
                                    u"-//w3c//dtd html experimental 970421//",
                                    u"-//w3c//dtd w3 html//",
                                    u"-//w3o//dtd w3 html 3.0//",
                                    u"-//webtechs//dtd mozilla html 2.0//",
                                    u"-//webtechs//dtd mozilla html//",
                                })) {
        return DocumentMode::Quirks;
    }
    if (html401Loose || StartsWithAny(publicId, {u"-//w3c//dtd xhtml 1.0 frameset//",
                                                 u"-//w3c//dtd xhtml 1.0 transitional//"})) {
        return DocumentMode::LimitedQuirks;
    }
    return DocumentMode::NoQuirks;
}

template <typename Text>
DocumentStart ReadStart(Text text) {
    DocumentStart start;
    const qsizetype n = qsizetype(text.size());
    qsizetype i = 0;
    // U+FEFF, one unit in UTF-16 and three bytes in UTF-8.
    if constexpr (sizeof(typename Text::value_type) == 2) {
        if (n > 0 && At(text, 0) == u'\xFEFF') i = 1;
    } else {
        if (StartsWith(text, 0, u"\xEF\xBB\xBF")) i = 3;
    }
    start.byteOrderMark = i > 0;
    // Before the declaration the parser passes over white space and comments; anything
    // else (text, an element, the end of the text) means there is none.
    while (i < n) {
        if (IsSpace(At(text, i))) {
            ++i;
            continue;
        }
        if (At(text, i) != u'<' || i + 1 >= n) break;
        const char16_t next = At(text, i + 1);
        if (next == u'!') {
            if (StartsWith(text, i + 2, u"--")) {
                i = CommentEnd(text, i + 4);
            } else if (HasWordAt(text, i + 2, u"doctype")) {
                const Doctype doctype = ReadDoctype(text, i + 9);
                start.mode = ModeOf(doctype);
                start.doctypeBegin = i;
                start.doctypeEnd = doctype.end;
                break;
            } else {
                i = BogusCommentEnd(text, i + 2);
            }
        } else if (next == u'?') {
            i = BogusCommentEnd(text, i + 1);
        } else if (next == u'/') {
            // "</>" is dropped; "</" and a letter is an end tag; "</" at the very end is
            // text; anything else makes a comment.
            if (i + 2 >= n || IsAsciiAlpha(At(text, i + 2))) break;
            i = At(text, i + 2) == u'>' ? i + 3 : BogusCommentEnd(text, i + 2);
        } else {
            break;
        }
    }
    return start;
}

}  // namespace

DocumentStart ReadDocumentStart(QStringView text) {
    return ReadStart(std::u16string_view(text.utf16(), size_t(text.size())));
}

DocumentStart ReadDocumentStart(QByteArrayView utf8) {
    return ReadStart(std::string_view(utf8.data(), size_t(utf8.size())));
}

}  // namespace quillet
