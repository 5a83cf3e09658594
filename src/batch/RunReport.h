// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace quillet {

struct RepairCommand;

/// How a run was made, as each line of its report says.
struct ReportRun {
    const RepairCommand* command = nullptr;
    bool html5 = false;
    bool writes = true;  ///< false with --check and --diff
};

/// One page's line of the report.
struct PageRecord {
    QString path;  ///< as walked, listed or named; "-" for standard input
    enum class Status { Changed, Unchanged, Failed } status = Status::Failed;
    QString encoding;  ///< empty when the page was not read
    bool byteOrderMark = false;
    qint64 count = 0;  ///< "</p>" added, or line breaks or spaces removed
    qint64 bytesIn = 0;
    qint64 bytesOut = 0;
    QString output;        ///< where the result went; empty when nowhere
    bool written = false;  ///< whether it was written there
    QString error;         ///< why the page failed
};

/// The totals of a run, its last line.
struct RunTotals {
    qint64 pages = 0;
    qint64 changed = 0;
    qint64 unchanged = 0;
    qint64 failed = 0;
    qint64 count = 0;
    qint64 bytesIn = 0;
    qint64 bytesOut = 0;
    double seconds = 0;
    bool interrupted = false;
};

/// The report is JSON Lines: one object a line, each page's, then the run's. A text is a
/// JSON string; a path that is not valid UTF-8 is given in "path" with each byte that is no
/// part of a character replaced by U+FFFD, and exactly, as its bytes in base64, in
/// "path_bytes" (the field is there only then). The same holds for "output".
QByteArray ReportLine(const ReportRun& run, const PageRecord& page);
QByteArray SummaryLine(const ReportRun& run, const RunTotals& totals);

/// `text` as a JSON string, quotes included.
QByteArray JsonString(QStringView text);

}  // namespace quillet
