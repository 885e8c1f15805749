// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Fader.h"

#include "support/Widgets.h"
#include "ui/MeteredFader.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace voxlane {
namespace {

using namespace test;

// The keys (as the panel tests show) and a screen reader step it; an unchanged value is not
// reported, and a track of no width ignores drags.
TEST(FaderWidget, KeysAndAccessibilityStepItButATrackOfNoWidthIgnoresDrags) {
    MeteredFader fader("Music");
    std::vector<float> stored;
    fader.setOnValueChanged([&](float v) { stored.push_back(v); });
    fader.resize(214, 18); // track 200 wide
    fader.setValue(1.98f);
    QTest::keyClick(&fader, Qt::Key_Right);
    QTest::keyClick(&fader, Qt::Key_Up);
    EXPECT_EQ(stored, (std::vector<float>{2.0f}));

    fader.setValue(1.98f);
    QAccessibleInterface* element = QAccessible::queryAccessibleInterface(&fader);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(element->role(), QAccessible::Slider);
    EXPECT_EQ(element->text(QAccessible::Name), "Music volume");
    EXPECT_EQ(element->text(QAccessible::Value), "198 percent");
    QAccessibleActionInterface* actions = element->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(element->text(QAccessible::Value), "200 percent");
    actions->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_FLOAT_EQ(fader.value(), 1.95f);
    ASSERT_NE(element->valueInterface(), nullptr);
    EXPECT_EQ(element->valueInterface()->maximumValue().toFloat(), 2.0f);

    stored.clear();
    fader.resize(10, 18); // narrower than the insets
    fader.setValue(0.7f);
    press(&fader, {5, 9});
    move(&fader, {9, 9});
    release(&fader, {9, 9});
    EXPECT_EQ(fader.value(), 0.7f);
    EXPECT_TRUE(stored.empty());
}

} // namespace
} // namespace voxlane
