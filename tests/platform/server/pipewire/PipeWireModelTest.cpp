// SPDX-License-Identifier: GPL-3.0-or-later
// What the PipeWire model does beyond the contract and the integration tests on a real PipeWire:
// read-only Props, balance, pulse clients, the session manager's restart, the connection going.
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
        add(id, Event::Kind::node, {{"node.name", name}, {"media.class", mediaClass}});
        apply({{Event::NodeInfo{id, State::suspended, std::nullopt, writable}},
               {Event::NodeControls{id, std::move(volumes), false}}});
    }
    void stream(std::uint32_t id, std::uint32_t client, const std::string& mediaClass,
                State state) {
        add(id, Event::Kind::node,
            {{"media.class", mediaClass}, {"client.id", std::to_string(client)}});
        apply({{Event::NodeInfo{id, state, std::nullopt, std::nullopt}}});
    }
    Changes metadata(const std::string& key, std::optional<std::string> value,
                     std::uint32_t subject = 0) {
        return apply({{Event::MetadataProperty{"default", subject, key,
                                               std::string("Spa:String:JSON"), value}}});
    }

    ObjectId uid(const std::string& uid) { return model.deviceForUid(uid).value_or(noObject); }
    const ServerModel::Device& at(ObjectId id) { return model.model().devices.at(id); }
    ObjectId defaultFor(Role role) { return model.model().defaultFor(role); }
    static bool has(const Changes& changes, Change change, ObjectId object = noObject) {
        return std::ranges::find(changes, std::pair{change, object}) != changes.end();
    }

    PipeWireModel model{
        {.ownPid = 4242, .appIdResolver = [](pid_t) { return std::optional<std::string>(); }}};
};

TEST_F(PipeWireModelTest, DevicesHaveAChannelPerVolumeFreshIdsAndGoWithTheConnection) {
    device(17, "speakers", "Audio/Sink", {0.125f, 0.064f});
    device(31, "locked", "Audio/Sink", {1.0f}, false);
    device(32, "boosted", "Audio/Sink", {2.0f, 2.0f});
    // Volumes are slider positions: the cube root of the loudest channel's gain. Read-only Props:
    // the volume is there but not settable (no hardware volume).
    EXPECT_FLOAT_EQ(at(uid("speakers")).output.volume.value_or(-1), 0.5f);
    EXPECT_EQ(at(uid("boosted")).output.volume, 1.0f); // above 100 % elsewhere
    EXPECT_EQ(at(uid("locked")).info.outputStreams, (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(at(uid("locked")).output, (DeviceControl{1.0f, false, false, false}));

    // A device that comes back is a new object.
    const auto first = uid("speakers");
    apply({{Event::GlobalRemoved{17}}});
    device(17, "speakers", "Audio/Sink");
    EXPECT_NE(uid("speakers"), first);
    EXPECT_NE(uid("speakers"), noObject);
    // The connection going takes everything along. (Coming back: ServerRestartTest.)
    apply({{Event::Connected{}}});
    const auto changes = apply({{Event::Disconnected{"gone"}}});
    EXPECT_TRUE(has(changes, Change::devices) && has(changes, Change::connection));
    EXPECT_TRUE(has(changes, Change::processes)); // we were a process of it
    EXPECT_TRUE(model.model().devices.empty() && model.model().processes.empty());
}

TEST_F(PipeWireModelTest, DefaultsComeFromTheNewestDefaultMetadata) {
    device(17, "speakers", "Audio/Sink");
    device(27, "mic", "Audio/Source/Virtual");
    add(36, Event::Kind::metadata, {{"metadata.name", "default"}});
    const auto speakers = uid("speakers");
    metadata("default.audio.sink", R"({"name":"speakers"})");
    metadata("default.audio.source", R"({"name":"mic"})");
    EXPECT_EQ(defaultFor(Role::input), uid("mic"));
    EXPECT_EQ(defaultFor(Role::alerts), speakers); // follows the output
    // A default naming a device of the wrong direction, or garbage, is no default.
    metadata("default.audio.source", R"({"name":"speakers"})");
    EXPECT_EQ(defaultFor(Role::input), noObject);
    metadata("default.audio.sink", "not json");
    EXPECT_EQ(defaultFor(Role::output), noObject);
    metadata("default.audio.sink", R"({"name":"speakers"})");

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
         {"application.process.id", "555"}});
    add(50, Event::Kind::client, {{"pipewire.sec.pid", "777"}}); // no streams
    stream(39, 38, "Stream/Output/Audio", State::running);
    stream(47, 45, "Stream/Input/Audio", State::idle);
    const auto native = *model.processForPid(1234);
    const auto pulse = *model.processForPid(555);
    EXPECT_FALSE(model.processForPid(99) || model.processForPid(777));
    ASSERT_TRUE(model.processForPid(4242)); // ourselves, while connected
    EXPECT_EQ(model.model().processes.size(), 3u);
    const auto changes = apply({{Event::NodeInfo{47, State::running, std::nullopt, std::nullopt}}});
    EXPECT_TRUE(has(changes, Change::running, pulse) &&
                model.model().processes.at(pulse).recording);
    EXPECT_FALSE(has(changes, Change::running, native));

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
}

TEST_F(PipeWireModelTest, VolumeWritesKeepTheBalanceAndOnlyItsLoudestChannelIsTheVolume) {
    device(17, "speakers", "Audio/Sink", {1.0f, 0.5f});
    device(18, "silent", "Audio/Sink", {0.0f, 0.0f});
    const auto speakers = uid("speakers");
    PipeWireModel::NodeWrite write;
    // The loudest channel gets the new gain, the others keep their balance to it; from silence
    // every channel gets it.
    ASSERT_EQ(model.planVolume(speakers, Side::output, 0.5f, write), ServerError::none);
    EXPECT_EQ(write.node, 17u);
    EXPECT_EQ(write.channelVolumes, (std::vector<float>{0.125f, 0.0625f}));
    ASSERT_EQ(model.planVolume(uid("silent"), Side::output, 0.5f, write), ServerError::none);
    EXPECT_EQ(write.channelVolumes, (std::vector<float>{0.125f, 0.125f}));
    EXPECT_EQ(model.planVolume(speakers, Side::output, std::nanf(""), write),
              ServerError::badValue);

    // A balance change that leaves the loudest channel alone is no volume change.
    apply({{Event::NodeControls{17, std::vector<float>{0.125f, 0.064f}, true}}});
    EXPECT_FLOAT_EQ(*at(speakers).output.volume, 0.5f);
    EXPECT_FALSE(has(apply({{Event::NodeControls{17, std::vector<float>{0.125f, 0.001f}, true}}}),
                     Change::volume, speakers));
}

} // namespace
} // namespace voxlane
