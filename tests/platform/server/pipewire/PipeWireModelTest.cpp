// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireModel.h"

#include "platform/server/ServerCore.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Event = PipeWireEvent;
using State = PipeWireEvent::NodeInfo::State;
using Changes = std::vector<std::pair<Change, ObjectId>>;

class PipeWireModelTest : public ::testing::Test {
protected:
    // Applies events and says what subscribers would hear of the difference.
    Changes apply(std::initializer_list<PipeWireEvent> events) {
        const ServerModel before = model.model();
        for (const auto& event : events)
            model.apply(event);
        return ServerCore::differences(before, model.model());
    }
    Changes add(std::uint32_t id, Event::Kind kind, PipeWireProps props) {
        return apply({{Event::GlobalAdded{id, kind, id, 0700, std::move(props)}}});
    }
    void device(std::uint32_t id, const std::string& name, const std::string& mediaClass,
                std::vector<float> volumes = {1.0f, 1.0f}, bool writable = true) {
        add(id, Event::Kind::node,
            {{"node.name", name},
             {"media.class", mediaClass},
             {"factory.name", "support.null-audio-sink"}});
        apply({{Event::NodeInfo{id, State::suspended, std::nullopt, writable}},
               {Event::NodeControls{id, std::move(volumes), false}}});
    }
    Changes stream(std::uint32_t id, std::uint32_t client, const std::string& mediaClass,
                   State state) {
        const PipeWireProps props{{"media.class", mediaClass},
                                  {"client.id", std::to_string(client)}};
        return apply({{Event::GlobalAdded{id, Event::Kind::node, id, 0700, props}},
                      {Event::NodeInfo{id, state, std::nullopt, std::nullopt}}});
    }
    Changes metadata(const std::string& key, std::optional<std::string> value,
                     std::uint32_t subject = 0) {
        return apply({{Event::MetadataProperty{"default", subject, key,
                                               std::string("Spa:String:JSON"), value}}});
    }

    ObjectId uid(const std::string& uid) { return model.deviceForUid(uid).value_or(noObject); }
    const ServerModel::Device& at(ObjectId id) { return model.model().devices.at(id); }
    const ProcessInfo& process(ObjectId id) { return model.model().processes.at(id); }
    ObjectId defaultFor(Role role) { return model.model().defaultFor(role); }
    static bool has(const Changes& changes, Change change, ObjectId object = noObject) {
        return std::find(changes.begin(), changes.end(), std::pair{change, object}) !=
               changes.end();
    }

    int resolved = 0;
    PipeWireModel model{{.ownPid = 4242, .appIdResolver = [this](pid_t pid) {
                             ++resolved;
                             return pid == 1234
                                        ? std::optional<std::string>("org.example.Native.desktop")
                                        : std::nullopt;
                         }}};
};

TEST_F(PipeWireModelTest, SinksAndSourcesAreDevicesThatComeAndGoWithNewIds) {
    device(17, "speakers", "Audio/Sink", {0.125f, 0.064f});
    device(27, "mic", "Audio/Source/Virtual");
    add(30, Event::Kind::node,
        {{"node.name", "speakers.monitor"},
         {"media.class", "Audio/Source"},
         {"device.class", "monitor"}});
    device(31, "locked", "Audio/Sink", {1.0f}, false);
    ASSERT_EQ(model.model().devices.size(), 3u); // the monitor is none
    // Names, streams and controls of ordinary sinks and sources are part of the server contract.
    const auto speakers = at(uid("speakers"));
    const auto locked = at(uid("locked"));
    EXPECT_EQ(speakers.info.outputStreams, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(locked.info.outputStreams, (std::vector<std::uint32_t>{1})); // a channel per volume
    // Volumes are slider positions: the cube root of the loudest channel's gain. Read-only Props:
    // the volume is there but not settable (no hardware volume).
    EXPECT_FLOAT_EQ(speakers.output.volume.value_or(-1), 0.5f);
    EXPECT_TRUE(speakers.output.volumeSettable && speakers.output.muteSettable);
    EXPECT_EQ(locked.output, (DeviceControl{1.0f, false, false, false}));

    const auto first = uid("speakers");
    EXPECT_TRUE(has(apply({{Event::GlobalRemoved{17}}}), Change::devices));
    EXPECT_FALSE(model.model().device(first));
    EXPECT_TRUE(
        has(add(17, Event::Kind::node, {{"node.name", "speakers"}, {"media.class", "Audio/Sink"}}),
            Change::devices));
    EXPECT_NE(uid("speakers"), noObject);
    EXPECT_NE(uid("speakers"), first); // ids are never reused
}

TEST_F(PipeWireModelTest, DefaultsComeFromTheDefaultMetadataAndAreWrittenThere) {
    device(17, "speakers", "Audio/Sink");
    device(22, "headphones", "Audio/Sink");
    device(27, "mic", "Audio/Source/Virtual");
    add(36, Event::Kind::metadata, {{"metadata.name", "default"}});
    const auto speakers = uid("speakers"), headphones = uid("headphones");
    EXPECT_EQ(defaultFor(Role::output), noObject);
    EXPECT_TRUE(has(metadata("default.audio.sink", R"({"name":"speakers"})"), Change::defaults));
    EXPECT_EQ(defaultFor(Role::alerts), speakers); // follows the output
    metadata("default.audio.source", R"({"name":"mic"})");
    EXPECT_EQ(defaultFor(Role::output), speakers);
    EXPECT_EQ(defaultFor(Role::input), uid("mic"));
    // A default naming a device of the wrong direction, or garbage, is no default.
    metadata("default.audio.source", R"({"name":"speakers"})");
    EXPECT_EQ(defaultFor(Role::input), noObject);
    metadata("default.audio.sink", "not json");
    EXPECT_EQ(defaultFor(Role::output), noObject);
    metadata("default.audio.sink", R"({"name":"speakers"})");

    PipeWireModel::MetadataWrite write;
    ASSERT_EQ(model.planDefault(Role::output, headphones, write), ServerError::none);
    EXPECT_EQ(write.key, "default.configured.audio.sink");
    EXPECT_EQ(write.value, R"({"name":"headphones"})");

    // The alert device is our own key; while it is set, notification streams are sent there.
    ASSERT_EQ(model.planDefault(Role::alerts, headphones, write), ServerError::none);
    EXPECT_EQ(write.key, PipeWireModel::alertSinkKey);
    EXPECT_TRUE(
        has(metadata(PipeWireModel::alertSinkKey, R"({"name":"headphones"})"), Change::defaults));
    EXPECT_EQ(defaultFor(Role::alerts), headphones);
    add(40, Event::Kind::client, {{"pipewire.sec.pid", "1234"}});
    add(41, Event::Kind::node,
        {{"media.class", "Stream/Output/Audio"}, {"client.id", "40"}, {"media.role", "Event"}});
    add(43, Event::Kind::node,
        {{"media.class", "Stream/Output/Audio"}, {"client.id", "40"}, {"media.role", "Music"}});
    const auto routing = model.alertRouting();
    ASSERT_EQ(routing.size(), 1u);
    EXPECT_EQ(routing[0].subject, 41u);
    EXPECT_EQ(routing[0].key, "target.object");
    EXPECT_EQ(routing[0].value, "headphones");
    metadata("target.object", "headphones", 41);
    EXPECT_TRUE(model.alertRouting().empty());

    // The session manager restarts: its new metadata object comes before the old one has
    // cleared itself and gone, which must not take the new defaults along.
    add(50, Event::Kind::metadata, {{"metadata.name", "default"}});
    apply({{Event::MetadataProperty{"default", 0, std::string("default.audio.sink"),
                                    std::string("Spa:String:JSON"),
                                    std::string(R"({"name":"speakers"})"), 50}},
           {Event::MetadataProperty{"default", 0, std::nullopt, std::nullopt, std::nullopt, 36}},
           {Event::GlobalRemoved{36}}});
    EXPECT_EQ(defaultFor(Role::output), speakers);
    apply({{Event::GlobalRemoved{50}}});
    EXPECT_EQ(defaultFor(Role::output), noObject) << "the newest object's entries go with it";
}

TEST_F(PipeWireModelTest, ProcessesAreTheClientsThatOwnStreams) {
    apply({{Event::Connected{}}});
    add(38, Event::Kind::client, {{"pipewire.sec.pid", "1234"}});
    // pipewire-pulse connects for each PulseAudio client; the socket's pid is its own.
    add(45, Event::Kind::client,
        {{"client.api", "pipewire-pulse"},
         {"pipewire.sec.pid", "99"},
         {"application.process.id", "555"},
         {"application.id", "org.example.Pulse"}});
    add(50, Event::Kind::client, {{"pipewire.sec.pid", "777"}}); // no streams
    EXPECT_TRUE(has(stream(39, 38, "Stream/Output/Audio", State::running), Change::processes));
    stream(47, 45, "Stream/Input/Audio", State::idle);

    const auto native = *model.processForPid(1234);
    const auto pulse = *model.processForPid(555);
    EXPECT_FALSE(model.processForPid(99));
    EXPECT_FALSE(model.processForPid(777));
    ASSERT_TRUE(model.processForPid(4242)); // ourselves, while connected
    EXPECT_EQ(model.model().processes.size(), 3u);
    EXPECT_EQ(process(native),
              (ProcessInfo{native, 1234, "org.example.Native.desktop", true, false}));
    EXPECT_EQ(process(pulse), (ProcessInfo{pulse, 555, "org.example.Pulse", false, false}));

    const auto changes = apply({{Event::NodeInfo{47, State::running, std::nullopt, std::nullopt}}});
    EXPECT_TRUE(has(changes, Change::running, pulse));
    EXPECT_FALSE(has(changes, Change::running, native));
    EXPECT_TRUE(process(pulse).recording);

    // Without streams a process leaves the list but keeps its id while its client lives.
    apply({{Event::GlobalRemoved{39}}});
    EXPECT_FALSE(model.processForPid(1234));
    stream(60, 38, "Stream/Output/Audio", State::running);
    EXPECT_EQ(model.processForPid(1234), native);
    // A process that is gone for good comes back (same pid, reused) as a new object.
    apply({{Event::GlobalRemoved{60}}, {Event::GlobalRemoved{38}}});
    add(61, Event::Kind::client, {{"pipewire.sec.pid", "1234"}});
    stream(62, 61, "Stream/Output/Audio", State::running);
    EXPECT_NE(model.processForPid(1234).value_or(native), native);
    EXPECT_EQ(resolved, 3); // once per process object without an id of its own: 1234, us, 1234
}

TEST_F(PipeWireModelTest, VolumeAndMuteWritesBecomeNodePropsAndTheAnswersChanges) {
    device(17, "speakers", "Audio/Sink", {1.0f, 0.5f});
    device(27, "mic", "Audio/Source/Virtual");
    device(31, "locked", "Audio/Sink", {1.0f}, false);
    const auto speakers = uid("speakers"), mic = uid("mic");
    PipeWireModel::NodeWrite write;
    // The loudest channel gets the new gain, the others keep their balance to it.
    ASSERT_EQ(model.planVolume(speakers, Side::output, 0.5f, write), ServerError::none);
    EXPECT_EQ(write.node, 17u);
    EXPECT_EQ(write.channelVolumes, (std::vector<float>{0.125f, 0.0625f}));
    EXPECT_FALSE(write.mute);
    ASSERT_EQ(model.planMute(mic, Side::input, true, write), ServerError::none);
    EXPECT_EQ(write.node, 27u);
    EXPECT_EQ(write.mute, true);
    EXPECT_FALSE(write.channelVolumes);
    EXPECT_EQ(model.planVolume(mic, Side::input, std::nanf(""), write), ServerError::badValue);
    EXPECT_EQ(model.planVolume(uid("locked"), Side::output, 0.5f, write),
              ServerError::notPermitted);

    // The server's answer is what readers and subscribers see.
    const auto changes =
        apply({{Event::NodeControls{17, std::vector<float>{0.125f, 0.064f}, true}}});
    EXPECT_TRUE(has(changes, Change::volume, speakers));
    EXPECT_TRUE(has(changes, Change::mute, speakers));
    EXPECT_FALSE(has(changes, Change::volume, mic));
    EXPECT_FLOAT_EQ(*at(speakers).output.volume, 0.5f);
    EXPECT_EQ(at(speakers).output.mute, true);
    // A balance change that leaves the loudest channel alone is no volume change.
    EXPECT_FALSE(has(apply({{Event::NodeControls{17, std::vector<float>{0.125f, 0.001f}, true}}}),
                     Change::volume, speakers));
}

TEST_F(PipeWireModelTest, TheServerComesAndGoes) {
    EXPECT_FALSE(model.model().connected);
    device(17, "speakers", "Audio/Sink");
    EXPECT_TRUE(has(apply({{Event::Connected{}}}), Change::connection));
    EXPECT_TRUE(model.model().connected);
    const auto before = uid("speakers");

    const auto changes = apply({{Event::Disconnected{"gone"}}});
    EXPECT_TRUE(has(changes, Change::devices));
    EXPECT_TRUE(has(changes, Change::processes)); // we were a process of it
    EXPECT_TRUE(has(changes, Change::connection));
    EXPECT_FALSE(model.model().connected);
    EXPECT_TRUE(model.model().devices.empty());
    EXPECT_TRUE(model.model().processes.empty());

    // The same node id on the next connection is a new device.
    device(17, "speakers", "Audio/Sink");
    apply({{Event::Connected{}}});
    ASSERT_EQ(model.model().devices.size(), 1u);
    EXPECT_NE(uid("speakers"), before);
}

} // namespace
} // namespace voxlane
