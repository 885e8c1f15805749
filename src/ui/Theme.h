// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QString>
#include <functional>
#include <vector>

class QMenu;
class QPainter;
class QPainterPath;
class QObject;
class QVariantAnimation;
class QWidget;

namespace voxlane::Theme {

// Sizes are in device-independent pixels; one point of the design is one pixel at scale 1.

QColor boost();  // sRGB 1.0, 0.62, 0.22: fader fill past 100 %
QColor live();   // sRGB 0.3, 0.85, 0.47
QColor danger(); // sRGB 1.0, 0.36, 0.33

// The glass comes dark or light, after the desktop's colour scheme; the accents above are the
// same in both.
enum class Variant { dark, light };
Variant variant();
// Switches every view over at once: whatever follows the theme is applied again and every
// widget is drawn anew.
void setVariant(Variant variant);
// Calls `apply` now and again after each change of variant, for as long as `context` lives.
void follow(QObject* context, std::function<void()> apply);

// The text styles: primary (white on dark glass, near-black on light), secondary and tertiary
// (the same ink, fainter). Over the glass as drawn, on any desktop behind it, primary text
// keeps at least 4.5:1 at opacity 0.95, secondary 4.5:1 and tertiary 3:1.
QColor primary(qreal opacity = 1.0);
QColor secondary();
QColor tertiary();
inline constexpr qreal secondaryOpacity = 0.70;
inline constexpr qreal tertiaryOpacity = 0.55;
// Text or a symbol on a fill of the primary colour (a selected chip): black on white in the
// dark variant, white on near-black in the light one.
QColor onPrimary(qreal opacity = 1.0);
// Gives `widget` (a label) `color` as its text colour; one of the inks above follows the theme.
void setTextColor(QWidget* widget, const QColor& color);

// An accent as text or a symbol on the glass: the accent itself where it keeps `ratio` against
// the glass as drawn, else the same hue deepened (light glass) or lightened (dark glass) until
// it does. Fills keep the accent as it is.
QColor legible(const QColor& accent, double ratio = 3.0);
// The lowest contrast of `ink` over a module's glass at rest, over any grey from black to white
// behind the panel (the glass is translucent).
double glassContrast(const QColor& ink);

// The letter tile of an app without an icon: the fill for `hue` (0…359) and the letter on it,
// at least 4.5:1 apart, the tile at least 3:1 against the glass.
struct Tile {
    QColor fill;
    QColor letter;
};
Tile letterTile(int hue);

// The colours a module's glass is filled with from top to bottom (lifted: interactive glass
// under the pointer) and its outline.
struct GlassFill {
    QColor top;
    QColor bottom;
    QColor outline;
};
GlassFill glassFill(bool lifted = false);
// The opaque surface of the device and first-run windows, top and bottom.
GlassFill windowFill();

// The panel's menus (a row's, the device menu, the settings menu and their submenus) in the
// colours of the glass, dark or light with the theme.
void styleMenu(QMenu* menu);
// "rgba(r, g, b, a)" for a style sheet.
QString css(const QColor& color);

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

// The glass look of a module in `shape`: a translucent ultra-thin material, dark or light, with a
// 1-pixel outline of the ink at opacity 0.12. Interactive glass brightens a little while
// `highlighted`.
void glassModule(QPainter& painter, const QPainterPath& shape, bool interactive = false,
                 bool highlighted = false);

} // namespace voxlane::Theme
