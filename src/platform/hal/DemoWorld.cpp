// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/DemoWorld.h"

#include "platform/StaticWorkspace.h"
#include "platform/hal/SimHal.h"

namespace voxlane::DemoWorld {
namespace {

SimHal::DeviceSetup device(std::string uid, std::string name, Transport transport,
                           std::vector<std::uint32_t> outputs, std::vector<std::uint32_t> inputs) {
    SimHal::DeviceSetup setup;
    setup.uid = std::move(uid);
    setup.name = std::move(name);
    setup.transport = transport;
    setup.outputStreams = std::move(outputs);
    setup.inputStreams = std::move(inputs);
    return setup;
}

struct DemoApp {
    std::int32_t pid;
    const char* id;
    const char* name;
    const char* icon;
    SimHal::Signal signal;
    bool playing;
};

} // namespace

void populate(SimHal& hal, StaticWorkspace& workspace) {
    hal.setOwnPid(workspace.pid);
    SimHal::ProcessSetup own;
    own.pid = workspace.pid;
    own.runningOutput = false;
    hal.addProcess(own);

    hal.addDevice(device("demo.speakers", "Built-in Speakers", Transport::builtIn, {2}, {}));
    hal.addDevice(device("demo.microphone", "Built-in Microphone", Transport::builtIn, {}, {1}));
    hal.addDevice(device("demo.usb-headset", "USB Headset", Transport::usb, {2}, {1}));
    // Bluetooth headphones whose volume the system cannot set: software volume takes over.
    auto bluetooth =
        device("demo.bluetooth", "Bluetooth Headphones", Transport::bluetooth, {2}, {1});
    bluetooth.hasVirtualMainVolume = false;
    bluetooth.outputVolumeElements.clear();
    hal.addDevice(bluetooth);

    const DemoApp apps[] = {
        {4101, "org.mozilla.firefox", "Firefox", "firefox", SimHal::Signal::sine(0.30f, 330), true},
        {4102, "com.spotify.Client", "Spotify", "spotify", SimHal::Signal::sine(0.50f, 220), true},
        {4103, "org.videolan.VLC", "VLC media player", "vlc", SimHal::Signal::silence(), false},
        {4104, "com.discordapp.Discord", "Discord", "discord", SimHal::Signal::sine(0.20f, 550),
         true},
    };
    for (const auto& app : apps) {
        workspace.applications[app.pid] =
            RunningApplication{app.id, app.name, AppIcon{app.icon, false}, "", true};
        SimHal::ProcessSetup setup;
        setup.pid = app.pid;
        setup.bundleID = app.id;
        setup.signal = app.signal;
        setup.runningOutput = app.playing;
        hal.addProcess(setup);
    }
    // A command-line player without an application of its own.
    workspace.names[4105] = "mpv";
    SimHal::ProcessSetup player;
    player.pid = 4105;
    player.signal = SimHal::Signal::square(0.1f, 110);
    hal.addProcess(player);
}

} // namespace voxlane::DemoWorld
