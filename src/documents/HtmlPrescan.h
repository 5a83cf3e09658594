// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/TextEncoding.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace quillet {

/// An encoding a page declares, as browsers take the declaration.
struct Declaration {
    /// The encoding the label names, by the name browsers give it: "ISO-8859-2" for
    /// "latin2", "Windows-1252" for "iso-8859-1", "UTF-16LE" for "utf-16".
    QString declared;
    /// The encoding browsers read the page in for it: `declared`, but UTF-8 for a declared
    /// UTF-16LE or UTF-16BE (a page whose declaration reads as ASCII is not in UTF-16) and
    /// Windows-1252 for x-user-defined.
    QString meant;
    /// `meant` as this program reads it; nothing when it is not available here.
    std::optional<TextEncoding> encoding;
};

/// The declaration a label makes, as browsers read it: the label, without ASCII white space
/// around it and in any ASCII letter case, must be one of the labels of the Encoding
/// Standard ("latin2", "iso_8859-2:1987", "l2", "x-mac-cyrillic", ...). Nothing for any
/// other label ("latin-2", "cp037", "koi8r"), and nothing for the labels of the
/// "replacement" encoding ("iso-2022-kr", "hz-gb-2312", ...), which browsers refuse to read
/// a page in: such a page is taken as declaring nothing.
std::optional<Declaration> DeclarationForLabel(QStringView label);

/// The encoding a page declares in its first 1024 bytes, found as browsers find it (the
/// HTML standard's prescan): the first `<meta charset="...">`, or `<meta
/// http-equiv="Content-Type" content="...; charset=...">`, outside comments, whose label
/// names an encoding. Nothing when there is none.
std::optional<Declaration> DeclaredEncoding(QByteArrayView bytes);

/// What a page declaring `label` is read in (DeclarationForLabel's `encoding`): ISO-8859-1
/// and US-ASCII are read as Windows-1252, ISO-8859-9 as Windows-1254, TIS-620 as
/// Windows-874, a declared UTF-16 as UTF-8. Nothing for a label no encoding answers to, or
/// one whose encoding is not available here.
std::optional<TextEncoding> EncodingForLabel(QStringView label);

/// The names of the encodings the labels name, each once.
QStringList LabelledEncodings();

}  // namespace quillet
