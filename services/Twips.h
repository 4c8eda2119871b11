#pragma once

#include <QtMath>

// Sizes are designed in twips: 15 twips to a pixel at 96 dpi.
namespace Twips {
constexpr int perPixel = 15;
inline int toPx(double twips) { return qRound(twips / perPixel); }
inline int fromPx(int px) { return px * perPixel; }
} // namespace Twips
