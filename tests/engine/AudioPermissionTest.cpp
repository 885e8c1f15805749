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
    ObjectId speakers = sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    std::unique_ptr<Defaults> defaults = Defaults::inMemory();
    SystemSounds sounds{sim};
    std::vector<std::thread> workers;
    std::atomic<int> sleeps{0};
    Log::Capture log;

    AudioPermission::Services services() {
        return AudioPermission::Services{
            sim,
            scheduler,
            *defaults,
            sounds,
            // Each sleep lets the simulated server play for that long.
            [this](double seconds) {
                ++sleeps;
                sim.advance(std::uint32_t(seconds * sim.sampleRate()));
            },
            [this](std::function<void()> job) { workers.emplace_back(std::move(job)); },
        };
    }

    Status check() {
        std::optional<Status> answer;
        std::thread::id completedOn;
        AudioPermission::check(services(), [&](Status status) {
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

    void expectNoTapLeft() {
        EXPECT_EQ(probes.liveTaps() + probes.liveAggregates() + probes.liveRenders(), 0u);
    }
};

TEST_F(AudioPermissionTest, HearingTheTestSoundGrantsAndSilenceDeniesKeepingAnEarlierGrant) {
    EXPECT_EQ(check(), Status::granted);
    EXPECT_EQ(sleeps, 1); // the first reading already heard it
    EXPECT_EQ(defaults->boolean(AudioPermission::grantedKey), true);
    EXPECT_EQ(sim.playedSounds().size(), 1u);
    expectNoTapLeft();
    sim.setCaptureAllowed(false); // silence after twelve readings
    EXPECT_EQ(check(), Status::denied);
    EXPECT_EQ(sleeps, 13);
    EXPECT_EQ(defaults->boolean(AudioPermission::grantedKey), true);
    expectNoTapLeft();
    defaults->remove(AudioPermission::grantedKey);
    EXPECT_EQ(check(), Status::denied);
    EXPECT_EQ(defaults->boolean(AudioPermission::grantedKey), std::nullopt);
}

TEST_F(AudioPermissionTest, NoOutputIsUnknownAndARefusedProbeTapDeniesWithoutASound) {
    sim.removeDevice(speakers);
    EXPECT_EQ(check(), Status::unknown);
    EXPECT_EQ(probes.calls(ServerCore::Operation::createTap) + sleeps, 0u);
    sim.addDevice(test::deviceSetup("speakers", "Speakers"));
    probes.injectFault(
        test::fault(ServerCore::Operation::createAggregate, ServerError::notPermitted));
    EXPECT_EQ(check(), Status::denied);
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].level, Log::Level::error);
    EXPECT_TRUE(sim.playedSounds().empty());
    expectNoTapLeft();
}

TEST_F(AudioPermissionTest, ACancelledCheckLetsGoOfTheServerAndAnswersNothing) {
    sim.setCaptureAllowed(false); // the probe would listen for all twelve readings
    std::shared_ptr<AudioPermission::InFlight> flight;
    std::atomic<bool> atThirdReading{false};
    auto with = services();
    with.sleep = [&](double) {
        if (++sleeps < 3) return;
        atThirdReading = true;
        // Stays in the reading until the owner cancels: cancel() must wait for it.
        while (!flight->cancelled())
            std::this_thread::yield();
    };
    bool completed = false;
    const auto done = [&](Status) { completed = true; };
    flight = AudioPermission::check(with, done);
    ASSERT_TRUE(scheduler.runPendingUntil([&] { return atThirdReading.load(); }));
    EXPECT_EQ(probes.liveTaps(), 1u) << "the probe's tap is up";
    flight->cancel();
    expectNoTapLeft(); // cancel() returned after the worker let go
    scheduler.runPending();
    EXPECT_EQ(std::pair(completed, sleeps.load()), std::pair(false, 3));
    EXPECT_EQ(defaults->boolean(AudioPermission::grantedKey), std::nullopt);
    EXPECT_TRUE(log.messages("permission").empty());
    for (auto& worker : workers)
        worker.join();

    // Cancelled before its worker started, it never touches the server.
    std::function<void()> pending;
    with.runInBackground = [&](std::function<void()> job) { pending = std::move(job); };
    const auto tapsBuilt = probes.calls(ServerCore::Operation::createTap);
    flight = AudioPermission::check(with, done);
    flight->cancel();
    pending();
    scheduler.runPending();
    EXPECT_FALSE(completed);
    EXPECT_EQ(probes.calls(ServerCore::Operation::createTap), tapsBuilt);
    EXPECT_EQ(sim.playedSounds().size(), 1u) << "only the first probe's";
}

} // namespace
} // namespace voxlane
