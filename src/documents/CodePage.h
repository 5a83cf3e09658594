// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace quillet {

/// Documents are read and written in Windows-1252, the 8-bit code page of a US English
/// system. Its five unassigned bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control
/// characters of the same number, so every byte value survives a read and a write: a page
/// in any other encoding, UTF-8 included, comes back byte for byte.
QString DecodeCodePage(QByteArrayView bytes);

/// The text in the code page, or, when a character has no byte in it, nothing and the
/// 0-based position of the first such character in `*badPosition`.
std::optional<QByteArray> EncodeCodePage(QStringView text, qsizetype* badPosition);

/// The code page's bytes for a text in UTF-8 (valid UTF-8), converted without a 16-bit
/// copy; nothing when a character has no byte in the code page.
std::optional<QByteArray> EncodeCodePageFromUtf8(QByteArrayView utf8);

/// Appends the UTF-8 form of the code page's `bytes` to `out`.
void AppendCodePageAsUtf8(QByteArray& out, QByteArrayView bytes);

/// Describes the character at `position` that cannot be written in `encoding` (the code
/// page unless named), with its line and column, for a message.
QString DescribeUnencodable(QStringView text, qsizetype position,
                            QStringView encoding = u"the Windows-1252 code page");

}  // namespace quillet
