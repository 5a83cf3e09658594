// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/Contrast.h"

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

double Channel(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Channel(rgb.redF()) + 0.7152 * Channel(rgb.greenF()) +
           0.0722 * Channel(rgb.blueF());
}

QColor Blend(const QColor& from, const QColor& to, double share) {
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * share),
                            float(a.greenF() + (b.greenF() - a.greenF()) * share),
                            float(a.blueF() + (b.blueF() - a.blueF()) * share));
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& colour, const QColor& background, double ratio) {
    if (ContrastRatio(colour, background) >= ratio) return colour;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor extreme =
        ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
    // The least blend towards the extreme that reads; steps of 1/64 keep the hue visible.
    for (int step = 1; step < 64; ++step) {
        const QColor blended = Blend(colour, extreme, step / 64.0);
        if (ContrastRatio(blended, background) >= ratio) return blended;
    }
    return extreme;
}

}  // namespace quillet
