// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/ProgressDisplay.h"

#include "windows/Utilities.h"

#include <QCoreApplication>
#include <QLabel>

namespace quillet {

ProgressDisplay::ProgressDisplay(QLabel& countBox, QLabel& pBox, QWidget* window, Clock clock,
                                 int clockEvery)
    : countBox_(countBox),
      pBox_(pBox),
      window_(window),
      throttle_(kRepaintInterval, clockEvery, std::move(clock)) {
    throttle_.force();
}

void ProgressDisplay::begin() {
    stopRequested_ = false;
    throttle_.force();
    if (onBegin) onBegin();
}

void ProgressDisplay::finish() {
    applyLabels();
}

void ProgressDisplay::showRemaining(qint64 remaining) {
    remaining_ = remaining;
    countDirty_ = true;
}

void ProgressDisplay::showAdded(qint32 added) {
    added_ = added;
    addedShown_ = true;
    addedDirty_ = true;
}

void ProgressDisplay::clearAdded() {
    addedShown_ = false;
    addedDirty_ = true;
}

bool ProgressDisplay::processEvents() {
    if (stopRequested_) return false;
    if (!throttle_.due()) return true;
    applyLabels();
    QCoreApplication::processEvents();
    ++repaints_;
    // Handling the events took time of its own; the interval counts from its end.
    throttle_.drawn();
    return !stopRequested_;
}

void ProgressDisplay::notice(const QString& text) {
    applyLabels();
    ShowMessage(text, window_);
}

void ProgressDisplay::applyLabels() {
    if (countDirty_) countBox_.setText(QString::number(remaining_));
    if (addedDirty_) pBox_.setText(addedShown_ ? QString::number(added_) : QString());
    countDirty_ = false;
    addedDirty_ = false;
}

}  // namespace quillet
