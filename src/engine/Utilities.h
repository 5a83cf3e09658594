#pragma once

#include <QString>
#include <QStringView>

namespace quillet {

/// `text` without its leading and trailing space characters (U+0020 only).
QStringView TrimSpaces(QStringView text);

/// `text` trimmed of spaces, with every carriage return removed together with the line
/// feed that directly follows it. A line feed on its own stays.
QString JoinLines(QStringView text);

/// Appends JoinLines(`text`) to `out` without building the joined text first.
void AppendJoinedLines(QString& out, QStringView text);

}  // namespace quillet
