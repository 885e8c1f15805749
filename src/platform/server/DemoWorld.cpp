// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/DemoWorld.h"

#include "platform/StaticWorkspace.h"
#include "platform/server/SimServer.h"

namespace voxlane::DemoWorld {
namespace {

using Device = SimServer::DeviceSetup;

struct DemoApp {
    std::int32_t pid;
    const char* id;
    const char* name;
    const char* icon;
    SimServer::Signal signal;
    bool playing;
};

} // namespace

void populate(SimServer& server, StaticWorkspace& workspace) {
    server.setOwnPid(workspace.pid);
    SimServer::ProcessSetup own;
    own.pid = workspace.pid;
    own.playing = false;
    server.addProcess(own);

    server.addDevice(Device::of("demo.speakers", "Built-in Speakers", Transport::builtIn, {2}, {}));
    server.addDevice(
        Device::of("demo.microphone", "Built-in Microphone", Transport::builtIn, {}, {1}));
    server.addDevice(Device::of("demo.usb-headset", "USB Headset", Transport::usb, {2}, {1}));
    // Bluetooth headphones whose volume the system cannot set: software volume takes over.
    auto bluetooth =
        Device::of("demo.bluetooth", "Bluetooth Headphones", Transport::bluetooth, {2}, {1});
    bluetooth.output.hasVolume = false;
    server.addDevice(bluetooth);

    const DemoApp apps[] = {
        {4101, "org.mozilla.firefox", "Firefox", "firefox", SimServer::Signal::sine(0.30f, 330),
         true},
        {4102, "com.spotify.Client", "Spotify", "spotify", SimServer::Signal::sine(0.50f, 220),
         true},
        {4103, "org.videolan.VLC", "VLC media player", "vlc", SimServer::Signal::silence(), false},
        {4104, "com.discordapp.Discord", "Discord", "discord", SimServer::Signal::sine(0.20f, 550),
         true},
    };
    for (const auto& app : apps) {
        workspace.applications[app.pid] =
            RunningApplication{app.id, app.name, AppIcon{app.icon, false}, "", true};
        SimServer::ProcessSetup setup;
        setup.pid = app.pid;
        setup.appId = app.id;
        setup.signal = app.signal;
        setup.playing = app.playing;
        server.addProcess(setup);
    }
    // A command-line player without an application of its own.
    workspace.names[4105] = "mpv";
    SimServer::ProcessSetup player;
    player.pid = 4105;
    player.signal = SimServer::Signal::square(0.1f, 110);
    server.addProcess(player);
}

} // namespace voxlane::DemoWorld
