// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <cmath>

namespace quillet {

/// Twips per logical pixel: 1440 twips make an inch, and an inch is 96 pixels.
constexpr int kTwipsPerPixel = 15;

/// A length in twips as logical pixels at the design scale `scale` (see
/// MainFormUi::DesignScale), rounded to the nearest pixel.
inline int TwipsToPixels(int twips, double scale = 1.0) {
    return int(std::lround(double(twips) * scale / kTwipsPerPixel));
}

/// A rectangle given in twips (left, top, width, height) as logical pixels at `scale`.
inline QRect TwipsRect(int left, int top, int width, int height, double scale = 1.0) {
    return QRect(TwipsToPixels(left, scale), TwipsToPixels(top, scale), TwipsToPixels(width, scale),
                 TwipsToPixels(height, scale));
}

}  // namespace quillet
