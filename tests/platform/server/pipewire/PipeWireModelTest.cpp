// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireModel.h"

#include "support/HalAccess.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Event = PipeWireEvent;
using State = PipeWireEvent::NodeInfo::State;
constexpr std::uint32_t allPermissions = 0700;

using test::global;
using test::input;
using test::output;

class PipeWireModelTest : public ::testing::Test {
protected:
    PipeWireModelTest() : model(options()) {}

    PipeWireModel::Options options() {
        PipeWireModel::Options o;
        o.ownPid = 4242;
        o.bundleIdResolver = [this](pid_t pid) -> std::optional<std::string> {
            ++resolved;
            if (pid == 1234) return "org.example.Native.desktop";
            return std::nullopt;
        };
        return o;
    }

    std::vector<PipeWireModel::Change> add(std::uint32_t id, Event::Kind kind, PipeWireProps props,
                                           std::uint32_t permissions = allPermissions) {
        return model.apply({Event::GlobalAdded{id, kind, id, permissions, std::move(props)}});
    }
    void device(std::uint32_t id, const std::string& name, const std::string& mediaClass,
                std::vector<float> volumes = {1.0f, 1.0f}, bool writable = true) {
        add(id, Event::Kind::node,
            {{"node.name", name},
             {"node.description", name + " device"},
             {"media.class", mediaClass},
             {"factory.name", "support.null-audio-sink"}});
        model.apply({Event::NodeInfo{id, State::suspended, std::nullopt, writable}});
        model.apply({Event::NodeControls{id, std::move(volumes), false}});
    }
    std::vector<PipeWireModel::Change> stream(std::uint32_t id, std::uint32_t client,
                                              const std::string& mediaClass, State state) {
        auto changes = add(id, Event::Kind::node,
                           {{"media.class", mediaClass}, {"client.id", std::to_string(client)}});
        for (const auto& c : model.apply({Event::NodeInfo{id, state, std::nullopt, std::nullopt}}))
            changes.push_back(c);
        return changes;
    }
    std::vector<PipeWireModel::Change>
    metadata(const std::string& key, std::optional<std::string> value, std::uint32_t subject = 0) {
        return model.apply({Event::MetadataProperty{"default", subject, key,
                                                    std::string("Spa:String:JSON"), value}});
    }

    template <typename T>
    std::optional<T> read(AudioObjectID object, AudioObjectPropertyAddress address) {
        PipeWireModel::Value value;
        if (model.read(object, address, 0, nullptr, value) != 0) return std::nullopt;
        if (auto* v = std::get_if<T>(&value)) return *v;
        return std::nullopt;
    }
    std::vector<std::uint32_t> list(AudioObjectPropertySelector selector) {
        return read<std::vector<std::uint32_t>>(kAudioObjectSystemObject, global(selector))
            .value_or(std::vector<std::uint32_t>{});
    }
    static bool has(const std::vector<PipeWireModel::Change>& changes, AudioObjectID object,
                    AudioObjectPropertySelector selector) {
        return std::any_of(changes.begin(), changes.end(), [&](const auto& c) {
            return c.object == object && c.address.mSelector == selector;
        });
    }

    int resolved = 0;
    PipeWireModel model;
};

TEST_F(PipeWireModelTest, SinksAndSourcesAreDevicesWithStreamsAndControls) {
    device(17, "speakers", "Audio/Sink", {0.125f, 0.064f});
    device(27, "mic", "Audio/Source/Virtual");
    device(30, "speakers.monitor", "Audio/Source");
    model.apply({Event::GlobalAdded{30,
                                    Event::Kind::node,
                                    30,
                                    allPermissions,
                                    {{"node.name", "speakers.monitor"},
                                     {"media.class", "Audio/Source"},
                                     {"device.class", "monitor"}}}});
    device(31, "locked", "Audio/Sink", {1.0f}, false);
    const auto devices = list(kAudioHardwarePropertyDevices);
    ASSERT_EQ(devices.size(), 3u); // the monitor is none
    const auto speakers = *model.deviceForUID("speakers");
    const auto mic = *model.deviceForUID("mic");
    const auto locked = *model.deviceForUID("locked");

    PipeWireModel::Value name;
    ASSERT_EQ(model.read(speakers, global(kAudioObjectPropertyName), 0, nullptr, name), 0);
    EXPECT_EQ(std::get<std::optional<std::string>>(name), "speakers device");
    EXPECT_EQ(read<std::uint32_t>(speakers, global(kAudioDevicePropertyTransportType)),
              std::uint32_t(Transport::software));
    EXPECT_EQ(read<double>(speakers, global(kAudioDevicePropertyNominalSampleRate)), 48000.0);
    EXPECT_EQ(read<std::vector<std::uint32_t>>(
                  speakers, {kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput, 0})
                  ->size(),
              0u);
    EXPECT_EQ(read<std::vector<std::uint32_t>>(
                  mic, {kAudioDevicePropertyStreams, kAudioObjectPropertyScopeInput, 0})
                  ->size(),
              1u);

    // Volumes are slider positions: cube roots of the gains; one element per channel.
    EXPECT_FLOAT_EQ(
        *read<float>(speakers, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)),
        0.5f);
    EXPECT_FLOAT_EQ(*read<float>(speakers, output(kAudioDevicePropertyVolumeScalar, 2)), 0.4f);
    EXPECT_FALSE(read<float>(speakers, output(kAudioDevicePropertyVolumeScalar, 3)));
    EXPECT_FALSE(read<float>(speakers, input(kAudioDevicePropertyVolumeScalar)));
    EXPECT_EQ(read<float>(mic, input(kAudioDevicePropertyVolumeScalar)), 1.0f);
    EXPECT_EQ(read<std::uint32_t>(mic, input(kAudioDevicePropertyMute)), 0u);

    bool settable = false;
    ASSERT_EQ(model.settable(speakers, output(kAudioDevicePropertyMute), settable), 0);
    EXPECT_TRUE(settable);
    ASSERT_EQ(model.settable(locked, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume),
                             settable),
              0);
    EXPECT_FALSE(settable); // read-only Props: no hardware volume
}

TEST_F(PipeWireModelTest, DeviceComingAndGoingChangesTheListAndTheIds) {
    device(17, "speakers", "Audio/Sink");
    const auto first = *model.deviceForUID("speakers");
    const auto removed = model.apply({Event::GlobalRemoved{17}});
    EXPECT_TRUE(has(removed, kAudioObjectSystemObject, kAudioHardwarePropertyDevices));
    EXPECT_FALSE(model.exists(first));
    const auto added =
        add(17, Event::Kind::node, {{"node.name", "speakers"}, {"media.class", "Audio/Sink"}});
    EXPECT_TRUE(has(added, kAudioObjectSystemObject, kAudioHardwarePropertyDevices));
    ASSERT_TRUE(model.deviceForUID("speakers"));
    EXPECT_NE(*model.deviceForUID("speakers"), first); // ids are never reused
}

TEST_F(PipeWireModelTest, DefaultsComeFromTheDefaultMetadataAndAreWrittenThere) {
    device(17, "speakers", "Audio/Sink");
    device(22, "headphones", "Audio/Sink");
    device(27, "mic", "Audio/Source/Virtual");
    add(36, Event::Kind::metadata, {{"metadata.name", "default"}});
    const auto speakers = *model.deviceForUID("speakers");
    const auto headphones = *model.deviceForUID("headphones");
    const auto mic = *model.deviceForUID("mic");
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultOutputDevice)),
              0u);

    auto changes = metadata("default.audio.sink", R"({"name":"speakers"})");
    EXPECT_TRUE(has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyDefaultOutputDevice));
    EXPECT_TRUE(
        has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyDefaultSystemOutputDevice));
    metadata("default.audio.source", R"({"name":"mic"})");
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultOutputDevice)),
              speakers);
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultInputDevice)),
              mic);
    // A default naming a device of the wrong direction, or garbage, is no default.
    metadata("default.audio.source", R"({"name":"speakers"})");
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultInputDevice)),
              0u);
    metadata("default.audio.source", "not json");
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultInputDevice)),
              0u);

    PipeWireModel::Write write;
    const std::uint32_t id = headphones;
    ASSERT_EQ(model.planWrite(kAudioObjectSystemObject,
                              global(kAudioHardwarePropertyDefaultOutputDevice), 4, &id, write),
              0);
    const auto& m = std::get<PipeWireModel::MetadataWrite>(write);
    EXPECT_EQ(m.key, "default.configured.audio.sink");
    EXPECT_EQ(m.value, R"({"name":"headphones"})");
    const std::uint32_t micId = mic;
    EXPECT_EQ(model.planWrite(kAudioObjectSystemObject,
                              global(kAudioHardwarePropertyDefaultOutputDevice), 4, &micId, write),
              kAudioHardwareBadDeviceError);
    EXPECT_EQ(model.planWrite(kAudioObjectSystemObject,
                              global(kAudioHardwarePropertyDefaultOutputDevice), 2, &id, write),
              kAudioHardwareBadPropertySizeError);

    // The alert device is our own key; while it is set, notification streams are sent there.
    changes = metadata(PipeWireModel::alertSinkKey, R"({"name":"headphones"})");
    EXPECT_TRUE(
        has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyDefaultSystemOutputDevice));
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultSystemOutputDevice)),
              headphones);
    add(40, Event::Kind::client, {{"pipewire.sec.pid", "1234"}});
    add(41, Event::Kind::node,
        {{"media.class", "Stream/Output/Audio"}, {"client.id", "40"}, {"media.role", "Event"}});
    add(43, Event::Kind::node,
        {{"media.class", "Stream/Output/Audio"}, {"client.id", "40"}, {"media.role", "Music"}});
    auto routing = model.alertRouting();
    ASSERT_EQ(routing.size(), 1u);
    EXPECT_EQ(routing[0].subject, 41u);
    EXPECT_EQ(routing[0].key, "target.object");
    EXPECT_EQ(routing[0].value, "headphones");
    metadata("target.object", "headphones", 41);
    EXPECT_TRUE(model.alertRouting().empty());

    // The session manager restarts: its new metadata object comes before the old one has
    // cleared itself and gone, which must not take the new defaults along.
    const auto defaultOutput = [&] {
        return read<std::uint32_t>(kAudioObjectSystemObject,
                                   global(kAudioHardwarePropertyDefaultOutputDevice));
    };
    add(50, Event::Kind::metadata, {{"metadata.name", "default"}});
    model.apply({Event::MetadataProperty{"default", 0, std::string("default.audio.sink"),
                                         std::string("Spa:String:JSON"),
                                         std::string(R"({"name":"speakers"})"), 50}});
    model.apply({Event::MetadataProperty{"default", 0, std::nullopt, std::nullopt, std::nullopt,
                                         36}});
    model.apply({Event::GlobalRemoved{36}});
    EXPECT_EQ(defaultOutput(), speakers);
    model.apply({Event::GlobalRemoved{50}});
    EXPECT_EQ(defaultOutput(), 0u) << "the newest object's entries go with it";
}

TEST_F(PipeWireModelTest, ProcessesAreTheClientsThatOwnStreams) {
    model.apply({Event::Connected{}});
    add(38, Event::Kind::client,
        {{"pipewire.sec.pid", "1234"}, {"application.process.binary", "pw-cat"}});
    // pipewire-pulse connects for each PulseAudio client; the socket's pid is its own.
    add(45, Event::Kind::client,
        {{"client.api", "pipewire-pulse"},
         {"pipewire.sec.pid", "99"},
         {"application.process.id", "555"},
         {"application.id", "org.example.Pulse"}});
    add(50, Event::Kind::client, {{"pipewire.sec.pid", "777"}}); // no streams
    auto changes = stream(39, 38, "Stream/Output/Audio", State::running);
    EXPECT_TRUE(has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyProcessObjectList));
    stream(47, 45, "Stream/Input/Audio", State::idle);

    const auto native = *model.processForPID(1234);
    const auto pulse = *model.processForPID(555);
    EXPECT_FALSE(model.processForPID(99));
    EXPECT_FALSE(model.processForPID(777));
    ASSERT_TRUE(model.processForPID(4242)); // ourselves, while connected
    EXPECT_EQ(list(kAudioHardwarePropertyProcessObjectList).size(), 3u);
    EXPECT_EQ(read<std::int32_t>(native, global(kAudioProcessPropertyPID)), 1234);
    EXPECT_EQ(read<std::uint32_t>(native, global(kAudioProcessPropertyIsRunningOutput)), 1u);
    EXPECT_EQ(read<std::uint32_t>(pulse, global(kAudioProcessPropertyIsRunningInput)), 0u);
    EXPECT_EQ(read<std::optional<std::string>>(pulse, global(kAudioProcessPropertyBundleID)),
              "org.example.Pulse");
    EXPECT_EQ(read<std::optional<std::string>>(native, global(kAudioProcessPropertyBundleID)),
              "org.example.Native.desktop");

    const std::int32_t pid = 555;
    PipeWireModel::Value translated;
    ASSERT_EQ(model.read(kAudioObjectSystemObject,
                         global(kAudioHardwarePropertyTranslatePIDToProcessObject), 4, &pid,
                         translated),
              0);
    EXPECT_EQ(std::get<std::uint32_t>(translated), pulse);

    changes = model.apply({Event::NodeInfo{47, State::running, std::nullopt, std::nullopt}});
    EXPECT_TRUE(has(changes, pulse, kAudioProcessPropertyIsRunningInput));
    EXPECT_FALSE(has(changes, native, kAudioProcessPropertyIsRunningOutput));

    // Without streams a process leaves the list but keeps its id while its client lives.
    model.apply({Event::GlobalRemoved{39}});
    EXPECT_FALSE(model.processForPID(1234));
    stream(60, 38, "Stream/Output/Audio", State::running);
    EXPECT_EQ(model.processForPID(1234), native);
    // A process that is gone for good comes back (same pid, reused) as a new object.
    model.apply({Event::GlobalRemoved{60}});
    model.apply({Event::GlobalRemoved{38}});
    add(61, Event::Kind::client, {{"pipewire.sec.pid", "1234"}});
    stream(62, 61, "Stream/Output/Audio", State::running);
    ASSERT_TRUE(model.processForPID(1234));
    EXPECT_NE(*model.processForPID(1234), native);
    EXPECT_EQ(resolved, 3); // once per process object without an id of its own: 1234, us, 1234
}

TEST_F(PipeWireModelTest, VolumeAndMuteWritesBecomeNodeProps) {
    device(17, "speakers", "Audio/Sink", {1.0f, 0.5f});
    device(27, "mic", "Audio/Source/Virtual");
    const auto speakers = *model.deviceForUID("speakers");
    const auto mic = *model.deviceForUID("mic");
    PipeWireModel::Write write;
    const float half = 0.5f;
    ASSERT_EQ(model.planWrite(speakers,
                              output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume), 4,
                              &half, write),
              0);
    auto node = std::get<PipeWireModel::NodeWrite>(write);
    EXPECT_EQ(node.node, 17u);
    EXPECT_EQ(node.channelVolumes, (std::vector<float>{0.125f, 0.0625f}));
    EXPECT_FALSE(node.mute);

    ASSERT_EQ(
        model.planWrite(speakers, output(kAudioDevicePropertyVolumeScalar, 2), 4, &half, write), 0);
    EXPECT_EQ(std::get<PipeWireModel::NodeWrite>(write).channelVolumes,
              (std::vector<float>{1.0f, 0.125f}));

    const std::uint32_t on = 1;
    ASSERT_EQ(model.planWrite(mic, input(kAudioDevicePropertyMute), 4, &on, write), 0);
    node = std::get<PipeWireModel::NodeWrite>(write);
    EXPECT_EQ(node.mute, true);
    EXPECT_FALSE(node.channelVolumes);

    const float nan = std::nanf("");
    EXPECT_EQ(model.planWrite(mic, input(kAudioDevicePropertyVolumeScalar), 4, &nan, write),
              kAudio_ParamError);
    EXPECT_EQ(model.planWrite(mic, output(kAudioDevicePropertyMute), 4, &on, write),
              kAudioHardwareUnknownPropertyError);

    // The server's answer fires the listeners of what changed.
    const auto changes =
        model.apply({Event::NodeControls{17, std::vector<float>{0.125f, 0.5f}, true}});
    EXPECT_TRUE(has(changes, speakers, kAudioHardwareServiceDeviceProperty_VirtualMainVolume));
    EXPECT_TRUE(has(changes, speakers, kAudioDevicePropertyMute));
    const bool element1 = std::any_of(changes.begin(), changes.end(), [&](const auto& c) {
        return c.address == output(kAudioDevicePropertyVolumeScalar, 1);
    });
    const bool element2 = std::any_of(changes.begin(), changes.end(), [&](const auto& c) {
        return c.address == output(kAudioDevicePropertyVolumeScalar, 2);
    });
    EXPECT_TRUE(element1);
    EXPECT_FALSE(element2);
}

TEST_F(PipeWireModelTest, TheServerComesAndGoes) {
    const auto connected = global(kAudioHardwarePropertyServerConnected);
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject, connected), 0u);
    device(17, "speakers", "Audio/Sink");
    auto changes = model.apply({Event::Connected{}});
    EXPECT_TRUE(has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyServerConnected));
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject, connected), 1u);
    const auto before = list(kAudioHardwarePropertyDevices);

    changes = model.apply({Event::Disconnected{"gone"}});
    EXPECT_TRUE(has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyDevices));
    EXPECT_TRUE(has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyProcessObjectList));
    EXPECT_TRUE(has(changes, kAudioObjectSystemObject, kAudioHardwarePropertyServerConnected));
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject, connected), 0u);
    EXPECT_TRUE(list(kAudioHardwarePropertyDevices).empty());
    EXPECT_TRUE(list(kAudioHardwarePropertyProcessObjectList).empty());

    // The same node id on the next connection is a new device.
    device(17, "speakers", "Audio/Sink");
    model.apply({Event::Connected{}});
    ASSERT_EQ(list(kAudioHardwarePropertyDevices).size(), 1u);
    EXPECT_NE(list(kAudioHardwarePropertyDevices), before);
}

} // namespace
} // namespace voxlane
