// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quillet {

/// File names as the program holds them. On Linux a file name is a string of bytes that
/// need not be UTF-8, while Qt turns every byte that is not valid UTF-8 into U+FFFD, so
/// such a file could not be named again. These two functions decode a name as UTF-8 and
/// keep each other byte 0x80-0xFF as the lone surrogate U+DC80-U+DCFF (which UTF-8 cannot
/// carry), so that encoding the name gives back the very same bytes. For UTF-8 names they
/// equal QFile::decodeName and QFile::encodeName.
QString DecodeFileName(QByteArrayView bytes);
QByteArray EncodeFileName(QStringView name);

/// `name` made absolute against the working folder, whose own name may not be UTF-8.
QString AbsoluteFileName(const QString& name);

}  // namespace quillet
