// The picture's place in the scene. The order and grouping of every operation below is part of
// the result: the worked layouts are reproduced bit for bit only in exactly this form.
#include "play/scene.h"

#include <cmath>
#include <cstdint>

namespace {
constexpr int kMargin = 30;
constexpr int kBottomBand = 100;
constexpr int kCycle = 80;
constexpr int kHalfCycle = 40;
// Used as a multiplier, never as a divisor: 1/39 rounded once.
constexpr double kStep = 1.0 / 39.0;
constexpr double kBase = 0.5;

// Truncation toward zero; values outside int (only from absurd boxes) are pinned.
int Trunc(double v)
{
    if (!(v > -2147483648.0))
        return v != v ? 0 : INT32_MIN;
    if (v >= 2147483648.0)
        return INT32_MAX;
    return static_cast<int>(v);
}
} // namespace

RECT PictureBox(const RECT& screen)
{
    RECT box = screen;
    InflateRect(&box, -kMargin, -kMargin);
    box.bottom -= kBottomBand;
    return box;
}

PictureRect ComputePictureRect(const RECT& box, UINT pictureWidth, UINT pictureHeight,
                               int repeatTotal)
{
    const std::int64_t boxW = std::int64_t{box.right} - box.left;
    const std::int64_t boxH = std::int64_t{box.bottom} - box.top;
    // A picture with no size, or a screen too small to hold a box, shows no picture.
    if (pictureWidth == 0 || pictureHeight == 0 || boxW <= 0 || boxH <= 0)
        return {box.left, box.top, 0, 0};

    const double w = pictureWidth;
    const double h = pictureHeight;
    const double scaleW = static_cast<double>(boxW) / w;
    const double scaleH = static_cast<double>(boxH) / h;
    const double scale = scaleW < scaleH ? scaleW : scaleH;

    int t = repeatTotal % kCycle;
    if (t < 0)
        t += kCycle;
    const double u = t < kHalfCycle ? 1.0 + t * kStep : 2.0 - (t - kHalfCycle) * kStep;
    const double k = (scale * u) * kBase;
    const double drawW = w * k;
    const double drawH = h * k;

    const std::int64_t sumX = std::int64_t{box.left} + box.right;
    const std::int64_t sumY = std::int64_t{box.top} + box.bottom;
    return {Trunc((static_cast<double>(sumX) - drawW) * 0.5),
            Trunc((static_cast<double>(sumY) - drawH) * 0.5), Trunc(drawW), Trunc(drawH)};
}
