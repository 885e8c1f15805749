// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireRouting.h"

#include "platform/server/pipewire/PipeWireTapNames.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Event = PipeWireEvent;
using PipeWireRouting::Tap;

// A registry mirror with clients (by pid) and their streams, built from events as the
// connection reports them.
class PipeWireRoutingTest : public ::testing::Test {
protected:
    void add(std::uint32_t id, Event::Kind kind, PipeWireProps props) {
        graph.apply({Event::GlobalAdded{id, kind, id, 0700, std::move(props)}});
    }
    // A client of the pid; a pipewire-pulse client tells it in its props, which come later.
    void client(std::uint32_t id, pid_t pid, bool pulse = false) {
        add(id, Event::Kind::client, {});
        PipeWireProps props{{"pipewire.sec.pid", pulse ? "77" : std::to_string(pid)}};
        if (pulse)
            props.insert({{"client.api", "pipewire-pulse"},
                          {"application.process.id", std::to_string(pid)}});
        graph.apply({Event::ObjectProps{id, props}});
    }
    void node(std::uint32_t id, std::uint32_t clientId, const std::string& mediaClass,
              const std::string& name) {
        add(id, Event::Kind::node,
            {{"media.class", mediaClass},
             {"node.name", name},
             {"client.id", std::to_string(clientId)}});
    }
    void target(std::uint32_t subject, std::optional<std::string> value) {
        graph.apply({Event::MetadataProperty{"default", subject, std::string("target.object"),
                                             std::string(), value}});
    }

    PipeWireGraph graph;
    const std::string sinkA = PipeWireTapNames::captureNode("A");
    const std::string sinkB = PipeWireTapNames::captureNode("B");
};

// Muting taps move streams into their capture sinks: a process tap every playback stream of its
// processes, a global tap every one but the excluded processes'; never our own tap nodes. (How
// unmuted taps link to their capture streams: the integration test's meter tap.)
TEST_F(PipeWireRoutingTest, MutingTapsMoveThePlaybackStreamsTheyTakeAndStaleTargetsAreFound) {
    using Moves = std::map<std::uint32_t, std::string>;
    client(10, 100);
    client(11, 200);
    client(12, 300, /*pulse=*/true);
    client(13, 999); // us
    node(20, 10, "Stream/Output/Audio", "player");
    node(21, 10, "Stream/Output/Audio", "player-second-stream");
    node(22, 10, "Stream/Input/Audio", "recorder-of-the-same-process");
    node(23, 11, "Stream/Output/Audio", "another-app");
    node(24, 12, "Stream/Output/Audio", "pulse-app");
    node(25, 10, "Audio/Sink", "a-sink-of-that-client");
    node(30, 13, "Audio/Sink", sinkB);
    node(31, 13, "Stream/Output/Audio", PipeWireTapNames::playbackNode("B"));
    node(32, 13, "Stream/Output/Audio", PipeWireTapNames::soundNode("tick.1"));
    node(33, 0, "Stream/Output/Audio", "no-client-known");
    const Tap ofProcesses{1, true, false, {100, 300}, sinkA};
    EXPECT_EQ(PipeWireRouting::moves({ofProcesses}, graph),
              (Moves{{20, sinkA}, {21, sinkA}, {24, sinkA}}));
    EXPECT_TRUE(PipeWireRouting::moves({Tap{1, false, false, {100}, sinkA}}, graph).empty())
        << "unmuted taps move nothing";

    // Without exclusions our own sounds are heard too, but not another tap's output.
    EXPECT_EQ(PipeWireRouting::moves({Tap{1, true, true, {200, 999}, sinkA}}, graph),
              (Moves{{20, sinkA}, {21, sinkA}, {24, sinkA}, {33, sinkA}}));
    EXPECT_EQ(
        PipeWireRouting::moves({Tap{1, true, true, {}, sinkA}}, graph),
        (Moves{{20, sinkA}, {21, sinkA}, {23, sinkA}, {24, sinkA}, {32, sinkA}, {33, sinkA}}));
    // Two muting taps wanting one stream: the older one keeps it.
    const auto moves = PipeWireRouting::moves(
        {Tap{2, true, false, {100}, sinkB}, Tap{1, true, true, {200, 999}, sinkA}}, graph);
    EXPECT_EQ(moves.at(20), sinkA);
    EXPECT_EQ(moves.at(33), sinkA);

    // A stream that comes later is taken too; one that goes is no longer wanted.
    node(26, 10, "Stream/Output/Audio", "player-third-stream");
    graph.apply({Event::GlobalRemoved{21}});
    EXPECT_EQ(PipeWireRouting::moves({ofProcesses}, graph),
              (Moves{{20, sinkA}, {24, sinkA}, {26, sinkA}}));

    // Targets naming tap nodes that are gone are stale.
    target(20, sinkA);      // the sink of a Voxlane that was killed
    target(23, sinkB);      // a sink that lives (another instance)
    target(24, "speakers"); // the user's own choice
    target(99, sinkA);      // a stream that went too
    EXPECT_EQ(PipeWireRouting::staleTargets(graph), (std::vector<std::uint32_t>{20, 99}));
}

} // namespace
} // namespace voxlane
