// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AudioPermission.h"

#include "platform/Log.h"
#include "support/SimRig.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace voxlane {
namespace {

using Status = AudioPermission::Status;

class AudioPermissionTest : public ::testing::Test, protected test::SimRig {
protected:
    std::unique_ptr<Defaults> store = Defaults::inMemory();
    Defaults& defaults = *store;
    SystemSounds sounds{sim};
    std::vector<std::thread> workers;
    std::atomic<int> sleeps{0};
    Log::Capture log;

    AudioPermission::Services services(SystemSounds& with) {
        return AudioPermission::Services{
            sim,
            scheduler,
            defaults,
            with,
            // Each sleep lets the simulated server play for that long.
            [this](double seconds) {
                ++sleeps;
                sim.advance(std::uint32_t(seconds * sim.sampleRate()));
            },
            [this](std::function<void()> job) { workers.emplace_back(std::move(job)); },
        };
    }

    Status check(SystemSounds& with) {
        std::optional<Status> answer;
        std::thread::id completedOn;
        AudioPermission::check(services(with), [&](Status status) {
            answer = status;
            completedOn = std::this_thread::get_id();
        });
        EXPECT_TRUE(scheduler.runPendingUntil([&] { return answer.has_value(); }));
        for (auto& worker : workers)
            worker.join();
        workers.clear();
        EXPECT_EQ(completedOn, std::this_thread::get_id());
        return answer.value_or(Status::checking);
    }
    Status check() { return check(sounds); }

    void expectNoTapLeft() {
        EXPECT_EQ(probes.liveTaps(), 0u);
        EXPECT_EQ(probes.liveAggregates(), 0u);
        EXPECT_EQ(probes.liveRenders(), 0u);
    }
};

TEST_F(AudioPermissionTest, HearingTheTestSoundGrantsAndIsRecorded) {
    sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    EXPECT_EQ(check(), Status::granted);
    EXPECT_EQ(sleeps, 1); // the first reading already heard it
    EXPECT_EQ(defaults.boolean(AudioPermission::grantedKey), true);
    ASSERT_EQ(sim.playedSounds().size(), 1u);
    EXPECT_EQ(sim.playedSounds()[0].name, "tick");
    EXPECT_FLOAT_EQ(sim.playedSounds()[0].volume, 0.08f);
    const auto messages = log.messages("permission");
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_TRUE(messages[0].starts_with("Prüfton-Pegel: "));
    EXPECT_GT(std::stod(messages[0].substr(std::string("Prüfton-Pegel: ").size())), 0.0005);
    expectNoTapLeft();
}

TEST_F(AudioPermissionTest, SilenceAfterTwelveReadingsDenies) {
    sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    sim.setCaptureAllowed(false);
    EXPECT_EQ(check(), Status::denied);
    EXPECT_EQ(sleeps, 12);
    EXPECT_EQ(defaults.boolean(AudioPermission::grantedKey), std::nullopt);
    EXPECT_EQ(log.messages("permission"), std::vector<std::string>{"Prüfton-Pegel: 0.000000"});
    expectNoTapLeft();

    // An earlier success stays on record.
    defaults.setBoolean(AudioPermission::grantedKey, true);
    EXPECT_EQ(check(), Status::denied);
    EXPECT_EQ(defaults.boolean(AudioPermission::grantedKey), true);
}

TEST_F(AudioPermissionTest, NoOutputDeviceIsUnknownWithoutTapOrSound) {
    EXPECT_EQ(check(), Status::unknown);
    EXPECT_EQ(probes.calls(ServerCore::Operation::createTap), 0u);
    EXPECT_TRUE(sim.playedSounds().empty());
    EXPECT_TRUE(log.entries().empty());
    EXPECT_EQ(sleeps, 0);
}

TEST_F(AudioPermissionTest, AProbeTapThatCannotBeBuiltDenies) {
    sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    SimServer::Fault fault;
    fault.operation = ServerCore::Operation::createAggregate;
    fault.error = ServerError::notPermitted;
    probes.injectFault(fault);
    EXPECT_EQ(check(), Status::denied);
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].level, Log::Level::error);
    EXPECT_TRUE(sim.playedSounds().empty());
    expectNoTapLeft();
}

TEST_F(AudioPermissionTest, WithoutTheTestSoundASilentSystemDenies) {
    sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    SystemSounds none(sim, {});
    EXPECT_FALSE(none.play("tick"));
    EXPECT_EQ(check(none), Status::denied);
    EXPECT_TRUE(sim.playedSounds().empty());

    // Any other sound playing at that moment counts as heard.
    sim.addProcess(test::processSetup(100, SimServer::Signal::sine(0.01f)));
    EXPECT_EQ(check(none), Status::granted);
}

TEST_F(AudioPermissionTest, ACancelledCheckLetsGoOfTheServerAndAnswersNothing) {
    sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    sim.setCaptureAllowed(false); // the probe would listen for all twelve readings
    std::shared_ptr<AudioPermission::InFlight> flight;
    std::atomic<bool> atThirdReading{false};
    auto with = services(sounds);
    with.sleep = [&](double) {
        if (++sleeps < 3) return;
        atThirdReading = true;
        // Stays in the reading until the owner cancels: cancel() must wait for it.
        while (!flight->cancelled())
            std::this_thread::yield();
    };
    bool completed = false;
    flight = AudioPermission::check(with, [&](Status) { completed = true; });
    ASSERT_TRUE(scheduler.runPendingUntil([&] { return atThirdReading.load(); }));
    EXPECT_EQ(probes.liveTaps(), 1u) << "the probe's tap is up";
    flight->cancel();
    expectNoTapLeft(); // cancel() returned after the worker let go
    scheduler.runPending();
    EXPECT_FALSE(completed);
    EXPECT_EQ(sleeps, 3);
    EXPECT_EQ(defaults.boolean(AudioPermission::grantedKey), std::nullopt);
    EXPECT_TRUE(log.messages("permission").empty());
    for (auto& worker : workers)
        worker.join();

    // Cancelled before its worker started, it never touches the server.
    std::function<void()> pending;
    with.runInBackground = [&](std::function<void()> job) { pending = std::move(job); };
    const auto tapsBuilt = probes.calls(ServerCore::Operation::createTap);
    flight = AudioPermission::check(with, [&](Status) { completed = true; });
    flight->cancel();
    pending();
    scheduler.runPending();
    EXPECT_FALSE(completed);
    EXPECT_EQ(probes.calls(ServerCore::Operation::createTap), tapsBuilt);
    EXPECT_EQ(sim.playedSounds().size(), 1u) << "only the first probe's";
}

} // namespace
} // namespace voxlane
