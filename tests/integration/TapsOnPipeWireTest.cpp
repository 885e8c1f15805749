// SPDX-License-Identifier: GPL-3.0-or-later
// Process taps on a real PipeWire: the engine's per-app processing, metering, the global tap,
// the permission probe, and what is left when Voxlane ends, normally or killed. Levels are
// measured on the sinks' monitors; links and nodes are looked at with pw-link and pw-dump.
#include "engine/AppTap.h"
#include "engine/AudioPermission.h"
#include "engine/EQ.h"
#include "engine/MixerEngine.h"
#include "platform/AppIdentifier.h"
#include "platform/Defaults.h"
#include "platform/StaticWorkspace.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/server/pipewire/PipeWireTapNames.h"
#include "support/AllocationCounter.h"
#include "support/TapFixture.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <numbers>
#include <thread>
#include <unistd.h>

namespace voxlane {
namespace {

using test::BackgroundProcess;
using test::linksInto;
using test::runAndRead;

class TapsOnPipeWireTest : public test::TapFixture {
protected:
    // An engine on the server with the permission already granted; the player's app is
    // "process.pw-play".
    std::unique_ptr<MixerEngine> engine(pid_t player) {
        defaults = Defaults::inMemory();
        defaults->setBoolean(AudioPermission::grantedKey, true);
        workspace.pid = getpid();
        workspace.names[player] = "pw-play";
        sounds = std::make_unique<SystemSounds>(*server);
        auto e = std::make_unique<MixerEngine>(
            EngineServices{*server, scheduler, *defaults, workspace, *sounds, events, {}, {}});
        EXPECT_TRUE(waitUntil([&] {
            for (const auto& app : e->apps())
                if (app.id == "process.pw-play" && app.isPlaying()) return true;
            return false;
        })) << e->apps().size()
            << " apps";
        return e;
    }

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

    std::unique_ptr<Defaults> defaults;
    StaticWorkspace workspace;
    std::unique_ptr<SystemSounds> sounds;
    SystemEvents events;
};

TEST_F(TapsOnPipeWireTest, AppVolumeMuteAndOutputGoThroughItsTapOnly) {
    auto player = play(tone, "", "speakers");
    auto e = engine(player->pid());
    ASSERT_TRUE(playsDirectly());

    // Volume 0.5 is a gain of 0.25: 0.5 × 0.25 on the speakers, and nothing directly.
    e->setVolume(0.5f, "process.pw-play");
    ASSERT_TRUE(waitUntil([&] { return e->taps().count("process.pw-play") == 1; }));
    EXPECT_EQ(e->taps().at("process.pw-play")->mode(), AppTap::Mode::process);
    ASSERT_TRUE(routedThroughUs()) << runAndRead({"pw-link", "-l"});
    EXPECT_NEAR(recordPeak("speakers", "half"), 0.125f, 0.01f);

    e->toggleMute("process.pw-play");
    EXPECT_LT(recordPeak("speakers", "muted"), 0.001f);
    e->toggleMute("process.pw-play");

    // To the headphones: heard there, and no longer on the speakers.
    e->setOutput(std::string("headphones"), "process.pw-play");
    ASSERT_TRUE(waitUntil([&] {
        const auto it = e->taps().find("process.pw-play");
        return it != e->taps().end() && it->second->outputUID() == "headphones";
    }));
    ASSERT_TRUE(routedThroughUs("", "headphones")) << runAndRead({"pw-link", "-l"});
    EXPECT_NEAR(recordPeak("headphones", "moved"), 0.125f, 0.01f);
    EXPECT_LT(recordPeak("speakers", "left"), 0.001f);

    // Back at its defaults the app has no tap and plays on its own device again.
    e->reset("process.pw-play");
    ASSERT_TRUE(waitUntil([&] { return e->taps().empty(); }));
    ASSERT_TRUE(playsDirectly());
    EXPECT_NEAR(recordPeak("speakers", "restored"), 0.5f, 0.01f);
    EXPECT_TRUE(ourNodes().empty());
    EXPECT_EQ(defaultMetadata().find(std::string(AppIdentifier)), std::string::npos);

    // An engine (and its server) ending with the tap running leave the same.
    e->setVolume(0.5f, "process.pw-play");
    ASSERT_TRUE(routedThroughUs());
    e.reset();
    server.reset();
    EXPECT_TRUE(ourNodes().empty());
    EXPECT_EQ(defaultMetadata().find(std::string(AppIdentifier)), std::string::npos);
    ASSERT_TRUE(playsDirectly());
    EXPECT_NEAR(recordPeak("speakers", "after-engine"), 0.5f, 0.01f);
}

TEST_F(TapsOnPipeWireTest, DoubleVolumeOnAFullScaleSquareStaysUnderTheCeiling) {
    const std::string square = dir + "/square.wav";
    ASSERT_TRUE(test::AudioFiles::writeSignal(
        square, 30, [](double t) { return std::fmod(t * 220.0, 1.0) < 0.5 ? 1.0f : -1.0f; }));
    auto player = play(square, "", "speakers");
    auto e = engine(player->pid());
    e->setVolume(2.0f, "process.pw-play");
    ASSERT_TRUE(waitUntil([&] { return e->taps().count("process.pw-play") == 1; }));
    ASSERT_TRUE(routedThroughUs());
    const float peak = recordPeak("speakers", "loud");
    EXPECT_LE(peak, 0.966f + 1e-3f); // the 16-bit recording rounds
    EXPECT_GT(peak, 0.9f);
}

TEST_F(TapsOnPipeWireTest, VoicePresetShapesTwoTonesAsItsResponseSays) {
    const std::string tones = dir + "/tones.wav";
    constexpr double low = 100, high = 4000, amplitude = 0.2;
    ASSERT_TRUE(test::AudioFiles::writeSignal(tones, 30, [](double t) {
        return float(amplitude * (std::sin(2 * std::numbers::pi * low * t) +
                                  std::sin(2 * std::numbers::pi * high * t)));
    }));
    auto player = play(tones, "", "speakers");
    auto e = engine(player->pid());
    const auto voice = EQSettings::fromPreset(EQPreset::voice);
    e->setEQ(voice, "process.pw-play");
    ASSERT_TRUE(waitUntil([&] { return e->taps().count("process.pw-play") == 1; }));
    ASSERT_TRUE(routedThroughUs());
    const std::vector<float> samples = record("speakers", "voice");
    ASSERT_GT(samples.size(), 48000u);
    for (double f : {low, high}) {
        const double expected =
            amplitude * std::pow(10.0, EQ::response(voice.gains, f, 48000) / 20);
        const double measured = test::AudioFiles::toneAmplitude(samples, 2, f);
        EXPECT_NEAR(20 * std::log10(measured / expected), 0.0, 0.5) << f << " Hz";
    }
}

TEST_F(TapsOnPipeWireTest, AMeterTapLeavesTheAppAudibleAndReportsItsLevel) {
    auto player = play(tone, "", "speakers");
    const auto process = processOf(player->pid());
    ASSERT_NE(process, 0u);
    AppTap tap(*server, {process}, std::nullopt, "speakers", AppTap::Mode::meter, 1.0f);
    // Linked to our capture stream as well as to the speakers.
    ASSERT_TRUE(waitUntil([&] {
        return runAndRead({"pw-link", "-l"}).find(PipeWireTapNames::prefix()) != std::string::npos;
    }));
    ASSERT_TRUE(playsDirectly());
    EXPECT_NEAR(recordPeak("speakers", "metered"), 0.5f, 0.01f);
    EXPECT_NEAR(tap.state().load(TapState::peakLevel), 0.5f, 0.02f);
    tap.invalidate();
    EXPECT_TRUE(waitUntil([&] { return ourNodes().empty(); }));
}

TEST_F(TapsOnPipeWireTest, GlobalTapTakesEveryOtherAppAtItsGainAlsoAppsThatComeLater) {
    const std::string loud = dir + "/loud.wav";
    ASSERT_TRUE(test::AudioFiles::writeSignal(
        loud, 30, [](double t) { return float(std::sin(2 * std::numbers::pi * 440 * t)); }));
    auto first = play(loud, "-first", "speakers");
    ASSERT_TRUE(playsDirectly("-first"));
    const ObjectId own = server->processOf(getpid());
    ASSERT_NE(own, noObject);
    // Software master 0.5 is a gain of 0.25 for everything but us.
    AppTap global(*server, {}, std::vector<ObjectId>{own}, "speakers", AppTap::Mode::process,
                  0.25f);
    ASSERT_TRUE(routedThroughUs("-first"));
    EXPECT_NEAR(recordPeak("speakers", "global"), 0.25f, 0.01f);

    first->stop();
    auto later = play(loud, "-later", "speakers");
    ASSERT_TRUE(routedThroughUs("-later")) << runAndRead({"pw-link", "-l"});
    EXPECT_NEAR(recordPeak("speakers", "global-later"), 0.25f, 0.01f);
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

TEST_F(TapsOnPipeWireTest, TheIOBlockRunsOnTheAudioThreadWithoutAllocating) {
    auto player = play(tone, "", "speakers");
    const auto process = processOf(player->pid());
    ASSERT_NE(process, 0u);
    auto description = TapDescription::mixdownOf({process});
    description.uuid = "alloc-test-" + tag;
    description.muteBehavior = TapMute::mutedWhenTapped;
    ServerHandle tap = server->createTap(description);
    ASSERT_TRUE(tap);
    AggregateDescription aggregate;
    aggregate.uid = std::string(AppIdentifier) + ".aggregate.alloc-" + tag;
    aggregate.mainSubDevice = "speakers";
    aggregate.subDevices = {"speakers"};
    aggregate.taps = {description.uuid};
    ServerHandle device = server->createAggregate(aggregate);
    ASSERT_TRUE(device);
    auto state = std::make_shared<TapState>(0.5f, 1.0f, 48000);
    const auto mainThread = std::this_thread::get_id();
    std::atomic<bool> onMain{false};
    std::atomic<std::uint64_t> calls{0}, before{0};
    ServerHandle render = server->createRender(
        device.object(), [&, state](const BufferList& in, const BufferList& out) {
            if (calls.fetch_add(1) == 0) {
                test::AllocationCounter::watchThisThread();
                before = test::AllocationCounter::onWatchedThreads();
            }
            if (std::this_thread::get_id() == mainThread) onMain = true;
            state->render(&in, &out, 1, true);
        });
    ASSERT_TRUE(render);
    ASSERT_EQ(server->start(render), ServerError::none);
    ASSERT_TRUE(routedThroughUs());
    EXPECT_NEAR(recordPeak("speakers", "alloc"), 0.25f, 0.01f);
    EXPECT_GT(calls.load(), 20u);
    EXPECT_EQ(server->cyclesOf(render), calls.load());
    EXPECT_EQ(test::AllocationCounter::onWatchedThreads(), before.load())
        << "allocations on the audio thread";
    EXPECT_FALSE(onMain.load());
    EXPECT_EQ(server->stop(render), ServerError::none);
    render.reset();
    device.reset();
    tap.reset();
    ASSERT_TRUE(playsDirectly());
}

// Any order of taking a running tap apart puts the app back and leaves none of our nodes.
TEST_F(TapsOnPipeWireTest, TeardownInAnyOrderLeavesNothingBehind) {
    auto player = play(tone, "", "speakers");
    const auto process = processOf(player->pid());
    ASSERT_NE(process, 0u);
    enum class Order { tapFirst, deviceFirst, procFirst, stopOnly };
    for (Order order : {Order::tapFirst, Order::deviceFirst, Order::procFirst, Order::stopOnly}) {
        SCOPED_TRACE(int(order));
        auto description = TapDescription::mixdownOf({process});
        description.uuid = "order-" + std::to_string(int(order)) + tag;
        description.muteBehavior = TapMute::mutedWhenTapped;
        ServerHandle tap = server->createTap(description);
        ASSERT_TRUE(tap);
        AggregateDescription aggregate;
        aggregate.uid = std::string(AppIdentifier) + ".aggregate." + description.uuid;
        aggregate.mainSubDevice = "speakers";
        aggregate.taps = {description.uuid};
        ServerHandle device = server->createAggregate(aggregate);
        ASSERT_TRUE(device);
        ServerHandle render =
            server->createRender(device.object(), [](const BufferList&, const BufferList&) {});
        ASSERT_TRUE(render);
        ASSERT_EQ(server->start(render), ServerError::none);
        ASSERT_TRUE(routedThroughUs());
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
            std::string why;
            server = PipeWireServer::connect(scheduler, {}, &why);
            ASSERT_TRUE(server) << why;
            break;
        }
        ASSERT_TRUE(playsDirectly());
        EXPECT_TRUE(waitUntil([&] { return ourNodes().empty(); })) << ourNodes().front();
        EXPECT_EQ(defaultMetadata().find(std::string(AppIdentifier)), std::string::npos);
    }
    EXPECT_NEAR(recordPeak("speakers", "after"), 0.5f, 0.01f);
}

TEST_F(TapsOnPipeWireTest, AfterATerminatedOrKilledVoxlaneTheAppPlaysOnTheDefaultSinkAgain) {
    auto player = play(tone, ""); // on the default sink, by the session manager's choice
    ASSERT_TRUE(playsDirectly());
    for (int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        // The other Voxlane plays the app to the headphones at a gain of 0.5.
        BackgroundProcess child(
            {VOXLANE_TAP_CHILD_PATH, std::to_string(player->pid()), "headphones", "0.5"},
            dir + "/child.log");
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(routedThroughUs("", "headphones"));
        EXPECT_NEAR(recordPeak("headphones", "child"), 0.25f, 0.01f);
        if (signal == SIGTERM) {
            EXPECT_EQ(child.stop(), 0);
        } else {
            ::kill(child.pid(), SIGKILL);
            child.wait(5);
        }
        ASSERT_TRUE(playsDirectly());
        EXPECT_TRUE(waitUntil([&] { return ourNodes().empty(); }));
        EXPECT_NEAR(recordPeak("speakers", "after-child"), 0.5f, 0.01f);
        EXPECT_LT(recordPeak("headphones", "after-child-headphones"), 0.001f);
    }
    // The killed one left its key behind; the next Voxlane clears it.
    server.reset();
    std::string why;
    server = PipeWireServer::connect(scheduler, {}, &why);
    ASSERT_TRUE(server) << why;
    EXPECT_TRUE(waitUntil([&] {
        return defaultMetadata().find(std::string(AppIdentifier)) == std::string::npos;
    })) << defaultMetadata();
    ASSERT_TRUE(playsDirectly());
}

} // namespace
} // namespace voxlane
