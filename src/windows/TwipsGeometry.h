#pragma once

#include <QRect>

namespace quillet {

/// Twips per logical pixel: 1440 twips make an inch, and an inch is 96 pixels.
constexpr int kTwipsPerPixel = 15;

/// A length in twips as logical pixels, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

/// A rectangle given in twips (left, top, width, height) as logical pixels.
constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

}  // namespace quillet
