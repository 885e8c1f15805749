// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireRouting.h"

#include "platform/server/pipewire/PipeWireTapNames.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using Event = PipeWireEvent;
using PipeWireRouting::Link;
using PipeWireRouting::Tap;

// A registry mirror with clients (by pid) and their streams, built from events as the
// connection reports them.
class PipeWireRoutingTest : public ::testing::Test {
protected:
    void client(std::uint32_t id, pid_t pid, bool pulse = false) {
        PipeWireProps props;
        if (pulse) {
            props = {{"client.api", "pipewire-pulse"},
                     {"pipewire.sec.pid", "77"},
                     {"application.process.id", std::to_string(pid)}};
        } else {
            props = {{"pipewire.sec.pid", std::to_string(pid)}};
        }
        graph.apply({Event::GlobalAdded{id, Event::Kind::client, id, 0700, {}}});
        graph.apply({Event::ObjectProps{id, props}});
    }
    void node(std::uint32_t id, std::uint32_t clientId, const std::string& mediaClass,
              const std::string& name) {
        graph.apply({Event::GlobalAdded{id,
                                        Event::Kind::node,
                                        id,
                                        0700,
                                        {{"media.class", mediaClass},
                                         {"node.name", name},
                                         {"client.id", std::to_string(clientId)}}}});
    }
    void port(std::uint32_t id, std::uint32_t nodeId, const std::string& direction,
              const std::string& channel) {
        graph.apply({Event::GlobalAdded{id,
                                        Event::Kind::port,
                                        id,
                                        0700,
                                        {{"node.id", std::to_string(nodeId)},
                                         {"port.direction", direction},
                                         {"audio.channel", channel}}}});
    }
    void remove(std::uint32_t id) { graph.apply({Event::GlobalRemoved{id}}); }
    void target(std::uint32_t subject, std::optional<std::string> value) {
        graph.apply({Event::MetadataProperty{"default", subject, std::string("target.object"),
                                             std::string(), value}});
    }

    static Tap tap(std::uint64_t id, bool moves, bool global, std::set<pid_t> pids,
                   std::string node) {
        return Tap{id, moves, global, std::move(pids), std::move(node)};
    }

    PipeWireGraph graph;
    const std::string sinkA = PipeWireTapNames::captureNode("A");
    const std::string sinkB = PipeWireTapNames::captureNode("B");
};

TEST_F(PipeWireRoutingTest, AProcessTapTakesEveryPlaybackStreamOfItsProcessesAndNothingElse) {
    client(10, 100);
    client(11, 200);
    client(12, 300, /*pulse=*/true);
    node(20, 10, "Stream/Output/Audio", "player");
    node(21, 10, "Stream/Output/Audio", "player-second-stream");
    node(22, 10, "Stream/Input/Audio", "recorder-of-the-same-process");
    node(23, 11, "Stream/Output/Audio", "another-app");
    node(24, 12, "Stream/Output/Audio", "pulse-app");
    node(25, 10, "Audio/Sink", "a-sink-of-that-client");

    auto moves = PipeWireRouting::moves({tap(1, true, false, {100, 300}, sinkA)}, graph);
    EXPECT_EQ(moves, (std::map<std::uint32_t, std::string>{{20, sinkA}, {21, sinkA}, {24, sinkA}}));

    // A stream that comes later is taken too; one that goes is no longer wanted.
    node(26, 10, "Stream/Output/Audio", "player-third-stream");
    remove(21);
    moves = PipeWireRouting::moves({tap(1, true, false, {100, 300}, sinkA)}, graph);
    EXPECT_EQ(moves, (std::map<std::uint32_t, std::string>{{20, sinkA}, {24, sinkA}, {26, sinkA}}));

    // Unmuted taps move nothing.
    EXPECT_TRUE(PipeWireRouting::moves({tap(1, false, false, {100}, sinkA)}, graph).empty());
}

TEST_F(PipeWireRoutingTest, AGlobalTapTakesAllButTheExcludedAndNeverOurOwnTapNodes) {
    client(10, 100);
    client(11, 200);
    client(13, 999); // us
    node(20, 10, "Stream/Output/Audio", "player");
    node(23, 11, "Stream/Output/Audio", "another-app");
    node(30, 13, "Audio/Sink", sinkB);
    node(31, 13, "Stream/Output/Audio", PipeWireTapNames::playbackNode("B"));
    node(32, 13, "Stream/Output/Audio", PipeWireTapNames::soundNode("tick.1"));
    node(33, 0, "Stream/Output/Audio", "no-client-known");

    // Everything but the excluded processes, our tap nodes never.
    auto moves = PipeWireRouting::moves({tap(1, true, true, {200, 999}, sinkA)}, graph);
    EXPECT_EQ(moves, (std::map<std::uint32_t, std::string>{{20, sinkA}, {33, sinkA}}));
    // Without exclusions our own sounds are heard too, but not another tap's output.
    moves = PipeWireRouting::moves({tap(1, true, true, {}, sinkA)}, graph);
    EXPECT_EQ(moves, (std::map<std::uint32_t, std::string>{
                         {20, sinkA}, {23, sinkA}, {32, sinkA}, {33, sinkA}}));

    // Two muting taps wanting one stream: the older one keeps it.
    moves = PipeWireRouting::moves(
        {tap(2, true, false, {100}, sinkB), tap(1, true, true, {200, 999}, sinkA)}, graph);
    EXPECT_EQ(moves.at(20), sinkA);
    EXPECT_EQ(moves.at(33), sinkA);
}

TEST_F(PipeWireRoutingTest, AMeteringTapLinksStreamPortsToItsCaptureChannels) {
    client(10, 100);
    client(13, 999);
    node(20, 10, "Stream/Output/Audio", "stereo-player");
    port(201, 20, "out", "FL");
    port(202, 20, "out", "FR");
    node(21, 10, "Stream/Output/Audio", "mono-player");
    port(211, 21, "out", "MONO");
    node(22, 10, "Stream/Input/Audio", "recorder");
    port(221, 22, "in", "FL");
    const Tap meter = tap(1, false, false, {100}, sinkA);

    // No links before our capture node and its ports are known.
    EXPECT_TRUE(PipeWireRouting::links(meter, graph).empty());
    node(40, 13, "Stream/Input/Audio", sinkA);
    EXPECT_TRUE(PipeWireRouting::links(meter, graph).empty());
    port(401, 40, "in", "FL");
    port(402, 40, "in", "FR");

    EXPECT_EQ(PipeWireRouting::links(meter, graph), (std::set<Link>{
                                                        {20, 201, 40, 401},
                                                        {20, 202, 40, 402},
                                                        {21, 211, 40, 401},
                                                        {21, 211, 40, 402},
                                                    }));
    // A muting tap links nothing: its streams are moved.
    EXPECT_TRUE(PipeWireRouting::links(tap(1, true, false, {100}, sinkA), graph).empty());
}

TEST_F(PipeWireRoutingTest, TargetsNamingTapNodesThatAreGoneAreStale) {
    client(13, 999);
    node(20, 0, "Stream/Output/Audio", "player");
    node(21, 0, "Stream/Output/Audio", "player-2");
    node(22, 0, "Stream/Output/Audio", "player-3");
    node(40, 13, "Audio/Sink", sinkB);
    target(20, sinkA);      // the sink of a Voxlane that was killed
    target(21, sinkB);      // a sink that lives (another instance)
    target(22, "speakers"); // the user's own choice
    target(99, sinkA);      // a stream that went too
    EXPECT_EQ(PipeWireRouting::staleTargets(graph), (std::vector<std::uint32_t>{20, 99}));
}

} // namespace
} // namespace voxlane
