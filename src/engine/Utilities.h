// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace quillet {

/// `text` without its leading and trailing space characters (U+0020 only).
QStringView TrimSpaces(QStringView text);

/// What Strip Newlines does with a line feed that no carriage return comes before.
enum class LoneLineFeeds {
    Keep,  ///< it stays: only lines ended by a carriage return are joined
    Join,  ///< it is removed as well, so lines ended by a line feed alone are joined too
};

}  // namespace quillet
