// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/Widgets.h"
#include "ui/GhostButton.h"
#include "ui/PresetChip.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/ToggleCircle.h"

#include <QEnterEvent>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::enter;
using test::leave;

TEST(Theme, SpringsSettleAtTheirTarget) {
    for (const Theme::Spring* spring : {&Theme::hover, &Theme::snappy}) {
        const int ms = Theme::durationMs(*spring);
        EXPECT_DOUBLE_EQ(Theme::springProgress(*spring, 0), 0);
        EXPECT_NEAR(Theme::springProgress(*spring, ms / 1000.0), 1, 0.002);
        const QEasingCurve curve = Theme::easing(*spring);
        EXPECT_EQ(curve.type(), QEasingCurve::Custom);
        EXPECT_EQ(curve.valueForProgress(1), 1);
        EXPECT_GT(curve.valueForProgress(0.3), 0.5);
    }
}

TEST(GhostButton, ShowsItsHelpAndRunsItsAction) {
    GhostButton button("audio-headphones", "Solo");
    int presses = 0;
    button.setAction([&] { ++presses; });
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(presses, 1);
    // The help is what the pointer and a screen reader are told, and follows a change.
    button.setHelp("End solo");
    EXPECT_EQ(button.toolTip(), "End solo");
    EXPECT_EQ(button.accessibleName(), "End solo");
    enter(&button);
    EXPECT_TRUE(button.isHovering());
    leave(&button);
    EXPECT_FALSE(button.isHovering());
}

// A click is reported, but whether a circle is on or a chip selected is its owner's to say; the
// state it is given shows.
TEST(Controls, ShowTheStateTheirOwnerGivesThem) {
    ToggleCircle circle("microphone-sensitivity-muted", Theme::danger(), 34);
    PresetChip chip("Bass", "More punch in the low end", false, [] {});
    chip.resize(80, chip.sizeHint().height());
    int clicks = 0;
    QObject::connect(&circle, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(&circle, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(circle.isOn());
    const QImage circleOff = circle.grab().toImage(), chipOff = chip.grab().toImage();
    circle.setOn(true);
    chip.setSelected(true);
    EXPECT_NE(circle.grab().toImage(), circleOff);
    EXPECT_NE(chip.grab().toImage(), chipOff);
    QTest::mouseClick(&circle, Qt::LeftButton);
    EXPECT_TRUE(circle.isOn());
}

TEST(Symbols, EveryNamedSymbolDrawsSomething) {
    for (const char* name :
         {"audio-volume-high", "audio-volume-muted", "audio-headphones", "sliders-vertical",
          "microphone-sensitivity-high", "microphone-sensitivity-muted", "arrow-down", "checkmark",
          "chevron-down", "ellipsis", "input-keyboard", "speaker-menu"}) {
        EXPECT_TRUE(Symbols::known(name)) << name;
        QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        Symbols::draw(p, name, QRectF(0, 0, 24, 24), Qt::white);
        p.end();
        int inked = 0;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                inked += image.pixelColor(x, y).alpha() > 128;
        EXPECT_GT(inked, 20) << name;
    }
    EXPECT_FALSE(Symbols::known("no.such.symbol"));
}

} // namespace
} // namespace voxlane
