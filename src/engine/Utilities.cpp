#include "engine/Utilities.h"

namespace quillet {

QStringView TrimSpaces(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') ++begin;
    while (end > begin && text[end - 1] == u' ') --end;
    return text.sliced(begin, end - begin);
}

void AppendJoinedLines(QString& out, QStringView text) {
    const QStringView t = TrimSpaces(text);
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

QString JoinLines(QStringView text) {
    QString out;
    out.reserve(text.size());
    AppendJoinedLines(out, text);
    return out;
}

}  // namespace quillet
