// SPDX-License-Identifier: GPL-3.0-or-later
// The glass in its two variants: contrast of every text style against the glass as a module
// draws it, whatever the desktop behind the translucent panel; and views that follow a change
// of variant while they are open.
#include "ui/Theme.h"

#include "audio/AppGroup.h"
#include "ui/AppIcon.h"
#include "ui/Contrast.h"
#include "ui/ElidedLabel.h"
#include "ui/GlassModule.h"
#include "ui/Labels.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMenu>
#include <gtest/gtest.h>
#include <memory>

namespace voxlane {
namespace {

using Theme::Variant;

// Leaves the theme dark, as every other test expects it.
struct VariantGuard {
    ~VariantGuard() { Theme::setVariant(Variant::dark); }
};

// Desktops behind the panel: black, grey, white and the colours of a wallpaper.
const QColor desktops[] = {QColor(0, 0, 0), QColor(128, 128, 128), QColor(255, 255, 255),
                           QColor(36, 52, 88), QColor(255, 180, 90)};

struct Sample {
    QColor glass;
    bool lifted; // interactive glass under the pointer
};

// The glass as a module paints it over `desktop`: near its top and bottom edges, at rest and,
// for interactive glass, under the pointer.
std::vector<Sample> glassAsDrawn(const QColor& desktop) {
    std::vector<Sample> samples;
    for (bool interactive : {false, true}) {
        GlassModule module(nullptr, Theme::moduleRadius, interactive);
        module.resize(120, 80);
        if (interactive) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QApplication::sendEvent(&module, &enter);
        }
        QImage image(module.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(desktop);
        module.render(&image);
        for (int y : {4, module.height() - 5})
            samples.push_back({image.pixelColor(module.width() / 2, y), interactive});
    }
    return samples;
}

struct Role {
    const char* name;
    QColor ink;
    double needed;
    QColor under = QColor(0, 0, 0, 0); // a fill between glass and ink (chips, buttons)
    bool onLiftedGlass = true;         // also drawn on interactive modules
};

std::vector<Role> textRoles() {
    const QColor clear(0, 0, 0, 0);
    const double compact = 0.75; // rows of silent apps are drawn at this opacity
    auto faded = [](QColor c, double opacity) {
        c.setAlphaF(float(c.alphaF() * opacity));
        return c;
    };
    return {
        {"app name, silent app", faded(Theme::primary(0.95), compact), 4.5},
        {"value and subtitle (secondary)", Theme::secondary(), 4.5},
        {"preset name on a silent app's row", faded(Theme::secondary(), compact), 3},
        {"band labels (tertiary)", Theme::tertiary(), 3},
        {"preset chip", Theme::primary(0.9), 4.5, Theme::primary(0.14)},
        {"selected preset chip", Theme::onPrimary(0.85), 4.5, Theme::primary()},
        {"current device's status", Theme::legible(Theme::live(), 4.5), 4.5, clear, false},
        {"denied badge", Theme::legible(Theme::boost()), 3, clear, false},
    };
}

TEST(Theme, EveryTextStyleReadsOnTheGlassAsDrawnInBothVariants) {
    VariantGuard guard;
    for (Variant variant : {Variant::dark, Variant::light}) {
        Theme::setVariant(variant);
        const char* which = variant == Variant::dark ? "dark" : "light";
        double drawn = 21; // the secondary ink's lowest ratio on resting glass
        for (const QColor& desktop : desktops) {
            for (const Sample& sample : glassAsDrawn(desktop)) {
                ASSERT_EQ(sample.glass.alpha(), 255);
                if (!sample.lifted)
                    drawn = std::min(drawn, Contrast::inkRatio(Theme::secondary(), sample.glass));
                for (const Role& role : textRoles()) {
                    if (sample.lifted && !role.onLiftedGlass) continue;
                    const QColor surface = Contrast::over(role.under, sample.glass);
                    EXPECT_GE(Contrast::inkRatio(role.ink, surface), role.needed)
                        << which << ": " << role.name << " over " << desktop.name().toStdString();
                }
            }
        }
        // The model of the glass that deepens accents agrees with the glass as drawn.
        EXPECT_NEAR(Theme::glassContrast(Theme::secondary()), drawn, 0.35) << which;
    }
}

TEST(Theme, LetterTilesStandOutAndCarryAReadableLetter) {
    VariantGuard guard;
    for (Variant variant : {Variant::dark, Variant::light}) {
        Theme::setVariant(variant);
        for (int hue = 0; hue < 360; hue += 7) {
            const Theme::Tile tile = Theme::letterTile(hue);
            EXPECT_GE(Contrast::ratio(tile.letter, tile.fill), 4.5) << hue;
            EXPECT_GE(Theme::glassContrast(tile.fill), 3.0) << "tile as an icon, hue " << hue;
        }
    }
}

TEST(Theme, OpenViewsAndMenusFollowAChangeOfVariant) {
    VariantGuard guard;
    Theme::setVariant(Variant::dark);
    // Labels of every kind: the device name is one that ends in "…".
    std::unique_ptr<QLabel> secondary(
        makeLabel<ElidedLabel>("Built-in Speakers", Theme::detail(), Theme::secondary()));
    std::unique_ptr<QLabel> fixed(makeLabel("Boost", Theme::detail(), Theme::boost()));
    AppGroup app;
    app.id = "org.example.NoIcon";
    app.name = "Player";
    const QImage darkTile = appIcon(app, 26).toImage();
    QMenu menu;
    QMenu* sub = menu.addMenu("Output");
    Theme::styleMenu(&menu);
    auto windowOf = [](const QMenu* m) { return m->palette().color(QPalette::Window); };
    EXPECT_LT(windowOf(sub).lightness(), 80) << "submenus too";
    const QColor darkInk = Theme::secondary();
    Theme::setVariant(Variant::light);
    ASSERT_NE(Theme::secondary(), darkInk);
    EXPECT_EQ(secondary->palette().color(QPalette::WindowText), Theme::secondary());
    EXPECT_EQ(fixed->palette().color(QPalette::WindowText), Theme::boost()) << "accents stay";
    EXPECT_NE(appIcon(app, 26).toImage(), darkTile);
    // A submenu added after styling is painted before it shows.
    QMenu* later = menu.addMenu("Lower to");
    emit menu.aboutToShow();
    for (const QMenu* m : {&menu, sub, later}) {
        EXPECT_GT(windowOf(m).lightness(), 200);
        EXPECT_GE(Contrast::ratio(m->palette().color(QPalette::Text), windowOf(m)), 7.0);
    }
    Theme::setVariant(Variant::dark);
    EXPECT_EQ(secondary->palette().color(QPalette::WindowText), Theme::secondary());
    EXPECT_LT(windowOf(&menu).lightness(), 80);
}

} // namespace
} // namespace voxlane
