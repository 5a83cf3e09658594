// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "documents/TextEncoding.h"

#include <QByteArrayView>
#include <QStringView>
#include <optional>

namespace quillet {

/// The encoding a page declares in its first 1024 bytes, found as browsers find it (the
/// HTML standard's prescan): the first `<meta charset="...">`, or `<meta
/// http-equiv="Content-Type" content="...; charset=...">`, outside comments, whose label
/// names an encoding. Nothing when there is none.
std::optional<TextEncoding> DeclaredEncoding(QByteArrayView bytes);

/// The encoding a browser reads for a label declared in a page: ISO-8859-1 and US-ASCII
/// are read as Windows-1252, ISO-8859-9 as Windows-1254, TIS-620 as Windows-874, and a
/// declared UTF-16 as UTF-8 (a page whose declaration could be read as ASCII is not UTF-16).
/// Other labels go to Qt. Nothing for a label no encoding answers to.
std::optional<TextEncoding> EncodingForLabel(QStringView label);

}  // namespace quillet
