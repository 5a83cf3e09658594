// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/TerminalProgress.h"

namespace quillet {

namespace {
constexpr int kCallsPerClockRead = 4096;
constexpr qint64 kRedrawMs = 100;
constexpr int kBarWidth = 30;
}  // namespace

TerminalProgress::TerminalProgress(QIODevice& err, QString label, qint64 total, bool drawBar)
    : err_(err),
      label_(std::move(label)),
      total_(total),
      drawBar_(drawBar),
      throttle_(kRedrawMs, kCallsPerClockRead) {}

TerminalProgress::~TerminalProgress() {
    finish();
}

bool TerminalProgress::processEvents() {
    if (drawBar_ && throttle_.due()) {
        draw();
        throttle_.drawn();
    }
    return true;
}

void TerminalProgress::draw() {
    const qint64 done = total_ > 0 ? qBound<qint64>(0, total_ - remaining_, total_) : 0;
    const int percent = total_ > 0 ? int(done * 100 / total_) : 100;
    const int filled = percent * kBarWidth / 100;
    QString line = QStringLiteral("\r%1 [%2%3] %4%")
                       .arg(label_, QString(filled, u'#'), QString(kBarWidth - filled, u'.'))
                       .arg(percent, 3);
    if (added_ >= 0) line += QStringLiteral("  %1 </p> added").arg(added_);
    err_.write(line.toUtf8() + "\x1b[K");
    drawn_ = true;
}

void TerminalProgress::notice(const QString& text) {
    finish();
    err_.write((label_ + QStringLiteral(": ") + text + u'\n').toUtf8());
}

void TerminalProgress::finish() {
    if (drawn_) err_.write("\r\x1b[K");
    drawn_ = false;
}

}  // namespace quillet
