// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioProcesses.h"

#include "platform/AppIdentifier.h"
#include "support/FakeWorkspace.h"
#include "support/SimRig.h"

#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::processSetup;
using Signal = SimServer::Signal;

class AudioProcessesTest : public ::testing::Test, protected test::SimRig {
protected:
    test::FakeWorkspace workspace;
    AudioProcess process(ObjectId id, std::int32_t pid,
                         std::optional<std::string> bundle = std::nullopt, bool playing = true) {
        return AudioProcess{id, pid, std::move(bundle), playing, false};
    }
};

auto shown(const AppGroup& g) {
    return std::tuple(g.id, g.name, g.icon, g.executable, g.isRegularApp);
}

TEST_F(AudioProcessesTest, AllReadsOtherProgramsProcessesInOrder) {
    workspace.pid = 500;
    auto recorder = processSetup(300, Signal::silence(), "org.recorder");
    recorder.playing = false;
    recorder.recording = true;
    const auto rec = sim.addProcess(recorder);
    sim.addProcess(processSetup(500, Signal::silence())); // ourselves
    sim.addProcess(processSetup(0, Signal::silence()));   // no pid
    const auto broken = sim.addProcess(processSetup(301, Signal::silence()));
    const auto player = sim.addProcess(processSetup(302, Signal::sine(0.5f)));
    sim.setProcessRunning(player, false, false);
    probes.injectFault(test::fault(ServerCore::Operation::process, ServerError::failed, broken));
    const auto processes = AudioProcesses::all(sim, workspace);
    ASSERT_EQ(processes.size(), 2u);
    EXPECT_EQ(processes[0], (AudioProcess{rec, 300, "org.recorder", false, true}));
    EXPECT_EQ(processes[1], (AudioProcess{player, 302, std::nullopt, false, false}));
}

// Helpers join the application responsible for them; the audio server, its helpers and
// ourselves, known by program name or id, form no group.
TEST_F(AudioProcessesTest, HelpersJoinTheirApplicationAndTheServerAndOurselvesFormNoGroup) {
    workspace.applications[10] = {"org.browser", "Browser", {"browser", false}, "", true};
    workspace.responsible[11] = 10;
    workspace.responsible[12] = 10;
    workspace.names[50] = "pipewire";
    workspace.names[51] = "voxlane";
    workspace.names[52] = "wireplumber";
    workspace.names[53] = "pipewire-pulse";
    const auto groups = AudioProcesses::grouped(
        {process(812, 11), process(77, 12, std::nullopt, false), process(301, 10), process(1, 50),
         process(2, 51), process(3, 52), process(4, 53), process(5, 54, "org.freedesktop.pipewire"),
         process(7, 56, std::string(AppIdentifier))},
        workspace);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(shown(groups[0]),
              std::tuple("org.browser", "Browser", AppIcon{"browser", false}, "", true));
    EXPECT_EQ(groups[0].objectIDs(), (std::vector<ObjectId>{77, 301, 812}));
    EXPECT_TRUE(groups[0].isPlaying());
    EXPECT_FALSE(groups[0].isRecording());
}

TEST_F(AudioProcessesTest, OwnerResolutionFallsBackStepByStep) {
    // A running application without an id is passed over for the process's own pid.
    workspace.applications[20] = {"", "Nameless", {}, "", true};
    workspace.responsible[21] = 20;
    workspace.applications[21] = {"org.player", "", {}, "/apps/org.player.desktop", false};
    workspace.fileIcons["/apps/org.player.desktop"] = {"player-icon", false};
    // A responsible pid of 0 is ignored.
    workspace.responsible[30] = 0;
    workspace.names[30] = "sox";
    // An installed application known only by its id.
    workspace.applicationPaths["org.editor"] = "/apps/org.editor.desktop";
    workspace.displayNames["/apps/org.editor.desktop"] = "Editor.app";
    workspace.fileIcons["/apps/org.editor.desktop"] = {"editor", false};
    // The program's file name goes with the group (for its icon): from the path, else the name.
    workspace.paths[40] = "/usr/libexec/helperd-bin";
    workspace.names[40] = "helperd-b";
    const auto groups = AudioProcesses::grouped({process(1, 21), process(2, 30),
                                                 process(3, 40, "com.example.helperd"),
                                                 process(4, 41, "org.editor"), process(5, 42)},
                                                workspace);
    ASSERT_EQ(groups.size(), 4u); // pid 42 has no name: declined
    // Without a localized name the id names the group; an installed app's ".app" goes.
    EXPECT_EQ(shown(groups[0]),
              std::tuple("org.player", "org.player", AppIcon{"player-icon", false}, "", false));
    EXPECT_EQ(shown(groups[1]),
              std::tuple("process.sox", "sox", AppIcon{"terminal", true}, "sox", false));
    EXPECT_EQ(shown(groups[2]), std::tuple("com.example.helperd", "helperd", AppIcon{"app", true},
                                           "helperd-bin", false));
    EXPECT_EQ(shown(groups[3]),
              std::tuple("org.editor", "Editor", AppIcon{"editor", false}, "", false));
}

} // namespace
} // namespace voxlane
