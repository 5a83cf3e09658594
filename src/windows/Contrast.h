// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

namespace quillet {

/// The contrast ratio of two colours as the web's accessibility guidelines define it:
/// from 1 (the same luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

/// `colour`, or the nearest colour of the same hue towards black or white (whichever
/// stands further from `background`) whose contrast with `background` reaches `ratio`.
QColor ReadableOn(const QColor& colour, const QColor& background, double ratio = 4.5);

}  // namespace quillet
