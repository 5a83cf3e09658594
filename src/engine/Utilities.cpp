// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Utilities.h"

namespace quillet {

QStringView TrimSpaces(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.sliced(begin, end - begin);
}

namespace {

/// Appends `t` without any carriage return or line feed.
void AppendWithoutLineBreaks(QString& out, QStringView t) {
    qsizetype from = 0;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == u'\r' || t[i] == u'\n') {
            out.append(t.sliced(from, i - from));
            from = i + 1;
        }
    }
    out.append(t.sliced(from));
}

}  // namespace

void AppendJoinedLines(QString& out, QStringView text, LoneLineFeeds lineFeeds) {
    const QStringView t = TrimSpaces(text);
    if (lineFeeds == LoneLineFeeds::Join) {
        // A carriage return goes with the line feed after it, and every line feed goes
        // whatever stands before it: together, every line break goes.
        AppendWithoutLineBreaks(out, t);
        return;
    }
    qsizetype from = 0;
    for (;;) {
        const qsizetype cr = t.indexOf(u'\r', from);
        if (cr < 0) break;
        out.append(t.sliced(from, cr - from));
        from = cr + 1;
        if (from < t.size() && t[from] == u'\n') ++from;
    }
    out.append(t.sliced(from));
}

QString JoinLines(QStringView text, LoneLineFeeds lineFeeds) {
    QString out;
    out.reserve(text.size());
    AppendJoinedLines(out, text, lineFeeds);
    return out;
}

}  // namespace quillet
