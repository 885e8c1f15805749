// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/EngineFixture.h"

namespace voxlane {
namespace {

class LevelMetersTest : public test::EngineFixture {
protected:
    void SetUp() override {
        music = addApp(2001, "org.example.Music", "Music", SimServer::Signal::silence());
        addApp(2002, "org.example.Radio", "Radio", SimServer::Signal::silence());
        start();
        engine->setMetering(true); // meter taps for both playing apps, and the timer
        ASSERT_TRUE(tap("org.example.Music") && tap("org.example.Radio"));
    }
    TapState& state(const char* id) { return tap(id)->state(); }
    float level(const char* id) { return engine->meters().values().at(id); }
    void tick() { scheduler.advance(LevelMeters::tickInterval); }
    ObjectId music = 0;
};

TEST_F(LevelMetersTest, PeaksShowAtOnceAndFallBy18PercentATick) {
    state("org.example.Music").store(TapState::peakLevel, 1.5f);
    state("org.example.Radio").store(TapState::peakLevel, 0.5f);
    tick();
    EXPECT_EQ(level("org.example.Music"), 1.0f);
    EXPECT_EQ(state("org.example.Music").load(TapState::peakLevel), 0.75f);
    EXPECT_EQ(level("org.example.Radio"), 0.5f);
    state("org.example.Radio").store(TapState::peakLevel, 0.0f);
    tick();
    tick();
    EXPECT_FLOAT_EQ(level("org.example.Radio"), 0.3362f);
    // A new peak above the decayed level shows at once.
    state("org.example.Radio").store(TapState::peakLevel, 0.9f);
    tick();
    EXPECT_EQ(level("org.example.Radio"), 0.9f);
}

TEST_F(LevelMetersTest, GoneTapsDropOutAndHidingEmptiesEverything) {
    state("org.example.Music").store(TapState::peakLevel, 0.5f);
    state("org.example.Radio").store(TapState::limiterFloor, 0.5f);
    tick();
    ASSERT_EQ(engine->meters().values().size(), 2u);
    EXPECT_EQ(engine->meters().limiting(), (std::set<std::string>{"org.example.Radio"}));
    sim.removeProcess(music); // Music quits
    settle();
    EXPECT_FALSE(engine->meters().values().count("org.example.Music"));
    EXPECT_TRUE(engine->meters().values().count("org.example.Radio"));

    engine->setMetering(false);
    EXPECT_TRUE(engine->meters().values().empty());
    EXPECT_TRUE(engine->meters().limiting().empty());
    scheduler.advance(1.0); // no timer runs any more
    EXPECT_TRUE(engine->meters().values().empty());
}

} // namespace
} // namespace voxlane
