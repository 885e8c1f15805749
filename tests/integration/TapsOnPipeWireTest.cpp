// SPDX-License-Identifier: GPL-3.0-or-later
// Process taps on a real PipeWire: the engine's per-app processing, metering, the global tap,
// the permission probe, and what is left when Voxlane ends, normally or killed. Levels are
// measured on the sinks' monitors; links and nodes are looked at with pw-link and pw-dump.
#include "EngineWorld.h"
#include "engine/AppTap.h"
#include "engine/AudioPermission.h"
#include "platform/AppIdentifier.h"
#include "platform/Defaults.h"
#include "platform/SystemSounds.h"
#include "platform/server/pipewire/PipeWireTapNames.h"
#include "support/AllocationCounter.h"
#include "support/TapFixture.h"

#include <atomic>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace voxlane {
namespace {

using test::linksInto;
using test::runAndRead;

class TapsOnPipeWireTest : public test::TapFixture {
protected:
    // Waits until the speakers (or `sink`) take the player's sound only through one of our
    // nodes.
    bool routedThroughUs(const std::string& suffix = "", const std::string& sink = "speakers") {
        return waitUntil([&] {
            const std::string links = linksInto(sink + ":playback_FL");
            return links.find(tag + suffix + ":output_FL") == std::string::npos &&
                   links.find(std::string(AppIdentifier)) != std::string::npos;
        });
    }
    bool playsDirectly(const std::string& suffix = "", const std::string& sink = "speakers") {
        return waitUntil([&] {
            return linksInto(sink + ":playback_FL").find(tag + suffix + ":output_FL") !=
                   std::string::npos;
        });
    }
    void expectNothingOfOurs() {
        EXPECT_TRUE(waitUntil([&] { return ourNodes().empty(); })) << ourNodes().front();
        EXPECT_EQ(defaultMetadata().find(std::string(AppIdentifier)), std::string::npos);
    }
};

TEST_F(TapsOnPipeWireTest, AppVolumeMuteAndOutputGoThroughItsTapOnly) {
    auto player = play(tone, "", "speakers");
    test::EngineWorld world(*server, scheduler);
    world.workspace.names[player->pid()] = "pw-play";
    auto e = world.start();
    ASSERT_TRUE(playsDirectly());
    const auto tap = [&]() -> AppTap* {
        const auto it = e->taps().find("process.pw-play");
        return it == e->taps().end() ? nullptr : it->second.get();
    };

    // Metered, the app is tapped into our capture stream and still heard directly.
    e->setMetering(true);
    ASSERT_TRUE(waitUntil([&] {
        return tap() &&
               runAndRead({"pw-link", "-l"}).find(PipeWireTapNames::prefix()) != std::string::npos;
    }));
    EXPECT_EQ(tap()->mode(), AppTap::Mode::meter);
    ASSERT_TRUE(playsDirectly());
    EXPECT_NEAR(recordPeak("speakers", "metered"), 0.5f, 0.01f);
    EXPECT_NEAR(tap()->state().load(TapState::peakLevel), 0.5f, 0.02f);
    e->setMetering(false);

    // Volume 0.5 is a gain of 0.25: 0.5 × 0.25 on the speakers, and nothing directly.
    e->setVolume(0.5f, "process.pw-play");
    ASSERT_TRUE(waitUntil([&] { return tap() && tap()->mode() == AppTap::Mode::process; }));
    ASSERT_TRUE(routedThroughUs()) << runAndRead({"pw-link", "-l"});
    EXPECT_NEAR(recordPeak("speakers", "half"), 0.125f, 0.01f);
    e->toggleMute("process.pw-play");
    EXPECT_LT(recordPeak("speakers", "muted"), 0.001f);
    e->toggleMute("process.pw-play");

    // To the headphones: heard there, and no longer on the speakers.
    e->setOutput(std::string("headphones"), "process.pw-play");
    ASSERT_TRUE(waitUntil([&] { return tap() && tap()->outputUID() == "headphones"; }));
    ASSERT_TRUE(routedThroughUs("", "headphones")) << runAndRead({"pw-link", "-l"});
    EXPECT_NEAR(recordPeak("headphones", "moved"), 0.125f, 0.01f);
    EXPECT_LT(recordPeak("speakers", "left"), 0.001f);

    // Back at its defaults the app has no tap and plays on its own device again.
    e->reset("process.pw-play");
    ASSERT_TRUE(waitUntil([&] { return e->taps().empty(); }));
    ASSERT_TRUE(playsDirectly());
    EXPECT_NEAR(recordPeak("speakers", "restored"), 0.5f, 0.01f);
    expectNothingOfOurs();

    // An engine (and its server) ending with the tap running leave the same.
    e->setVolume(0.5f, "process.pw-play");
    ASSERT_TRUE(routedThroughUs());
    e.reset();
    server.reset();
    expectNothingOfOurs();
    ASSERT_TRUE(playsDirectly());
    EXPECT_NEAR(recordPeak("speakers", "after-engine"), 0.5f, 0.01f);
}

TEST_F(TapsOnPipeWireTest, GlobalTapTakesEveryOtherAppAtItsGainAlsoAppsThatComeLater) {
    auto first = play(tone, "-first", "speakers");
    ASSERT_TRUE(playsDirectly("-first"));
    const ObjectId own = server->processOf(getpid());
    ASSERT_NE(own, noObject);
    // Software master 0.5 is a gain of 0.25 for everything but us.
    AppTap global(*server, {}, std::vector<ObjectId>{own}, "speakers", AppTap::Mode::process,
                  0.25f);
    ASSERT_TRUE(routedThroughUs("-first"));
    EXPECT_NEAR(recordPeak("speakers", "global"), 0.125f, 0.01f);

    first->stop();
    auto later = play(tone, "-later", "speakers");
    ASSERT_TRUE(routedThroughUs("-later")) << runAndRead({"pw-link", "-l"});
    EXPECT_NEAR(recordPeak("speakers", "global-later"), 0.125f, 0.01f);
    global.invalidate();
    ASSERT_TRUE(playsDirectly("-later"));
    EXPECT_TRUE(ourNodes().empty());
}

TEST_F(TapsOnPipeWireTest, PermissionProbeHearsItsTestSound) {
    auto defaults = Defaults::inMemory();
    SystemSounds sounds(*server);
    auto services = AudioPermission::Services::standard(*server, scheduler, *defaults, sounds);
    std::optional<AudioPermission::Status> answer;
    const auto flight =
        AudioPermission::check(services, [&](AudioPermission::Status s) { answer = s; });
    ASSERT_TRUE(scheduler.runPendingUntil([&] { return answer.has_value(); }, 10.0));
    flight->cancel(); // returns once the worker is done with the scheduler the fixture owns
    EXPECT_EQ(answer, AudioPermission::Status::granted);
    EXPECT_EQ(defaults->boolean(AudioPermission::grantedKey), std::optional<bool>(true));
    EXPECT_TRUE(waitUntil([&] { return ourNodes().empty(); })) << ourNodes().size();
}

// Any order of taking a running tap apart puts the app back and leaves none of our nodes; its
// IO block runs on the audio thread and allocates nothing there.
TEST_F(TapsOnPipeWireTest, TheIOBlockAllocatesNothingAndAnyTeardownLeavesNothingBehind) {
    auto p = play(tone, "", "speakers");
    const auto process = processOf(p->pid());
    ASSERT_NE(process, 0u);
    const auto mainThread = std::this_thread::get_id();
    std::atomic<bool> onMain{false};
    std::atomic<std::uint64_t> calls{0}, before{0};
    enum class Order { tapFirst, deviceFirst, procFirst, stopOnly };
    for (Order order : {Order::tapFirst, Order::deviceFirst, Order::procFirst, Order::stopOnly}) {
        SCOPED_TRACE(int(order));
        calls = 0;
        auto state = std::make_shared<TapState>(0.5f, 1.0f, 48000);
        auto description = TapDescription::mixdownOf({process});
        description.uuid = "order-" + std::to_string(int(order)) + tag;
        description.muteBehavior = TapMute::mutedWhenTapped;
        ServerHandle tap = server->createTap(description);
        AggregateDescription aggregate;
        aggregate.uid = std::string(AppIdentifier) + ".aggregate." + description.uuid;
        aggregate.mainSubDevice = "speakers";
        aggregate.taps = {description.uuid};
        ServerHandle device = server->createAggregate(aggregate);
        ASSERT_TRUE(tap && device);
        ServerHandle render = server->createRender(
            device.object(), [&, state](const BufferList& in, const BufferList& out) {
                if (calls.fetch_add(1) == 0) {
                    test::AllocationCounter::watchThisThread();
                    before = test::AllocationCounter::onWatchedThreads();
                }
                if (std::this_thread::get_id() == mainThread) onMain = true;
                state->render(&in, &out, 1, true);
            });
        ASSERT_EQ(server->start(render), ServerError::none);
        ASSERT_TRUE(routedThroughUs());
        EXPECT_NEAR(recordPeak("speakers", "tapped-" + std::to_string(int(order))), 0.25f, 0.01f);
        EXPECT_GT(calls.load(), 20u);
        EXPECT_EQ(server->cyclesOf(render), calls.load());
        EXPECT_EQ(test::AllocationCounter::onWatchedThreads(), before.load())
            << "allocations on the audio thread";
        EXPECT_FALSE(onMain.load());
        switch (order) {
        case Order::tapFirst:
            tap.reset();
            ASSERT_TRUE(playsDirectly()); // let go at once, the device still running
            device.reset();
            render.release(); // went with its device
            break;
        case Order::deviceFirst:
            device.reset();
            render.release();
            tap.reset();
            break;
        case Order::procFirst:
            render.reset();
            ASSERT_TRUE(playsDirectly());
            tap.reset();
            device.reset();
            break;
        case Order::stopOnly:
            EXPECT_EQ(server->stop(render), ServerError::none);
            ASSERT_TRUE(playsDirectly());
            EXPECT_EQ(server->start(render), ServerError::none); // and once more
            ASSERT_TRUE(routedThroughUs());
            tap.release();
            device.release();
            render.release();
            server.reset(); // the server goes with everything running
            server = PipeWireServer::connect(scheduler, {});
            ASSERT_TRUE(server);
            break;
        }
        ASSERT_TRUE(playsDirectly());
        expectNothingOfOurs();
    }
    EXPECT_NEAR(recordPeak("speakers", "after"), 0.5f, 0.01f);
}

TEST_F(TapsOnPipeWireTest, AfterATerminatedOrKilledVoxlaneTheAppPlaysOnTheDefaultSinkAgain) {
    auto p = play(tone, ""); // on the default sink, by the session manager's choice
    ASSERT_TRUE(playsDirectly());
    for (int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        // The other Voxlane plays the app to the headphones at a gain of 0.5.
        test::BackgroundProcess child(
            {VOXLANE_TAP_CHILD_PATH, std::to_string(p->pid()), "headphones", "0.5"},
            dir + "/child.log");
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(routedThroughUs("", "headphones"));
        EXPECT_NEAR(recordPeak("headphones", "child-" + std::to_string(signal)), 0.25f, 0.01f);
        if (signal == SIGTERM) {
            EXPECT_EQ(child.stop(), 0);
        } else {
            ::kill(child.pid(), SIGKILL);
            child.wait(5);
        }
        ASSERT_TRUE(playsDirectly());
        EXPECT_TRUE(waitUntil([&] { return ourNodes().empty(); }));
        EXPECT_NEAR(recordPeak("speakers", "after-child-" + std::to_string(signal)), 0.5f, 0.01f);
        EXPECT_LT(recordPeak("headphones", "after-child-headphones-" + std::to_string(signal)),
                  0.001f);
    }
    // The killed one left its key behind; the next Voxlane clears it.
    server.reset();
    server = PipeWireServer::connect(scheduler, {});
    ASSERT_TRUE(server);
    EXPECT_TRUE(waitUntil([&] {
        return defaultMetadata().find(std::string(AppIdentifier)) == std::string::npos;
    })) << defaultMetadata();
    ASSERT_TRUE(playsDirectly());
}

} // namespace
} // namespace voxlane
