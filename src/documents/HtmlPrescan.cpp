// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/HtmlPrescan.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <array>

namespace quillet {

namespace {

constexpr qsizetype kPrescanBytes = 1024;

bool IsSpace(char c) {
    return c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || c == 0x20;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 0x20) : c;
}

bool StartsWithNoCase(QByteArrayView data, qsizetype at, const char* word) {
    for (qsizetype i = 0; word[i] != '\0'; ++i) {
        if (at + i >= data.size() || Lower(data[at + i]) != word[i]) return false;
    }
    return true;
}

struct Attribute {
    QByteArray name;
    QByteArray value;
};

/// Reads one attribute of a tag at `*pos`, as the prescan does: names and values are
/// lower-cased; nothing at the tag's ">" or at the end of the data.
std::optional<Attribute> ReadAttribute(QByteArrayView d, qsizetype* pos) {
    qsizetype& p = *pos;
    const qsizetype n = d.size();
    while (p < n && (IsSpace(d[p]) || d[p] == '/')) ++p;
    if (p >= n || d[p] == '>') return std::nullopt;
    Attribute a;
    // The name.
    for (;; ++p) {
        if (p >= n) return std::nullopt;
        const char c = d[p];
        if (c == '=' && !a.name.isEmpty()) {
            ++p;
            break;
        }
        if (IsSpace(c)) {
            while (p < n && IsSpace(d[p])) ++p;
            if (p >= n) return std::nullopt;
            if (d[p] != '=') return a;
            ++p;
            break;
        }
        if (c == '/' || c == '>') return a;
        a.name.append(Lower(c));
    }
    // The value.
    while (p < n && IsSpace(d[p])) ++p;
    if (p >= n) return std::nullopt;
    if (d[p] == '"' || d[p] == '\'') {
        const char quote = d[p];
        for (++p; p < n; ++p) {
            if (d[p] == quote) {
                ++p;
                return a;
            }
            a.value.append(Lower(d[p]));
        }
        return std::nullopt;
    }
    if (d[p] == '>') return a;
    for (; p < n; ++p) {
        if (IsSpace(d[p]) || d[p] == '>') return a;
        a.value.append(Lower(d[p]));
    }
    return std::nullopt;
}

/// The charset that a Content-Type value names ("text/html; charset=utf-8"), or nothing.
std::optional<QByteArray> CharsetOfContentType(const QByteArray& value) {
    qsizetype p = 0;
    const qsizetype n = value.size();
    for (;;) {
        const qsizetype found = value.indexOf("charset", p);
        if (found < 0) return std::nullopt;
        p = found + 7;
        while (p < n && IsSpace(value[p])) ++p;
        if (p < n && value[p] == '=') break;
    }
    ++p;
    while (p < n && IsSpace(value[p])) ++p;
    if (p >= n) return std::nullopt;
    if (value[p] == '"' || value[p] == '\'') {
        const qsizetype close = value.indexOf(value[p], p + 1);
        if (close < 0) return std::nullopt;
        return value.sliced(p + 1, close - p - 1);
    }
    qsizetype end = p;
    while (end < n && !IsSpace(value[end]) && value[end] != ';') ++end;
    return value.sliced(p, end - p);
}

/// Examines the attributes of a `<meta` tag from `*pos`; the declared encoding, if any.
std::optional<TextEncoding> ReadMeta(QByteArrayView d, qsizetype* pos) {
    QList<QByteArray> seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::optional<TextEncoding> charset;
    while (const std::optional<Attribute> a = ReadAttribute(d, pos)) {
        if (seen.contains(a->name)) continue;
        seen.append(a->name);
        if (a->name == "http-equiv") {
            if (a->value == "content-type") gotPragma = true;
        } else if (a->name == "content") {
            const std::optional<QByteArray> label = CharsetOfContentType(a->value);
            std::optional<TextEncoding> named;
            if (label) named = EncodingForLabel(QString::fromLatin1(*label));
            if (named && !charset) {
                charset = named;
                needPragma = true;
            }
        } else if (a->name == "charset") {
            charset = EncodingForLabel(QString::fromLatin1(a->value));
            needPragma = false;
        }
    }
    if (!needPragma || (*needPragma && !gotPragma)) return std::nullopt;
    return charset;
}

}  // namespace

std::optional<TextEncoding> EncodingForLabel(QStringView given) {
    const QString label = given.trimmed().toString().toLower();
    if (label.isEmpty()) return std::nullopt;
    struct Family {
        std::optional<TextEncoding> (*encoding)();
        std::initializer_list<const char16_t*> labels;
    };
    static const std::array<Family, 5> kFamilies = {{
        {[] { return std::optional(TextEncoding::Windows1252()); },
         {u"ansi_x3.4-1968", u"ascii", u"cp1252", u"cp819", u"csisolatin1", u"ibm819",
          u"iso-8859-1", u"iso-ir-100", u"iso8859-1", u"iso88591", u"iso_8859-1",
          u"iso_8859-1:1987", u"l1", u"latin1", u"us-ascii", u"windows-1252", u"x-cp1252",
          u"x-user-defined"}},
        {[] { return std::optional(TextEncoding::Utf8()); },
         {u"unicode-1-1-utf-8", u"unicode11utf8", u"unicode20utf8", u"utf-8", u"utf8",
          u"x-unicode20utf8", u"csunicode", u"iso-10646-ucs-2", u"ucs-2", u"unicode",
          u"unicodefeff", u"unicodefffe", u"utf-16", u"utf-16be", u"utf-16le"}},
        {[] { return TextEncoding::ForName(u"windows-1254"); },
         {u"cp1254", u"csisolatin5", u"iso-8859-9", u"iso-ir-148", u"iso8859-9", u"iso88599",
          u"iso_8859-9", u"iso_8859-9:1989", u"l5", u"latin5", u"windows-1254", u"x-cp1254"}},
        {[] { return TextEncoding::ForName(u"windows-874"); },
         {u"dos-874", u"iso-8859-11", u"iso8859-11", u"iso885911", u"tis-620", u"windows-874"}},
        // Labels browsers refuse to decode with, as their decoders were used for attacks.
        {[] { return std::optional<TextEncoding>(); },
         {u"csiso2022kr", u"hz-gb-2312", u"iso-2022-cn", u"iso-2022-cn-ext", u"iso-2022-kr",
          u"replacement", u"utf-7", u"utf-32", u"utf-32le", u"utf-32be"}},
    }};
    for (const Family& family : kFamilies) {
        for (const char16_t* known : family.labels) {
            if (label == QStringView(known)) return family.encoding();
        }
    }
    return TextEncoding::ForName(label);
}

std::optional<TextEncoding> DeclaredEncoding(QByteArrayView bytes) {
    const QByteArrayView d = bytes.first(std::min(bytes.size(), kPrescanBytes));
    const qsizetype n = d.size();
    for (qsizetype p = 0; p < n; ++p) {
        if (d[p] != '<') continue;
        if (StartsWithNoCase(d, p, "<!--")) {
            // To the ">" of the first "-->", which may share its dashes with the "<!--".
            qsizetype end = p + 2;
            while (end + 2 < n && !(d[end] == '-' && d[end + 1] == '-' && d[end + 2] == '>')) {
                ++end;
            }
            if (end + 2 >= n) return std::nullopt;
            p = end + 2;
        } else if (StartsWithNoCase(d, p, "<meta") && p + 5 < n &&
                   (IsSpace(d[p + 5]) || d[p + 5] == '/')) {
            p += 6;
            if (std::optional<TextEncoding> declared = ReadMeta(d, &p)) return declared;
        } else if (p + 1 < n &&
                   (IsLetter(d[p + 1]) || (d[p + 1] == '/' && p + 2 < n && IsLetter(d[p + 2])))) {
            // Another tag: skip its name and attributes, which may hold a ">" in quotes.
            while (p < n && !IsSpace(d[p]) && d[p] != '>') ++p;
            while (ReadAttribute(d, &p)) {
            }
        } else if (p + 1 < n && (d[p + 1] == '!' || d[p + 1] == '/' || d[p + 1] == '?')) {
            const qsizetype close = d.indexOf('>', p);
            if (close < 0) return std::nullopt;
            p = close;
        }
    }
    return std::nullopt;
}

}  // namespace quillet
