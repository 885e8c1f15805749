// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PresetChip.h"
#include "ui/Theme.h"
#include "ui/ToggleCircle.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

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

} // namespace
} // namespace voxlane
