// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace quillet {

/// `text` without its leading and trailing space characters (U+0020 only).
QStringView TrimSpaces(QStringView text);

}  // namespace quillet
