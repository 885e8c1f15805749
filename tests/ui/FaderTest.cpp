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

// A fader laid out at a known width, recording what it reports.
struct FaderProbe {
    explicit FaderProbe(Fader* f) : fader(f) {
        fader->resize(214, 18); // track 200 wide
        fader->setOnValueChanged([this](float v) { stored.push_back(v); });
    }
    Fader* fader;
    std::vector<float> stored;
};

// The keys and a screen reader step it (the steps are FaderRules'); an unchanged value is not
// reported.
TEST(FaderWidget, KeysAndAccessibilityStepIt) {
    MeteredFader fader("Music");
    FaderProbe probe(&fader);
    fader.setValue(1.98f);
    QTest::keyClick(&fader, Qt::Key_Right);
    QTest::keyClick(&fader, Qt::Key_Up);
    EXPECT_EQ(probe.stored, (std::vector<float>{2.0f}));
    fader.setValue(0.03f);
    QTest::keyClick(&fader, Qt::Key_Left);
    EXPECT_EQ(fader.value(), 0.0f);

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
    QAccessibleValueInterface* value = element->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->maximumValue().toFloat(), 2.0f);
}

TEST(FaderWidget, ATrackOfNoWidthIgnoresDrags) {
    Fader fader(2.0f);
    FaderProbe probe(&fader);
    fader.resize(10, 18); // narrower than the insets
    fader.setValue(0.7f);
    press(&fader, {5, 9});
    move(&fader, {9, 9});
    release(&fader, {9, 9});
    EXPECT_EQ(fader.value(), 0.7f);
    EXPECT_TRUE(probe.stored.empty());
}

} // namespace
} // namespace voxlane
