// SPDX-License-Identifier: GPL-3.0-or-later
// The panel on a real, private PipeWire: what a user does in an app's row reaches a real
// player's sound on the speakers.
#include "EngineWorld.h"
#include "support/TapFixture.h"
#include "ui/AppRow.h"
#include "ui/AppsModule.h"
#include "ui/EngineAdapter.h"
#include "ui/GhostButton.h"
#include "ui/MeteredFader.h"
#include "ui/PanelView.h"

#include <QApplication>
#include <QTest>

namespace voxlane {
namespace {

using test::linksInto;

using PanelOnPipeWireTest = test::TapFixture;

TEST_F(PanelOnPipeWireTest, TheRowsFaderAndMuteButtonTurnARealPlayerDown) {
    auto player = play(tone, "", "speakers");
    test::EngineWorld world(*server, scheduler);
    world.workspace.names[player->pid()] = "pw-play";
    const auto started = world.start();
    MixerEngine& engine = *started;
    EngineAdapter adapter(engine);
    PanelView panel(adapter, {});
    panel.show();
    engine.setMetering(true);

    AppRow* row = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        QApplication::processEvents();
        row = panel.apps()->row("process.pw-play");
        return row && row->isVisible();
    })) << engine.apps().size()
        << " apps";

    // Ten steps down from 100 %: 50 %, a gain of 0.25.
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(row->fader(), Qt::Key_Down);
    EXPECT_FLOAT_EQ(engine.settings("process.pw-play").volume, 0.5f);
    ASSERT_TRUE(waitUntil([&] {
        return linksInto("speakers:playback_FL").find(tag + ":output_FL") == std::string::npos;
    })) << "the player reaches the speakers through its tap only";
    EXPECT_NEAR(recordPeak("speakers", "half"), 0.125f, 0.01f);

    row->muteButton()->click();
    EXPECT_TRUE(engine.settings("process.pw-play").muted);
    EXPECT_LT(recordPeak("speakers", "muted"), 0.001f);
}

} // namespace
} // namespace voxlane
