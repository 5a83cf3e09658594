// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/TerminalProgress.h"

#include <algorithm>

namespace quillet {

namespace {
constexpr qint64 kRedrawMs = 100;

QString Megabytes(qint64 bytes) {
    return QString::number(double(bytes) / 1e6, 'f', 1);
}
}  // namespace

TerminalProgress::TerminalProgress(QIODevice& err, bool on, RunCount total)
    : err_(err), on_(on), total_(total) {
    clock_.start();
}

QString TerminalProgress::Line(RunCount done, RunCount total, qint64 elapsedMs) {
    QString line = QStringLiteral("%1/%2 pages  %3/%4 MB")
                       .arg(done.pages)
                       .arg(total.pages)
                       .arg(Megabytes(done.bytes), Megabytes(total.bytes));
    if (elapsedMs <= 0 || done.pages == 0) return line;
    line += QStringLiteral("  %1 pages/s").arg(qRound64(double(done.pages) * 1000 / elapsedMs));
    // The time left, from the bytes done so far, or the pages when the pages are empty.
    const double share = total.bytes > 0
                             ? double(done.bytes) / double(total.bytes)
                             : double(done.pages) / double(std::max<qint64>(total.pages, 1));
    if (share > 0) {
        const qint64 left = qRound64(double(elapsedMs) / 1000 * (1 - share) / share);
        line += QStringLiteral("  %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QChar(u'0'));
    }
    return line;
}

void TerminalProgress::update(RunCount done) {
    if (!on_) return;
    const qint64 now = clock_.elapsed();
    if (drawnAt_ >= 0 && now - drawnAt_ < kRedrawMs) return;
    err_.write("\r" + Line(done, total_, now).toUtf8() + "\x1b[K");
    drawnAt_ = now;
    drawn_ = true;
}

void TerminalProgress::clear() {
    if (drawn_) err_.write("\r\x1b[K");
    drawn_ = false;
}

}  // namespace quillet
