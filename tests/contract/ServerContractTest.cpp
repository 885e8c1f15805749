// SPDX-License-Identifier: GPL-3.0-or-later
// What every audio server does alike: the simulated one (SimServerContract.cpp) and PipeWire on
// a private session (integration/) run these same cases.
#include "contract/ServerContract.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace voxlane::test {
namespace {

// A subscription that counts the changes it hears.
Subscription counting(AudioServer& server, Change change, ObjectId object, int& count) {
    return server.subscribe(change, object, [&count] { ++count; });
}

bool near(std::optional<float> value, float expected) {
    return value && std::fabs(*value - expected) < 1e-4f;
}

TEST_P(ServerContract, DevicesHaveUidsNamesStreamsControlsAndDefaults) {
    const auto speakers = deviceWithUid(server(), "speakers");
    const auto headphones = deviceWithUid(server(), "headphones");
    const auto mic = deviceWithUid(server(), "mic");
    EXPECT_TRUE(server().connected());
    // Nothing else is a device (no drivers, no monitors).
    EXPECT_EQ(server().devices().size(), 3u);
    EXPECT_EQ(server().device(speakers),
              (DeviceInfo{speakers, "speakers", "Speakers", Transport::software, {2}, {}, 48000}));
    EXPECT_EQ(
        server().device(headphones),
        (DeviceInfo{headphones, "headphones", "Headphones", Transport::software, {2}, {}, 48000}));
    EXPECT_EQ(server().device(mic),
              (DeviceInfo{mic, "mic", "Microphone", Transport::software, {}, {2}, 48000}));

    // Output controls on the outputs, input controls on the input, none on the other side.
    const DeviceControl full{1.0f, true, false, true};
    EXPECT_EQ(server().control(speakers, Side::output), full);
    EXPECT_EQ(server().control(mic, Side::input), full);
    EXPECT_EQ(server().control(speakers, Side::input), DeviceControl{});
    EXPECT_EQ(server().control(mic, Side::output), DeviceControl{});
    EXPECT_EQ(server().setVolume(mic, Side::output, 0.5f), ServerError::unsupported);

    // The alert output follows the output until one is chosen.
    EXPECT_EQ(server().defaultDevice(Role::output), speakers);
    EXPECT_EQ(server().defaultDevice(Role::alerts), speakers);
    EXPECT_EQ(server().defaultDevice(Role::input), mic);
    // Only a device of that direction can be a default.
    EXPECT_EQ(server().setDefaultDevice(Role::output, mic), ServerError::unsupported);
    EXPECT_EQ(server().setDefaultDevice(Role::input, speakers), ServerError::unsupported);
    EXPECT_EQ(server().setDefaultDevice(Role::output, noObject), ServerError::unknownObject);
}

TEST_P(ServerContract, DevicesComingAndGoingNotifyAndGoneOnesAnswerNothing) {
    int fired = 0;
    const auto subscription = counting(server(), Change::devices, noObject, fired);
    world->plug("plugged", "Plugged In");
    ASSERT_TRUE(world->waitUntil([&] { return deviceWithUid(server(), "plugged") != noObject; }));
    const auto plugged = deviceWithUid(server(), "plugged");
    EXPECT_EQ(server().device(plugged),
              (DeviceInfo{plugged, "plugged", "Plugged In", Transport::software, {2}, {}, 48000}));
    EXPECT_TRUE(world->waitUntil([&] { return fired >= 1; }));

    const int before = fired;
    world->unplug("plugged");
    ASSERT_TRUE(world->waitUntil([&] { return deviceWithUid(server(), "plugged") == noObject; }));
    EXPECT_TRUE(world->waitUntil([&] { return fired > before; }));
    EXPECT_FALSE(server().device(plugged));
    EXPECT_FALSE(server().control(plugged, Side::output));
    EXPECT_EQ(server().setMute(plugged, Side::output, true), ServerError::unknownObject);
}

TEST_P(ServerContract, PlayersAndRecordersAreProcessesWithTheirPidsAndRunningFlags) {
    int listFired = 0;
    const auto subscription = counting(server(), Change::processes, noObject, listFired);
    const auto info = [&](std::int32_t pid) {
        return server().process(server().processOf(pid)).value_or(ProcessInfo{});
    };
    auto player = world->play("speakers");
    auto recorder = world->record("mic");
    ASSERT_TRUE(world->waitUntil(
        [&] { return info(player->pid()).playing && info(recorder->pid()).recording; }));
    EXPECT_GE(listFired, 1);
    const auto played = server().processOf(player->pid());
    const auto recording = server().processOf(recorder->pid());
    EXPECT_EQ(info(player->pid()),
              (ProcessInfo{played, player->pid(), info(player->pid()).appId, true, false}));
    EXPECT_FALSE(info(recorder->pid()).playing);
    const auto processes = server().processes();
    EXPECT_NE(std::find(processes.begin(), processes.end(), recording), processes.end());

    // A client that ends leaves the list, telling the subscribers; the others keep their ids.
    const int before = listFired;
    const auto playerPid = player->pid();
    player->stop();
    ASSERT_TRUE(world->waitUntil([&] { return server().processOf(playerPid) == noObject; }));
    EXPECT_TRUE(world->waitUntil([&] { return listFired > before; }));
    EXPECT_FALSE(server().process(played));
    EXPECT_EQ(server().processOf(recorder->pid()), recording);
}

TEST_P(ServerContract, WrittenDefaultsReadBackAndNotify) {
    const auto speakers = deviceWithUid(server(), "speakers");
    const auto headphones = deviceWithUid(server(), "headphones");
    int fired = 0;
    const auto subscription = counting(server(), Change::defaults, noObject, fired);
    const auto current = [&](Role role) { return server().defaultDevice(role); };
    ASSERT_EQ(server().setDefaultDevice(Role::output, headphones), ServerError::none);
    ASSERT_TRUE(world->waitUntil([&] { return current(Role::output) == headphones; }));
    EXPECT_TRUE(world->waitUntil([&] { return fired >= 1; }));

    // A chosen alert output stays where it is put when the output moves.
    ASSERT_EQ(server().setDefaultDevice(Role::alerts, headphones), ServerError::none);
    ASSERT_EQ(server().setDefaultDevice(Role::output, speakers), ServerError::none);
    ASSERT_TRUE(world->waitUntil([&] { return current(Role::output) == speakers; }));
    EXPECT_TRUE(world->waitUntil([&] { return current(Role::alerts) == headphones; }));
    ASSERT_EQ(server().setDefaultDevice(Role::alerts, speakers), ServerError::none);
    EXPECT_TRUE(world->waitUntil([&] { return current(Role::alerts) == speakers; }));
}

TEST_P(ServerContract, VolumeAndMuteWritesReadBackAndNotify) {
    const auto headphones = deviceWithUid(server(), "headphones");
    const auto mic = deviceWithUid(server(), "mic");
    int volumeFired = 0, muteFired = 0;
    const auto volumeSubscription = counting(server(), Change::volume, headphones, volumeFired);
    const auto muteSubscription = counting(server(), Change::mute, headphones, muteFired);
    const auto headphonesAt = [&](float volume, bool muted) {
        const auto c = server().control(headphones, Side::output).value_or(DeviceControl{});
        return near(c.volume, volume) && c.mute == muted;
    };
    const auto micAt = [&](float volume, bool muted) {
        const auto c = server().control(mic, Side::input).value_or(DeviceControl{});
        return near(c.volume, volume) && c.mute == muted;
    };

    ASSERT_EQ(server().setVolume(headphones, Side::output, 0.5f), ServerError::none);
    ASSERT_TRUE(world->waitUntil([&] { return headphonesAt(0.5f, false); }));
    EXPECT_TRUE(world->waitUntil([&] { return volumeFired >= 1; }));

    ASSERT_EQ(server().setMute(headphones, Side::output, true), ServerError::none);
    ASSERT_TRUE(world->waitUntil([&] { return headphonesAt(0.5f, true) && muteFired > 0; }));
    EXPECT_EQ(muteFired, 1);
    ASSERT_EQ(server().setMute(headphones, Side::output, false), ServerError::none);
    ASSERT_TRUE(world->waitUntil([&] { return muteFired == 2; }));
    EXPECT_TRUE(headphonesAt(0.5f, false));

    ASSERT_EQ(server().setMute(mic, Side::input, true), ServerError::none);
    ASSERT_EQ(server().setVolume(mic, Side::input, 0.25f), ServerError::none);
    EXPECT_TRUE(world->waitUntil([&] { return micAt(0.25f, true); }));

    // Back to how the session started, for the cases after this one.
    server().setVolume(headphones, Side::output, 1.0f);
    server().setMute(mic, Side::input, false);
    server().setVolume(mic, Side::input, 1.0f);
    EXPECT_TRUE(world->waitUntil([&] { return headphonesAt(1.0f, false) && micAt(1.0f, false); }));
}

TEST_P(ServerContract, ADroppedSubscriptionHearsNothingAndTheOthersKeepHearing) {
    const auto speakers = deviceWithUid(server(), "speakers");
    int dropped = 0, kept = 0;
    auto subscription = counting(server(), Change::mute, speakers, dropped);
    const auto other = counting(server(), Change::mute, speakers, kept);
    const auto muted = [&](bool value) {
        return server().control(speakers, Side::output).value_or(DeviceControl{}).mute == value;
    };

    // A change under way when the subscription goes is not delivered to it.
    ASSERT_EQ(server().setMute(speakers, Side::output, true), ServerError::none);
    subscription.reset();
    ASSERT_TRUE(world->waitUntil([&] { return muted(true); }));
    server().setMute(speakers, Side::output, false);
    ASSERT_TRUE(world->waitUntil([&] { return muted(false) && kept >= 2; }));
    EXPECT_EQ(dropped, 0);
}

TEST_P(ServerContract, ATapOnAnAggregateFeedsItsRenderUntilTakenDown) {
    auto player = world->play("speakers");
    ASSERT_TRUE(world->waitUntil([&] { return server().processOf(player->pid()) != noObject; }));
    const auto process = server().processOf(player->pid());

    // A tap of something that is no process is refused.
    ServerError error = ServerError::none;
    EXPECT_FALSE(server().createTap(
        TapDescription::mixdownOf({deviceWithUid(server(), "speakers")}), &error));
    EXPECT_EQ(error, ServerError::unknownObject);
    auto description = TapDescription::mixdownOf({process});
    description.uuid = "CONTRACT-TAP";
    description.muteBehavior = TapMute::mutedWhenTapped;
    auto tap = server().createTap(description, &error);
    ASSERT_TRUE(tap) << errorText(error);
    const auto format = server().tapFormat(tap.object()).value_or(StreamFormat{});
    EXPECT_EQ(std::pair(format.channels, format.sampleRate), std::pair(2u, 48000.0));

    AggregateDescription aggregate;
    aggregate.uid = "contract-aggregate";
    aggregate.name = "Contract";
    aggregate.mainSubDevice = "speakers";
    aggregate.subDevices = {"speakers"};
    aggregate.taps = {description.uuid};
    int listChanges = 0;
    const auto watching = counting(server(), Change::devices, noObject, listChanges);
    auto device = server().createAggregate(aggregate, &error);
    ASSERT_TRUE(device) << errorText(error);
    EXPECT_FALSE(server().createAggregate(aggregate, &error));
    EXPECT_EQ(error, ServerError::badValue);
    // Ours, so described but not listed; its last input stream is the tap's.
    ASSERT_TRUE(world->waitUntil([&] { return server().device(device.object()).has_value(); }));
    const auto info = *server().device(device.object());
    EXPECT_EQ(std::pair(info.transport, info.inputStreams.back()),
              std::pair(Transport::aggregate, 2u));
    EXPECT_EQ(std::ranges::count(server().devices(), device.object()), 0);
    EXPECT_EQ(listChanges, 0) << "the device list did not change";

    // Render callbacks run on our aggregate devices only.
    EXPECT_FALSE(server().createRender(
        deviceWithUid(server(), "speakers"), [](const BufferList&, const BufferList&) {}, &error));
    EXPECT_EQ(error, ServerError::unknownObject);

    // The render callback hears the tapped app in the last input buffer.
    std::atomic<float> heard{0};
    std::atomic<int> cycles{0};
    auto render = server().createRender(
        device.object(),
        [&](const BufferList& in, const BufferList&) {
            ++cycles;
            const AudioBuffer* b = in.numberBuffers ? &in.buffers[in.numberBuffers - 1] : nullptr;
            for (std::uint32_t i = 0; b && b->data && i < b->dataByteSize / 4; ++i)
                heard = std::max(heard.load(), std::abs(static_cast<const float*>(b->data)[i]));
        },
        &error);
    ASSERT_TRUE(render) << errorText(error);
    EXPECT_EQ(cycles.load(), 0); // not before it is started
    ASSERT_EQ(server().start(render), ServerError::none);
    EXPECT_TRUE(world->waitUntil([&] { return heard.load() > 0.4f; })) << heard.load();
    ASSERT_EQ(server().stop(render), ServerError::none);
    const ServerHandle stranger(server(), ServerHandle::Kind::render, device.object(),
                                render.render() + 1000);
    EXPECT_EQ(server().start(stranger), ServerError::unknownObject);

    // Taking the aggregate device down takes its render callback along.
    const ObjectId gone = device.object();
    device.reset();
    EXPECT_EQ(server().start(render), ServerError::unknownObject);
    EXPECT_TRUE(world->waitUntil([&] { return !server().device(gone); }));
    const ObjectId tapId = tap.object();
    tap.reset();
    EXPECT_FALSE(server().tapFormat(tapId));
}

} // namespace
} // namespace voxlane::test
