#include "mainwindow/ProgressDisplay.h"

#include "common/Utilities.h"

#include <QCoreApplication>
#include <QLabel>

namespace quillet {

ProgressDisplay::ProgressDisplay(QLabel& countBox, QLabel& pBox, QWidget* window, Clock clock,
                                 int clockEvery)
    : countBox_(countBox),
      pBox_(pBox),
      window_(window),
      clock_(std::move(clock)),
      clockEvery_(std::max(1, clockEvery)) {
    timer_.start();
    if (!clock_) clock_ = [this] { return timer_.elapsed(); };
}

void ProgressDisplay::begin() {
    stopRequested_ = false;
    repaintDue_ = true;
    untilClock_ = 0;
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
    if (!repaintDue_) {
        if (--untilClock_ > 0) return true;
        untilClock_ = clockEvery_;
        if (clock_() - lastRepaint_ < kRepaintInterval) return true;
    }
    repaintDue_ = false;
    untilClock_ = clockEvery_;
    applyLabels();
    QCoreApplication::processEvents();
    ++repaints_;
    // Handling the events took time of its own; the interval counts from its end.
    lastRepaint_ = clock_();
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
