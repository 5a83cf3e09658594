// SPDX-License-Identifier: GPL-3.0-or-later
#include "wordlists/DefaultWordLists.h"

#include "documents/DocumentFile.h"
#include "documents/FileNames.h"
#include "wordlists/SqliteSupport.h"

namespace quillet {

namespace {

/// The elements of drawings (SVG) and formulas (MathML) whose names are no HTML element's.
/// Inside a paragraph they stay in it, and so do the drawing's and formula's own parts. A
/// name is what the scan reads: lower-cased, and up to a "-" ("color-profile" is "color").
/// The HTML elements that SVG shares (a, font, image, script, style, title...) are in the
/// list already.
constexpr const char* kForeignElements[] = {
    // SVG
    "svg", "altglyph", "altglyphdef", "altglyphitem", "animate", "animatecolor", "animatemotion",
    "animatetransform", "animation", "circle", "clippath", "color", "cursor", "defs", "desc",
    "discard", "ellipse", "feblend", "fecolormatrix", "fecomponenttransfer", "fecomposite",
    "feconvolvematrix", "fediffuselighting", "fedisplacementmap", "fedistantlight", "fedropshadow",
    "feflood", "fefunca", "fefuncb", "fefuncg", "fefuncr", "fegaussianblur", "feimage", "femerge",
    "femergenode", "femorphology", "feoffset", "fepointlight", "fespecularlighting", "fespotlight",
    "fetile", "feturbulence", "filter", "foreignobject", "g", "glyph", "glyphref", "handler",
    "hatch", "hatchpath", "hkern", "line", "lineargradient", "listener", "marker", "mask", "mesh",
    "meshgradient", "meshpatch", "meshrow", "metadata", "missing", "mpath", "path", "pattern",
    "polygon", "polyline", "prefetch", "radialgradient", "rect", "set", "solidcolor", "stop",
    "switch", "symbol", "tbreak", "text", "textpath", "tref", "tspan", "unknown", "use", "view",
    "vkern",
    // MathML
    "math", "annotation", "maction", "maligngroup", "malignmark", "menclose", "merror", "mfenced",
    "mfrac", "mglyph", "mi", "mlabeledtr", "mlongdiv", "mmultiscripts", "mn", "mo", "mover",
    "mpadded", "mphantom", "mprescripts", "mroot", "mrow", "ms", "mscarries", "mscarry", "msgroup",
    "msline", "mspace", "msqrt", "msrow", "mstack", "mstyle", "msub", "msubsup", "msup", "mtable",
    "mtd", "mtext", "mtr", "munder", "munderover", "none", "semantics"};

/// The HTML elements that leave an open paragraph open, with the empty name.
QStringList HtmlSkipList() {
    return {
        // Comments, declarations, processing instructions and a "<" before a space.
        QStringLiteral(""),
        // Phrasing elements and the other start tags a parser keeps inside a paragraph.
        QStringLiteral("a"),
        QStringLiteral("abbr"),
        QStringLiteral("acronym"),
        QStringLiteral("applet"),
        QStringLiteral("area"),
        QStringLiteral("audio"),
        QStringLiteral("b"),
        QStringLiteral("basefont"),
        QStringLiteral("bdi"),
        QStringLiteral("bdo"),
        QStringLiteral("bgsound"),
        QStringLiteral("big"),
        QStringLiteral("blink"),
        QStringLiteral("br"),
        QStringLiteral("button"),
        QStringLiteral("canvas"),
        QStringLiteral("cite"),
        QStringLiteral("code"),
        QStringLiteral("data"),
        QStringLiteral("datalist"),
        QStringLiteral("del"),
        QStringLiteral("dfn"),
        QStringLiteral("em"),
        QStringLiteral("embed"),
        QStringLiteral("font"),
        QStringLiteral("i"),
        QStringLiteral("iframe"),
        QStringLiteral("image"),
        QStringLiteral("img"),
        QStringLiteral("input"),
        QStringLiteral("ins"),
        QStringLiteral("kbd"),
        QStringLiteral("keygen"),
        QStringLiteral("label"),
        QStringLiteral("legend"),
        QStringLiteral("map"),
        QStringLiteral("mark"),
        QStringLiteral("marquee"),
        QStringLiteral("menuitem"),
        QStringLiteral("meter"),
        QStringLiteral("nobr"),
        QStringLiteral("noembed"),
        QStringLiteral("noscript"),
        QStringLiteral("object"),
        QStringLiteral("optgroup"),
        QStringLiteral("option"),
        QStringLiteral("output"),
        QStringLiteral("param"),
        QStringLiteral("picture"),
        QStringLiteral("progress"),
        QStringLiteral("q"),
        QStringLiteral("rb"),
        QStringLiteral("rp"),
        QStringLiteral("rt"),
        QStringLiteral("rtc"),
        QStringLiteral("ruby"),
        QStringLiteral("s"),
        QStringLiteral("samp"),
        QStringLiteral("select"),
        QStringLiteral("slot"),
        QStringLiteral("small"),
        QStringLiteral("source"),
        QStringLiteral("spacer"),
        QStringLiteral("span"),
        QStringLiteral("strike"),
        QStringLiteral("strong"),
        QStringLiteral("sub"),
        QStringLiteral("sup"),
        QStringLiteral("template"),
        QStringLiteral("textarea"),
        QStringLiteral("time"),
        QStringLiteral("track"),
        QStringLiteral("tt"),
        QStringLiteral("u"),
        QStringLiteral("var"),
        QStringLiteral("video"),
        QStringLiteral("wbr"),
        // Document and head elements that may stray into the body: a parser files them
        // where they stand or ignores them, and the paragraph goes on.
        QStringLiteral("base"),
        QStringLiteral("body"),
        QStringLiteral("frame"),
        QStringLiteral("frameset"),
        QStringLiteral("head"),
        QStringLiteral("html"),
        QStringLiteral("link"),
        QStringLiteral("meta"),
        QStringLiteral("noframes"),
        QStringLiteral("script"),
        QStringLiteral("style"),
        QStringLiteral("title"),
        // Self-closing spellings: the name then ends in "/".
        QStringLiteral("area/"),
        QStringLiteral("base/"),
        QStringLiteral("basefont/"),
        QStringLiteral("br/"),
        QStringLiteral("embed/"),
        QStringLiteral("frame/"),
        QStringLiteral("image/"),
        QStringLiteral("img/"),
        QStringLiteral("input/"),
        QStringLiteral("keygen/"),
        QStringLiteral("link/"),
        QStringLiteral("meta/"),
        QStringLiteral("param/"),
        QStringLiteral("source/"),
        QStringLiteral("track/"),
        QStringLiteral("wbr/"),
        // Prefixed elements of pages saved by office programs ("<o:p>", "<st1:place>"):
        // the name stops at the colon.
        QStringLiteral("m"),
        QStringLiteral("o"),
        QStringLiteral("st1"),
        QStringLiteral("v"),
        QStringLiteral("w"),
    };
}

}  // namespace

QStringList DefaultSkipList() {
    QStringList list = HtmlSkipList();
    // Drawings and formulas: each name, and its self-closing spelling ("<rect/>").
    for (const char* name : kForeignElements) {
        list.append(QString::fromLatin1(name));
        list.append(QString::fromLatin1(name) + u'/');
    }
    return list;
}

QStringList DefaultIncludeList() {
    // Elements that hold paragraphs and whose end closes one still open inside them. The
    // elements that also stand inside paragraphs (object, button, template, the inline
    // ones) are left out: their end tag would otherwise close a paragraph around them.
    return {
        QStringLiteral("/address"),    QStringLiteral("/article"), QStringLiteral("/aside"),
        QStringLiteral("/blockquote"), QStringLiteral("/body"),    QStringLiteral("/caption"),
        QStringLiteral("/center"),     QStringLiteral("/dd"),      QStringLiteral("/details"),
        QStringLiteral("/dialog"),     QStringLiteral("/dir"),     QStringLiteral("/div"),
        QStringLiteral("/dl"),         QStringLiteral("/dt"),      QStringLiteral("/fieldset"),
        QStringLiteral("/figcaption"), QStringLiteral("/figure"),  QStringLiteral("/footer"),
        QStringLiteral("/form"),       QStringLiteral("/header"),  QStringLiteral("/hgroup"),
        QStringLiteral("/html"),       QStringLiteral("/li"),      QStringLiteral("/listing"),
        QStringLiteral("/main"),       QStringLiteral("/menu"),    QStringLiteral("/nav"),
        QStringLiteral("/ol"),         QStringLiteral("/pre"),     QStringLiteral("/section"),
        QStringLiteral("/summary"),    QStringLiteral("/table"),   QStringLiteral("/tbody"),
        QStringLiteral("/td"),         QStringLiteral("/tfoot"),   QStringLiteral("/th"),
        QStringLiteral("/thead"),      QStringLiteral("/tr"),      QStringLiteral("/ul"),
    };
}

namespace {

bool Fill(sqlite3* db, const ListSchema& schema, const QStringList& entries) {
    Statement insert(db, InsertEntrySql(schema).constData());
    if (!insert.ok()) return false;
    for (const QString& entry : entries) {
        BindText(insert.get(), 1, entry);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) return false;
        sqlite3_reset(insert.get());
    }
    return true;
}

}  // namespace

bool CreateWordListDatabase(const QString& path, StoreError* error) {
    const QString absolute = AbsoluteFileName(path);
    // The database is built in memory and written out as one file by the document
    // writer: checked writes, synced, and never a half-made file under any name.
    QByteArray image;
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
        const Connection connection(raw, absolute);  // closed at the end of this block
        const QByteArray tables =
            CreateListSql(SkipListSchema()) + CreateListSql(IncludeListSchema());
        const bool built =
            rc == SQLITE_OK && sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(raw, tables.constData(), nullptr, nullptr, nullptr) == SQLITE_OK &&
            Fill(raw, SkipListSchema(), DefaultSkipList()) &&
            Fill(raw, IncludeListSchema(), DefaultIncludeList()) &&
            sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_int64 size = 0;
        unsigned char* bytes = built ? sqlite3_serialize(raw, "main", &size, 0) : nullptr;
        if (!bytes) {
            if (error) *error = connection.LastError(StoreError::Step::Creating);
            return false;
        }
        image = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(size));
        sqlite3_free(bytes);
    }
    const FileResult written = WriteNewFile(absolute, image);
    if (!written.ok()) {
        if (error) {
            *error = StoreError{
                .kind = StoreError::Kind::NotWritten, .file = absolute, .reason = written.reason};
        }
        return false;
    }
    return true;
}

}  // namespace quillet
