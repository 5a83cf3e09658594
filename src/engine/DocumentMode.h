// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QStringView>

namespace quillet {

/// How a browser lays a page out, decided by its document type declaration. Of the
/// three, only quirks mode changes where paragraphs end: there a `<table>` stays inside
/// an open paragraph.
enum class DocumentMode { NoQuirks, LimitedQuirks, Quirks };

/// The opening of a page, up to its first element, as an HTML5 parser reads it.
struct DocumentStart {
    DocumentMode mode = DocumentMode::Quirks;
    /// The document type declaration that decided the mode, as [doctypeBegin,
    /// doctypeEnd) in the text; empty when there is none (a page without one, or with one
    /// after the first element or text, is in quirks mode).
    qsizetype doctypeBegin = 0;
    qsizetype doctypeEnd = 0;
    /// Whether the text begins with a byte-order mark (U+FEFF), which is not content.
    bool byteOrderMark = false;
};

/// Reads the page's opening: white space and comments are passed over, a declaration is
/// read as the HTML tokenizer reads it, and the mode follows the HTML standard's rules
/// for its name, public and system identifiers.
DocumentStart ReadDocumentStart(QStringView text);
/// The same for a text in UTF-8; positions are in bytes, and the mark is its three bytes.
DocumentStart ReadDocumentStart(QByteArrayView utf8);

}  // namespace quillet
