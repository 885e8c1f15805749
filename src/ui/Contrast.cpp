// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Contrast.h"

#include <algorithm>
#include <cmath>

namespace voxlane::Contrast {

namespace {

double linear(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

} // namespace

double luminance(const QColor& color) {
    const QColor c = color.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double ratio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor over(const QColor& top, const QColor& bottom) {
    const QColor t = top.toRgb(), b = bottom.toRgb();
    const double at = t.alphaF(), ab = b.alphaF();
    const double a = at + ab * (1 - at);
    if (a <= 0) return QColor(0, 0, 0, 0);
    auto mix = [&](double ct, double cb) { return (ct * at + cb * ab * (1 - at)) / a; };
    return QColor::fromRgbF(float(mix(t.redF(), b.redF())), float(mix(t.greenF(), b.greenF())),
                            float(mix(t.blueF(), b.blueF())), float(a));
}

double inkRatio(const QColor& ink, const QColor& surface) {
    return ratio(over(ink, surface), surface);
}

} // namespace voxlane::Contrast
