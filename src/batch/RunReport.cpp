// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/RunReport.h"

#include "documents/FileNames.h"
#include "engine/RepairCommands.h"

#include <QStringDecoder>

namespace quillet {

namespace {

/// Adds `"name":` and a path: its text, and when its bytes are not UTF-8, the bytes too.
void AppendPath(QByteArray& line, const char* name, const QString& path) {
    const QByteArray bytes = EncodeFileName(path);
    QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = strict.decode(bytes);
    line.append(",\"").append(name).append("\":").append(JsonString(text));
    if (strict.hasError()) {
        line.append(",\"").append(name).append("_bytes\":\"").append(bytes.toBase64()).append('"');
    }
}

const char* StatusName(PageRecord::Status status) {
    switch (status) {
        case PageRecord::Status::Changed:
            return "changed";
        case PageRecord::Status::Unchanged:
            return "unchanged";
        case PageRecord::Status::Failed:
            break;
    }
    return "failed";
}

/// `"command":..,"mode":..`, and the name the run's count goes under.
const char* AppendRun(QByteArray& line, const ReportRun& run) {
    const RepairCommand& command = *run.command;
    line.append("\"command\":\"").append(command.name).append('"');
    line.append(",\"mode\":");
    if (command.id == RepairId::Fix) {
        line.append(run.html5 ? "\"html5\"" : "\"wordlists\"");
    } else {
        line.append("null");
    }
    return command.done;
}

}  // namespace

QByteArray JsonString(QStringView text) {
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped.append(u'"');
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'"':
                escaped.append(u"\\\"");
                break;
            case u'\\':
                escaped.append(u"\\\\");
                break;
            case u'\n':
                escaped.append(u"\\n");
                break;
            case u'\r':
                escaped.append(u"\\r");
                break;
            case u'\t':
                escaped.append(u"\\t");
                break;
            default:
                if (c.unicode() < 0x20) {
                    escaped.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0')));
                } else {
                    escaped.append(c);
                }
        }
    }
    escaped.append(u'"');
    return escaped.toUtf8();
}

QByteArray ReportLine(const ReportRun& run, const PageRecord& page) {
    QByteArray line = "{\"type\":\"page\",";
    const char* counted = AppendRun(line, run);
    AppendPath(line, "path", page.path);
    line.append(",\"status\":\"").append(StatusName(page.status)).append('"');
    line.append(",\"encoding\":")
        .append(page.encoding.isEmpty() ? QByteArray("null") : JsonString(page.encoding));
    line.append(",\"byte_order_mark\":").append(page.byteOrderMark ? "true" : "false");
    line.append(",\"").append(counted).append("\":").append(QByteArray::number(page.count));
    line.append(",\"bytes_in\":").append(QByteArray::number(page.bytesIn));
    line.append(",\"bytes_out\":").append(QByteArray::number(page.bytesOut));
    if (page.output.isEmpty()) {
        line.append(",\"output\":null");
    } else {
        AppendPath(line, "output", page.output);
    }
    line.append(",\"written\":").append(page.written ? "true" : "false");
    line.append(",\"error\":")
        .append(page.error.isEmpty() ? QByteArray("null") : JsonString(page.error));
    return line.append("}\n");
}

QByteArray SummaryLine(const ReportRun& run, const RunTotals& totals) {
    QByteArray line = "{\"type\":\"summary\",";
    const char* counted = AppendRun(line, run);
    line.append(",\"writes\":").append(run.writes ? "true" : "false");
    line.append(",\"pages\":").append(QByteArray::number(totals.pages));
    line.append(",\"changed\":").append(QByteArray::number(totals.changed));
    line.append(",\"unchanged\":").append(QByteArray::number(totals.unchanged));
    line.append(",\"failed\":").append(QByteArray::number(totals.failed));
    line.append(",\"").append(counted).append("\":").append(QByteArray::number(totals.count));
    line.append(",\"bytes_in\":").append(QByteArray::number(totals.bytesIn));
    line.append(",\"bytes_out\":").append(QByteArray::number(totals.bytesOut));
    line.append(",\"seconds\":").append(QByteArray::number(totals.seconds, 'f', 3));
    line.append(",\"interrupted\":").append(totals.interrupted ? "true" : "false");
    return line.append("}\n");
}

}  // namespace quillet
