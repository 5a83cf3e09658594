#include "engine/DocumentMode.h"

#include <QString>
#include <optional>

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

/// Whether `text` has `word` (lower case) at `at`, ignoring ASCII letter case.
bool HasWordAt(QStringView text, qsizetype at, QStringView word) {
    if (at + word.size() > text.size()) return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        if (AsciiLower(text[at + i].unicode()) != word[i]) return false;
    }
    return true;
}

/// Where the comment whose "<!--" ends just before `from` ends (one past its last
/// character); the end of the text when it is not closed.
qsizetype CommentEnd(QStringView text, qsizetype from) {
    // "<!-->" and "<!--->" are closed at once; otherwise "-->" or "--!>" closes.
    if (text.sliced(from).startsWith(u'>')) return from + 1;
    if (text.sliced(from).startsWith(u"->")) return from + 2;
    const qsizetype plain = text.indexOf(u"-->", from);
    const qsizetype bang = text.indexOf(u"--!>", from);
    if (plain < 0 && bang < 0) return text.size();
    if (bang < 0 || (plain >= 0 && plain < bang)) return plain + 3;
    return bang + 4;
}

/// A comment the tokenizer makes of a malformed markup declaration: it ends at the first
/// ">" at or after `from`.
qsizetype BogusCommentEnd(QStringView text, qsizetype from) {
    const qsizetype close = text.indexOf(u'>', from);
    return close < 0 ? text.size() : close + 1;
}

/// A document type declaration as the tokenizer reads it.
struct Doctype {
    QString name;
    std::optional<QString> publicId;
    std::optional<QString> systemId;
    bool forceQuirks = false;
    qsizetype end = 0;  ///< one past its last character
};

/// Reads the declaration whose "<!DOCTYPE" ends just before `at`.
Doctype ReadDoctype(QStringView text, qsizetype at) {
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
    Doctype doctype;
    State state = State::BeforeName;
    char16_t quote = 0;
    QString* id = nullptr;  // the identifier being read
    const qsizetype n = text.size();
    qsizetype i = at;
    // The character at `i`: the tokenizer sees line breaks as single line feeds and a NUL
    // as U+FFFD; only identifiers keep what they read, so the rest is compared raw.
    auto idChar = [&](qsizetype k) -> char16_t {
        const char16_t c = text[k].unicode();
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
        const char16_t c = text[i].unicode();
        switch (state) {
            case State::BeforeName:
                if (IsSpace(c)) break;
                if (c == u'>') return finish(true);
                doctype.name.append(c == u'\0' ? u'\xFFFD' : AsciiLower(c));
                state = State::Name;
                break;
            case State::Name:
                if (IsSpace(c)) {
                    state = State::AfterName;
                } else if (c == u'>') {
                    return finish(false);
                } else {
                    doctype.name.append(c == u'\0' ? u'\xFFFD' : AsciiLower(c));
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
                    target = QString();
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
                } else if (!(c == u'\n' && i > at && text[i - 1] == u'\r')) {
                    id->append(idChar(i));
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
                    doctype.systemId = QString();
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
DocumentMode ModeOf(const Doctype& doctype) {
    auto lower = [](const std::optional<QString>& id) {
        QString folded = id.value_or(QString());
        for (QChar& c : folded) c = QChar(AsciiLower(c.unicode()));
        return folded;
    };
    const QString publicId = lower(doctype.publicId);
    const QString systemId = lower(doctype.systemId);
    const bool html401Loose = StartsWithAny(
        publicId, {u"-//w3c//dtd html 4.01 frameset//", u"-//w3c//dtd html 4.01 transitional//"});

    if (doctype.forceQuirks || doctype.name != u"html") return DocumentMode::Quirks;
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

}  // namespace

DocumentStart ReadDocumentStart(QStringView text) {
    DocumentStart start;
    const qsizetype n = text.size();
    qsizetype i = 0;
    if (n > 0 && text[0] == u'\xFEFF') {
        start.byteOrderMark = true;
        i = 1;
    }
    // Before the declaration the parser passes over white space and comments; anything
    // else (text, an element, the end of the text) means there is none.
    while (i < n) {
        if (IsSpace(text[i].unicode())) {
            ++i;
            continue;
        }
        if (text[i] != u'<' || i + 1 >= n) break;
        const char16_t next = text[i + 1].unicode();
        if (next == u'!') {
            if (text.sliced(i + 2).startsWith(u"--")) {
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
            if (i + 2 >= n || IsAsciiAlpha(text[i + 2].unicode())) break;
            i = text[i + 2] == u'>' ? i + 3 : BogusCommentEnd(text, i + 2);
        } else {
            break;
        }
    }
    return start;
}

}  // namespace quillet
