// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace quillet {

/// A unified diff of two versions of a file, by lines, as `patch -p1` applies it: the
/// headers "--- a/PATH" and "+++ b/PATH", then a hunk for each run of changed lines with
/// `context` unchanged lines on either side. A line runs up to and including its "\n", so
/// a line ended by CR LF keeps its CR; a last line without "\n" is followed by "\ No newline
/// at end of file". Empty when the two are the same.
///
/// The lines are matched by a longest common subsequence within each stretch between lines
/// found once in each version, and in full in small stretches; a large stretch without such
/// lines is given as removed and added whole. The diff is always right, if not always the
/// shortest.
QByteArray UnifiedDiff(QByteArrayView before, QByteArrayView after, QByteArrayView path,
                       int context = 3);

}  // namespace quillet
