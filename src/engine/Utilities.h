// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace quillet {

/// `text` without its leading and trailing space characters (U+0020 only).
QStringView TrimSpaces(QStringView text);

/// What JoinLines does with a line feed that no carriage return comes before.
enum class LoneLineFeeds {
    Keep,  ///< it stays: only lines ended by a carriage return are joined
    Join,  ///< it is removed as well, so lines ended by a line feed alone are joined too
};

/// `text` trimmed of spaces, with every carriage return removed together with the line
/// feed that directly follows it. A line feed on its own stays unless `lineFeeds` says
/// to join it too.
QString JoinLines(QStringView text, LoneLineFeeds lineFeeds = LoneLineFeeds::Keep);

/// Appends JoinLines(`text`, `lineFeeds`) to `out` without building the joined text first.
void AppendJoinedLines(QString& out, QStringView text,
                       LoneLineFeeds lineFeeds = LoneLineFeeds::Keep);

}  // namespace quillet
