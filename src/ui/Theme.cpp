// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Theme.h"

#include "ui/Contrast.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMap>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace voxlane::Theme {

QColor boost() {
    static const QColor c = QColor::fromRgbF(1.0f, 0.62f, 0.22f, 1.0f);
    return c;
}

QColor live() {
    static const QColor c = QColor::fromRgbF(0.3f, 0.85f, 0.47f);
    return c;
}

QColor danger() {
    static const QColor c = QColor::fromRgbF(1.0f, 0.36f, 0.33f);
    return c;
}

namespace {

Variant current = Variant::dark;

struct Follower {
    QPointer<QObject> context;
    std::function<void()> apply;
};
std::vector<Follower>& followers() {
    static std::vector<Follower> list;
    return list;
}

QColor withAlpha(QColor c, qreal opacity) {
    c.setAlphaF(static_cast<float>(std::clamp(opacity, 0.0, 1.0)));
    return c;
}

// The ink of each variant: white on the dark glass, a near-black on the light one.
QColor ink(Variant v) {
    return v == Variant::dark ? QColor(255, 255, 255) : QColor(20, 20, 24);
}

} // namespace

Variant variant() {
    return current;
}

void setVariant(Variant v) {
    if (v == current) return;
    current = v;
    // A follower may add followers (a view built anew): apply the ones there were.
    auto& list = followers();
    std::erase_if(list, [](const Follower& f) { return f.context.isNull(); });
    const std::vector<Follower> now = list;
    for (const Follower& f : now)
        if (f.context) f.apply();
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        for (QWidget* w : QApplication::allWidgets())
            w->update();
    }
}

void follow(QObject* context, std::function<void()> apply) {
    if (!context || !apply) return;
    apply();
    auto& list = followers();
    std::erase_if(list, [](const Follower& f) { return f.context.isNull(); });
    list.push_back({context, std::move(apply)});
}

QColor primary(qreal opacity) {
    return withAlpha(ink(current), opacity);
}

QColor secondary() {
    return primary(secondaryOpacity);
}

QColor tertiary() {
    return primary(tertiaryOpacity);
}

QColor onPrimary(qreal opacity) {
    return withAlpha(current == Variant::dark ? QColor(0, 0, 0) : QColor(255, 255, 255), opacity);
}

void setTextColor(QWidget* widget, const QColor& color) {
    if (!widget) return;
    auto apply = [widget](const QColor& c) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, c);
        widget->setPalette(palette);
    };
    if (color.rgb() != ink(current).rgb()) {
        apply(color);
        return;
    }
    // The ink at this opacity in whichever variant is shown.
    follow(widget, [apply, opacity = color.alphaF()] { apply(primary(opacity)); });
}

GlassFill glassFill(bool lifted) {
    // Ultra-thin material: the desktop shows through, but little enough that text on it keeps
    // its contrast whatever lies behind the panel.
    const int alpha = current == Variant::dark ? 224 : 219; // 0.88, 0.86
    if (current == Variant::dark) {
        const int lift = lifted ? 10 : 0;
        return {QColor(46 + lift, 46 + lift, 52 + lift, alpha),
                QColor(32 + lift, 32 + lift, 38 + lift, alpha), primary(0.12)};
    }
    const int lift = lifted ? 5 : 0;
    return {QColor(250 + lift, 250 + lift, std::min(252 + lift, 255), alpha),
            QColor(240 + lift, 240 + lift, 244 + lift, alpha), primary(0.10)};
}

GlassFill windowFill() {
    if (current == Variant::dark) return {QColor(38, 38, 44), QColor(26, 26, 31), primary(0.10)};
    return {QColor(248, 248, 250), QColor(236, 236, 240), primary(0.10)};
}

double glassContrast(const QColor& ink) {
    double worst = 21;
    const GlassFill fill = glassFill();
    for (int grey = 0; grey <= 255; grey += 15) {
        const QColor desktop(grey, grey, grey);
        for (const QColor& glass : {fill.top, fill.bottom})
            worst = std::min(worst, Contrast::inkRatio(ink, Contrast::over(glass, desktop)));
    }
    return worst;
}

QColor legible(const QColor& accent, double ratio) {
    static QMap<QString, QColor> cache;
    const QString key =
        QStringLiteral("%1 %2 %3").arg(int(current)).arg(accent.rgba(), 8, 16).arg(ratio);
    if (const auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    // Towards black on the light glass, towards white on the dark one: the hue stays.
    const QColor towards = current == Variant::dark ? QColor(255, 255, 255) : QColor(0, 0, 0);
    QColor result = accent;
    for (int step = 1; step <= 50 && glassContrast(result) < ratio; ++step) {
        const double t = step / 50.0;
        result = QColor::fromRgbF(float(accent.redF() + (towards.redF() - accent.redF()) * t),
                                  float(accent.greenF() + (towards.greenF() - accent.greenF()) * t),
                                  float(accent.blueF() + (towards.blueF() - accent.blueF()) * t),
                                  accent.alphaF());
    }
    cache.insert(key, result);
    return result;
}

Tile letterTile(int hue) {
    // A fill of one luminance for every hue: light tiles with a dark letter on the dark glass,
    // deep ones with a white letter on the light glass.
    const bool dark = current == Variant::dark;
    const double target = dark ? 0.42 : 0.11;
    double low = 0, high = 1;
    QColor fill;
    for (int i = 0; i < 24; ++i) {
        const double mid = (low + high) / 2;
        fill = QColor::fromHslF(float(((hue % 360) + 360) % 360 / 360.0), 0.55f, float(mid));
        (Contrast::luminance(fill) < target ? low : high) = mid;
    }
    return {fill, dark ? QColor(20, 20, 24) : QColor(255, 255, 255)};
}

QString css(const QColor& c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(c.alpha());
}

namespace {

QPalette menuPalette(const QPalette& base) {
    // The glass as it looks over an average desktop, opaque: menus are windows of their own.
    const GlassFill fill = glassFill();
    const QColor middle(128, 128, 128);
    const QColor surface = Contrast::over(fill.bottom, middle);
    const QColor text = primary(0.95);
    const QColor selected = Contrast::over(primary(0.14), surface);
    const QColor faint = Contrast::over(tertiary(), surface);
    QPalette p = base;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button,
                                         QPalette::AlternateBase, QPalette::ToolTipBase})
            p.setColor(group, role, surface);
        const QColor ink = group == QPalette::Disabled ? faint : Contrast::over(text, surface);
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText,
              QPalette::ToolTipText, QPalette::BrightText})
            p.setColor(group, role, ink);
        p.setColor(group, QPalette::Highlight, selected);
        p.setColor(group, QPalette::PlaceholderText, faint);
        p.setColor(group, QPalette::Light, Contrast::over(primary(0.20), surface));
        p.setColor(group, QPalette::Midlight, Contrast::over(primary(0.14), surface));
        p.setColor(group, QPalette::Mid, Contrast::over(primary(0.10), surface));
        p.setColor(group, QPalette::Dark, Contrast::over(primary(0.18), surface));
        p.setColor(group, QPalette::Shadow, QColor(0, 0, 0, 90));
    }
    return p;
}

void paintMenu(QMenu* menu) {
    menu->setPalette(menuPalette(menu->palette()));
    for (QMenu* sub : menu->findChildren<QMenu*>())
        sub->setPalette(menuPalette(sub->palette()));
}

} // namespace

void styleMenu(QMenu* menu) {
    if (!menu) return;
    follow(menu, [menu] { paintMenu(menu); });
    // Submenus added after this are painted before they show.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] { paintMenu(menu); });
}

QFont systemFont(qreal pixels, QFont::Weight weight) {
    QFont font = QGuiApplication::font();
    // Qt works in points of 1/72 inch at a logical 96 dpi: 0.75 points to the pixel.
    font.setPointSizeF(pixels * 0.75);
    font.setWeight(weight);
    return font;
}

QFont title() {
    static const QFont f = systemFont(13, QFont::DemiBold);
    return f;
}

QFont name() {
    static const QFont f = systemFont(12.5, QFont::Medium);
    return f;
}

QFont detail() {
    static const QFont f = systemFont(11, QFont::Normal);
    return f;
}

QFont value() {
    // Digits of equal width keep a changing percentage still. Qt 6.4 cannot ask a face for
    // tabular figures; the sans faces the panel uses (DejaVu Sans and its kin) have them anyway.
    static const QFont f = systemFont(11, QFont::Medium);
    return f;
}

double springProgress(const Spring& spring, double t) {
    const double omega = 2 * std::numbers::pi / spring.response;
    const double zeta = std::clamp(spring.dampingFraction, 0.01, 0.999);
    const double damped = omega * std::sqrt(1 - zeta * zeta);
    const double decay = std::exp(-zeta * omega * t);
    return 1 - decay * (std::cos(damped * t) + zeta * omega / damped * std::sin(damped * t));
}

namespace {
bool motionReduced = false;
} // namespace

void setReducedMotion(bool reduced) {
    motionReduced = reduced;
}

bool reducedMotion() {
    return motionReduced;
}

int durationMs(const Spring& spring) {
    if (motionReduced) return 0;
    const double omega = 2 * std::numbers::pi / spring.response;
    // e^(−ζωt) < 0.001
    return static_cast<int>(std::ceil(6.9 / (spring.dampingFraction * omega) * 1000));
}

namespace {

template <const Spring& S>
qreal springCurve(qreal progress) {
    if (progress >= 1) return 1;
    return springProgress(S, progress * durationMs(S) / 1000.0);
}

} // namespace

QEasingCurve easing(const Spring& spring) {
    QEasingCurve curve;
    if (&spring == &hover)
        curve.setCustomType(&springCurve<hover>);
    else if (&spring == &snappy)
        curve.setCustomType(&springCurve<snappy>);
    else
        curve.setType(QEasingCurve::OutCubic);
    return curve;
}

QVariantAnimation* springAnimation(QObject* parent, const Spring& spring, qreal from, qreal to) {
    auto* animation = new QVariantAnimation(parent);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setDuration(durationMs(spring));
    animation->setEasingCurve(easing(spring));
    return animation;
}

void glassModule(QPainter& painter, const QPainterPath& shape, bool interactive, bool highlighted) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = shape.boundingRect();
    // A faint sheen towards the top.
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    const GlassFill colours = glassFill(interactive && highlighted);
    fill.setColorAt(0, colours.top);
    fill.setColorAt(1, colours.bottom);
    painter.fillPath(shape, fill);
    painter.setPen(QPen(colours.outline, 1));
    painter.setBrush(Qt::NoBrush);
    // The outline runs half a pixel inside the shape so that all of it is seen.
    const QPainterPath inner = [&] {
        QTransform t;
        t.translate(r.center().x(), r.center().y());
        t.scale((r.width() - 1) / std::max(r.width(), 1.0),
                (r.height() - 1) / std::max(r.height(), 1.0));
        t.translate(-r.center().x(), -r.center().y());
        return t.map(shape);
    }();
    painter.drawPath(inner);
    painter.restore();
}

} // namespace voxlane::Theme
