// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/ScreenHandler.h"

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

/// `part / whole` as a 32-bit float; 0 when the whole has no size.
float Ratio(int part, int whole) {
    if (whole == 0) return 0.0f;
    return float(part) / float(whole);
}

/// `size × ratio` as a 32-bit float, rounded to whole pixels; nothing when out of range.
std::optional<int> Scaled(int size, float ratio) {
    const float value = float(size) * ratio;
    if (!std::isfinite(value) || std::fabs(value) > 1.0e9f) return std::nullopt;
    return int(std::lround(value));
}

}  // namespace

void ScreenHandler::InitResizeArray(const QWidget& window) {
    entries_.clear();
    const int width = window.width();
    const int height = window.height();
    for (QObject* child : window.children()) {
        auto* control = qobject_cast<QWidget*>(child);
        // Objects without a place (actions, layouts) and windows of their own are no
        // controls of this window.
        if (!control || control->isWindow()) continue;
        const QRect place = control->geometry();
        Entry entry{control, {}};
        entry.ratio.width = Ratio(place.width(), width);
        entry.ratio.height = Ratio(place.height(), height);
        entry.ratio.left = Ratio(place.left(), width);
        entry.ratio.top = Ratio(place.top(), height);
        entries_.append(entry);
    }
}

void ScreenHandler::ResizeControls(const QWidget& window) {
    const int width = window.width();
    const int height = window.height();
    for (const Entry& entry : std::as_const(entries_)) {
        if (!entry.control) continue;
        const std::optional<int> left = Scaled(width, entry.ratio.left);
        const std::optional<int> top = Scaled(height, entry.ratio.top);
        const std::optional<int> w = Scaled(width, entry.ratio.width);
        const std::optional<int> h = Scaled(height, entry.ratio.height);
        if (!left || !top || !w || !h) continue;
        // A control that may not be as tall as its share stays in the middle of it.
        const int height = std::min(*h, entry.control->maximumHeight());
        entry.control->setGeometry(*left, *top + (*h - height) / 2, *w, height);
    }
}

}  // namespace quillet
