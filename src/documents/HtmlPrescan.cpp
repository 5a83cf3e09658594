// SPDX-License-Identifier: GPL-3.0-or-later
#include "documents/HtmlPrescan.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace quillet {

namespace {

constexpr qsizetype kPrescanBytes = 1024;

/// A label of the Encoding Standard and the encoding it names.
struct Label {
    std::string_view label;
    std::string_view encoding;
};

/// Every label browsers accept in a page, in byte order, as the standard lists them (names
/// in its spelling, but "Windows-" in capitals as this program writes it).
constexpr Label kLabels[] = {
    {"866", "IBM866"},
    {"ansi_x3.4-1968", "Windows-1252"},
    {"arabic", "ISO-8859-6"},
    {"ascii", "Windows-1252"},
    {"asmo-708", "ISO-8859-6"},
    {"big5", "Big5"},
    {"big5-hkscs", "Big5"},
    {"chinese", "GBK"},
    {"cn-big5", "Big5"},
    {"cp1250", "Windows-1250"},
    {"cp1251", "Windows-1251"},
    {"cp1252", "Windows-1252"},
    {"cp1253", "Windows-1253"},
    {"cp1254", "Windows-1254"},
    {"cp1255", "Windows-1255"},
    {"cp1256", "Windows-1256"},
    {"cp1257", "Windows-1257"},
    {"cp1258", "Windows-1258"},
    {"cp819", "Windows-1252"},
    {"cp866", "IBM866"},
    {"csbig5", "Big5"},
    {"cseuckr", "EUC-KR"},
    {"cseucpkdfmtjapanese", "EUC-JP"},
    {"csgb2312", "GBK"},
    {"csibm866", "IBM866"},
    {"csiso2022jp", "ISO-2022-JP"},
    {"csiso2022kr", "replacement"},
    {"csiso58gb231280", "GBK"},
    {"csiso88596e", "ISO-8859-6"},
    {"csiso88596i", "ISO-8859-6"},
    {"csiso88598e", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8-I"},
    {"csisolatin1", "Windows-1252"},
    {"csisolatin2", "ISO-8859-2"},
    {"csisolatin3", "ISO-8859-3"},
    {"csisolatin4", "ISO-8859-4"},
    {"csisolatin5", "Windows-1254"},
    {"csisolatin6", "ISO-8859-10"},
    {"csisolatin9", "ISO-8859-15"},
    {"csisolatinarabic", "ISO-8859-6"},
    {"csisolatincyrillic", "ISO-8859-5"},
    {"csisolatingreek", "ISO-8859-7"},
    {"csisolatinhebrew", "ISO-8859-8"},
    {"cskoi8r", "KOI8-R"},
    {"csksc56011987", "EUC-KR"},
    {"csmacintosh", "macintosh"},
    {"csshiftjis", "Shift_JIS"},
    {"csunicode", "UTF-16LE"},
    {"cyrillic", "ISO-8859-5"},
    {"dos-874", "Windows-874"},
    {"ecma-114", "ISO-8859-6"},
    {"ecma-118", "ISO-8859-7"},
    {"elot_928", "ISO-8859-7"},
    {"euc-jp", "EUC-JP"},
    {"euc-kr", "EUC-KR"},
    {"gb18030", "gb18030"},
    {"gb2312", "GBK"},
    {"gb_2312", "GBK"},
    {"gb_2312-80", "GBK"},
    {"gbk", "GBK"},
    {"greek", "ISO-8859-7"},
    {"greek8", "ISO-8859-7"},
    {"hebrew", "ISO-8859-8"},
    {"hz-gb-2312", "replacement"},
    {"ibm819", "Windows-1252"},
    {"ibm866", "IBM866"},
    {"iso-10646-ucs-2", "UTF-16LE"},
    {"iso-2022-cn", "replacement"},
    {"iso-2022-cn-ext", "replacement"},
    {"iso-2022-jp", "ISO-2022-JP"},
    {"iso-2022-kr", "replacement"},
    {"iso-8859-1", "Windows-1252"},
    {"iso-8859-10", "ISO-8859-10"},
    {"iso-8859-11", "Windows-874"},
    {"iso-8859-13", "ISO-8859-13"},
    {"iso-8859-14", "ISO-8859-14"},
    {"iso-8859-15", "ISO-8859-15"},
    {"iso-8859-16", "ISO-8859-16"},
    {"iso-8859-2", "ISO-8859-2"},
    {"iso-8859-3", "ISO-8859-3"},
    {"iso-8859-4", "ISO-8859-4"},
    {"iso-8859-5", "ISO-8859-5"},
    {"iso-8859-6", "ISO-8859-6"},
    {"iso-8859-6-e", "ISO-8859-6"},
    {"iso-8859-6-i", "ISO-8859-6"},
    {"iso-8859-7", "ISO-8859-7"},
    {"iso-8859-8", "ISO-8859-8"},
    {"iso-8859-8-e", "ISO-8859-8"},
    {"iso-8859-8-i", "ISO-8859-8-I"},
    {"iso-8859-9", "Windows-1254"},
    {"iso-ir-100", "Windows-1252"},
    {"iso-ir-101", "ISO-8859-2"},
    {"iso-ir-109", "ISO-8859-3"},
    {"iso-ir-110", "ISO-8859-4"},
    {"iso-ir-126", "ISO-8859-7"},
    {"iso-ir-127", "ISO-8859-6"},
    {"iso-ir-138", "ISO-8859-8"},
    {"iso-ir-144", "ISO-8859-5"},
    {"iso-ir-148", "Windows-1254"},
    {"iso-ir-149", "EUC-KR"},
    {"iso-ir-157", "ISO-8859-10"},
    {"iso-ir-58", "GBK"},
    {"iso8859-1", "Windows-1252"},
    {"iso8859-10", "ISO-8859-10"},
    {"iso8859-11", "Windows-874"},
    {"iso8859-13", "ISO-8859-13"},
    {"iso8859-14", "ISO-8859-14"},
    {"iso8859-15", "ISO-8859-15"},
    {"iso8859-2", "ISO-8859-2"},
    {"iso8859-3", "ISO-8859-3"},
    {"iso8859-4", "ISO-8859-4"},
    {"iso8859-5", "ISO-8859-5"},
    {"iso8859-6", "ISO-8859-6"},
    {"iso8859-7", "ISO-8859-7"},
    {"iso8859-8", "ISO-8859-8"},
    {"iso8859-9", "Windows-1254"},
    {"iso88591", "Windows-1252"},
    {"iso885910", "ISO-8859-10"},
    {"iso885911", "Windows-874"},
    {"iso885913", "ISO-8859-13"},
    {"iso885914", "ISO-8859-14"},
    {"iso885915", "ISO-8859-15"},
    {"iso88592", "ISO-8859-2"},
    {"iso88593", "ISO-8859-3"},
    {"iso88594", "ISO-8859-4"},
    {"iso88595", "ISO-8859-5"},
    {"iso88596", "ISO-8859-6"},
    {"iso88597", "ISO-8859-7"},
    {"iso88598", "ISO-8859-8"},
    {"iso88599", "Windows-1254"},
    {"iso_8859-1", "Windows-1252"},
    {"iso_8859-15", "ISO-8859-15"},
    {"iso_8859-1:1987", "Windows-1252"},
    {"iso_8859-2", "ISO-8859-2"},
    {"iso_8859-2:1987", "ISO-8859-2"},
    {"iso_8859-3", "ISO-8859-3"},
    {"iso_8859-3:1988", "ISO-8859-3"},
    {"iso_8859-4", "ISO-8859-4"},
    {"iso_8859-4:1988", "ISO-8859-4"},
    {"iso_8859-5", "ISO-8859-5"},
    {"iso_8859-5:1988", "ISO-8859-5"},
    {"iso_8859-6", "ISO-8859-6"},
    {"iso_8859-6:1987", "ISO-8859-6"},
    {"iso_8859-7", "ISO-8859-7"},
    {"iso_8859-7:1987", "ISO-8859-7"},
    {"iso_8859-8", "ISO-8859-8"},
    {"iso_8859-8:1988", "ISO-8859-8"},
    {"iso_8859-9", "Windows-1254"},
    {"iso_8859-9:1989", "Windows-1254"},
    {"koi", "KOI8-R"},
    {"koi8", "KOI8-R"},
    {"koi8-r", "KOI8-R"},
    {"koi8-ru", "KOI8-U"},
    {"koi8-u", "KOI8-U"},
    {"koi8_r", "KOI8-R"},
    {"korean", "EUC-KR"},
    {"ks_c_5601-1987", "EUC-KR"},
    {"ks_c_5601-1989", "EUC-KR"},
    {"ksc5601", "EUC-KR"},
    {"ksc_5601", "EUC-KR"},
    {"l1", "Windows-1252"},
    {"l2", "ISO-8859-2"},
    {"l3", "ISO-8859-3"},
    {"l4", "ISO-8859-4"},
    {"l5", "Windows-1254"},
    {"l6", "ISO-8859-10"},
    {"l9", "ISO-8859-15"},
    {"latin1", "Windows-1252"},
    {"latin2", "ISO-8859-2"},
    {"latin3", "ISO-8859-3"},
    {"latin4", "ISO-8859-4"},
    {"latin5", "Windows-1254"},
    {"latin6", "ISO-8859-10"},
    {"logical", "ISO-8859-8-I"},
    {"mac", "macintosh"},
    {"macintosh", "macintosh"},
    {"ms932", "Shift_JIS"},
    {"ms_kanji", "Shift_JIS"},
    {"replacement", "replacement"},
    {"shift-jis", "Shift_JIS"},
    {"shift_jis", "Shift_JIS"},
    {"sjis", "Shift_JIS"},
    {"sun_eu_greek", "ISO-8859-7"},
    {"tis-620", "Windows-874"},
    {"ucs-2", "UTF-16LE"},
    {"unicode", "UTF-16LE"},
    {"unicode-1-1-utf-8", "UTF-8"},
    {"unicode11utf8", "UTF-8"},
    {"unicode20utf8", "UTF-8"},
    {"unicodefeff", "UTF-16LE"},
    {"unicodefffe", "UTF-16BE"},
    {"us-ascii", "Windows-1252"},
    {"utf-16", "UTF-16LE"},
    {"utf-16be", "UTF-16BE"},
    {"utf-16le", "UTF-16LE"},
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"visual", "ISO-8859-8"},
    {"windows-1250", "Windows-1250"},
    {"windows-1251", "Windows-1251"},
    {"windows-1252", "Windows-1252"},
    {"windows-1253", "Windows-1253"},
    {"windows-1254", "Windows-1254"},
    {"windows-1255", "Windows-1255"},
    {"windows-1256", "Windows-1256"},
    {"windows-1257", "Windows-1257"},
    {"windows-1258", "Windows-1258"},
    {"windows-31j", "Shift_JIS"},
    {"windows-874", "Windows-874"},
    {"windows-949", "EUC-KR"},
    {"x-cp1250", "Windows-1250"},
    {"x-cp1251", "Windows-1251"},
    {"x-cp1252", "Windows-1252"},
    {"x-cp1253", "Windows-1253"},
    {"x-cp1254", "Windows-1254"},
    {"x-cp1255", "Windows-1255"},
    {"x-cp1256", "Windows-1256"},
    {"x-cp1257", "Windows-1257"},
    {"x-cp1258", "Windows-1258"},
    {"x-euc-jp", "EUC-JP"},
    {"x-gbk", "GBK"},
    {"x-mac-cyrillic", "x-mac-cyrillic"},
    {"x-mac-roman", "macintosh"},
    {"x-mac-ukrainian", "x-mac-cyrillic"},
    {"x-sjis", "Shift_JIS"},
    {"x-unicode20utf8", "UTF-8"},
    {"x-user-defined", "x-user-defined"},
    {"x-x-big5", "Big5"},
};
static_assert(std::is_sorted(std::begin(kLabels), std::end(kLabels),
                             [](const Label& a, const Label& b) { return a.label < b.label; }));

/// The encodings that Qt reads under another name than browsers give them, or with
/// another converter than that name gives: Qt's "EUC-KR" lacks the characters browsers
/// read in it (Windows' code page 949), its "Big5" those of Hong Kong.
struct QtName {
    std::string_view encoding;
    const char16_t* qtName;
};
constexpr QtName kQtNames[] = {
    {"Big5", u"Big5-HKSCS"},
    {"EUC-KR", u"windows-949"},
};

/// The encoding of `name`, a name of the table, as this program reads it; nothing when it
/// is not available here.
std::optional<TextEncoding> ReadableEncoding(std::string_view name) {
    if (name == "Windows-1252") return TextEncoding::Windows1252();
    if (name == "UTF-8") return TextEncoding::Utf8();
    const QString shown = QString::fromLatin1(name.data(), qsizetype(name.size()));
    QStringView qtName = shown;
    for (const QtName& other : kQtNames) {
        if (other.encoding == name) qtName = other.qtName;
    }
    const std::optional<TextEncoding> encoding = TextEncoding::ForName(qtName);
    if (!encoding) return std::nullopt;
    return encoding->name() == shown ? *encoding : encoding->withName(shown);
}

/// ASCII white space, of a byte or a character.
bool IsSpace(char16_t c) {
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
/// lower-cased into `a`, or only passed over when `a` is null. False at the tag's ">" or at
/// the end of the data.
bool ReadAttribute(QByteArrayView d, qsizetype* pos, Attribute* into) {
    qsizetype& p = *pos;
    const qsizetype n = d.size();
    while (p < n && (IsSpace(d[p]) || d[p] == '/')) ++p;
    if (p >= n || d[p] == '>') return false;
    Attribute skipped;
    Attribute& a = into ? *into : skipped;
    a = Attribute();
    // Appends a lower-cased byte when the attribute is kept.
    const auto keep = [into](QByteArray& to, char c) {
        if (into) to.append(Lower(c));
    };
    bool named = false;
    // The name.
    for (;; ++p) {
        if (p >= n) return false;
        const char c = d[p];
        if (c == '=' && named) {
            ++p;
            break;
        }
        if (IsSpace(c)) {
            while (p < n && IsSpace(d[p])) ++p;
            if (p >= n) return false;
            if (d[p] != '=') return true;
            ++p;
            break;
        }
        if (c == '/' || c == '>') return true;
        keep(a.name, c);
        named = true;
    }
    // The value.
    while (p < n && IsSpace(d[p])) ++p;
    if (p >= n) return false;
    if (d[p] == '"' || d[p] == '\'') {
        const char quote = d[p];
        for (++p; p < n; ++p) {
            if (d[p] == quote) {
                ++p;
                return true;
            }
            keep(a.value, d[p]);
        }
        return false;
    }
    if (d[p] == '>') return true;
    for (; p < n; ++p) {
        if (IsSpace(d[p]) || d[p] == '>') return true;
        keep(a.value, d[p]);
    }
    return false;
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
std::optional<Declaration> ReadMeta(QByteArrayView d, qsizetype* pos) {
    QList<QByteArray> seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    // A charset attribute sets the charset even to no encoding, which a later content
    // attribute then cannot change.
    bool charsetSet = false;
    std::optional<Declaration> charset;
    Attribute read;
    for (const Attribute* a = &read; ReadAttribute(d, pos, &read);) {
        if (seen.contains(a->name)) continue;
        seen.append(a->name);
        if (a->name == "http-equiv") {
            if (a->value == "content-type") gotPragma = true;
        } else if (a->name == "content") {
            const std::optional<QByteArray> label = CharsetOfContentType(a->value);
            std::optional<Declaration> named;
            if (label) named = DeclarationForLabel(QString::fromLatin1(*label));
            if (named && !charsetSet) {
                charset = named;
                charsetSet = true;
                needPragma = true;
            }
        } else if (a->name == "charset") {
            charset = DeclarationForLabel(QString::fromLatin1(a->value));
            charsetSet = true;
            needPragma = false;
        }
    }
    if (!needPragma || (*needPragma && !gotPragma)) return std::nullopt;
    return charset;
}

}  // namespace

std::optional<Declaration> DeclarationForLabel(QStringView given) {
    qsizetype from = 0;
    qsizetype to = given.size();
    while (from < to && IsSpace(given[from].unicode())) ++from;
    while (to > from && IsSpace(given[to - 1].unicode())) --to;
    std::string label;
    for (const QChar c : given.sliced(from, to - from)) {
        const char16_t u = c.unicode();
        if (u >= 0x80) return std::nullopt;
        label += (u >= 'A' && u <= 'Z') ? char(u + 0x20) : char(u);
    }
    const Label* end = std::end(kLabels);
    const Label* found = std::lower_bound(
        std::begin(kLabels), end, label,
        [](const Label& entry, const std::string& key) { return entry.label < key; });
    if (found == end || found->label != label || found->encoding == "replacement") {
        return std::nullopt;
    }
    // A declaration is read as ASCII, so the page is in no UTF-16; x-user-defined is the
    // code page's ASCII half with the other half mapped to private characters.
    std::string_view meant = found->encoding;
    if (meant == "UTF-16LE" || meant == "UTF-16BE") meant = "UTF-8";
    if (meant == "x-user-defined") meant = "Windows-1252";
    const auto text = [](std::string_view name) {
        return QString::fromLatin1(name.data(), qsizetype(name.size()));
    };
    return Declaration{text(found->encoding), text(meant), ReadableEncoding(meant)};
}

std::optional<TextEncoding> EncodingForLabel(QStringView label) {
    const std::optional<Declaration> declaration = DeclarationForLabel(label);
    return declaration ? declaration->encoding : std::nullopt;
}

QStringList LabelledEncodings() {
    QStringList names;
    for (const Label& entry : kLabels) {
        const QString name =
            QString::fromLatin1(entry.encoding.data(), qsizetype(entry.encoding.size()));
        if (!names.contains(name)) names.append(name);
    }
    return names;
}

std::optional<Declaration> DeclaredEncoding(QByteArrayView bytes) {
    const QByteArrayView d = bytes.first(std::min(bytes.size(), kPrescanBytes));
    const qsizetype n = d.size();
    for (qsizetype p = 0; p < n; ++p) {
        // Only a "<" starts anything the prescan looks at.
        const void* lt = std::memchr(d.data() + p, '<', size_t(n - p));
        if (!lt) break;
        p = static_cast<const char*>(lt) - d.data();
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
            if (std::optional<Declaration> declared = ReadMeta(d, &p)) return declared;
        } else if (p + 1 < n &&
                   (IsLetter(d[p + 1]) || (d[p + 1] == '/' && p + 2 < n && IsLetter(d[p + 2])))) {
            // Another tag: skip its name and attributes, which may hold a ">" in quotes.
            while (p < n && !IsSpace(d[p]) && d[p] != '>') ++p;
            while (ReadAttribute(d, &p, nullptr)) {
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
