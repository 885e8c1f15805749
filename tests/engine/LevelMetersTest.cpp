// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/EngineFixture.h"

namespace voxlane {
namespace {

using LevelMetersTest = test::EngineFixture;

TEST_F(LevelMetersTest, PeaksShowGoneTapsDropOutAndHidingEmptiesEverything) {
    const auto music = addApp(2001, "org.example.Music", "Music", SimServer::Signal::silence());
    addApp(2002, "org.example.Radio", "Radio", SimServer::Signal::silence());
    start();
    engine->setMetering(true); // meter taps for both playing apps, and the timer
    ASSERT_TRUE(tap("org.example.Music") && tap("org.example.Radio"));
    tap("org.example.Music")->state().store(TapState::peakLevel, 1.5f);
    tap("org.example.Radio")->state().store(TapState::limiterFloor, 0.5f);
    scheduler.advance(LevelMeters::tickInterval);
    const auto& meters = engine->meters();
    EXPECT_EQ(meters.values(), (std::map<std::string, float>{{"org.example.Music", 1.0f},
                                                             {"org.example.Radio", 0.0f}}));
    EXPECT_EQ(meters.limiting(), (std::set<std::string>{"org.example.Radio"}));
    sim.removeProcess(music); // Music quits
    settle();
    EXPECT_FALSE(meters.values().count("org.example.Music"));
    EXPECT_TRUE(meters.values().count("org.example.Radio"));

    engine->setMetering(false);
    EXPECT_TRUE(meters.values().empty() && meters.limiting().empty());
    scheduler.advance(1.0); // no timer runs any more
    EXPECT_TRUE(meters.values().empty());
}

} // namespace
} // namespace voxlane
