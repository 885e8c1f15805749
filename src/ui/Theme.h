// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>

class QPainter;
class QPainterPath;
class QObject;
class QVariantAnimation;

namespace voxlane::Theme {

// Sizes are in device-independent pixels; one point of the design is one pixel at scale 1.

QColor boost();  // sRGB 1.0, 0.62, 0.22: fader fill past 100 %
QColor live();   // sRGB 0.3, 0.85, 0.47
QColor danger(); // sRGB 1.0, 0.36, 0.33

// The text styles of the dark panel: primary (white), secondary and tertiary (fainter white).
QColor primary(qreal opacity = 1.0);
QColor secondary();
QColor tertiary();

QFont title();  // 13, semibold
QFont name();   // 12.5, medium
QFont detail(); // 11, regular
QFont value();  // 11, medium, digits of equal width
// The system font at `pixels` with `weight`.
QFont systemFont(qreal pixels, QFont::Weight weight);

// A spring animation: response (period) in seconds, damping fraction, blend duration.
struct Spring {
    double response;
    double dampingFraction;
    double blendDuration;
};
inline constexpr Spring hover{0.28, 0.85, 0};
inline constexpr Spring snappy{0.34, 0.82, 0};

// The spring as a Qt animation: how long it runs until it has settled (within 0.1 %) and the
// easing curve of its step response over that time. With motion reduced every spring takes no
// time: views change at once.
int durationMs(const Spring& spring);
// Where nothing composites the windows (a window is cut to the shape of what it shows once per
// layout), motion is reduced; it is on by default.
void setReducedMotion(bool reduced);
bool reducedMotion();
QEasingCurve easing(const Spring& spring);
// An animation of a number from `from` to `to` with the spring, owned by `parent`.
QVariantAnimation* springAnimation(QObject* parent, const Spring& spring, qreal from, qreal to);
// The step response itself, 0 at t = 0 and settling at 1 (it overshoots a little).
double springProgress(const Spring& spring, double seconds);

// Corner radius of the panel's large modules.
inline constexpr qreal moduleRadius = 26;

// The glass look of a module in `shape`: a dark, translucent ultra-thin material with a 1-pixel
// white outline at opacity 0.12. Interactive glass brightens a little while `highlighted`.
void glassModule(QPainter& painter, const QPainterPath& shape, bool interactive = false,
                 bool highlighted = false);

} // namespace voxlane::Theme
