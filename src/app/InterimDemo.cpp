#include "app/InterimDemo.h"

#include "platform/hal/SimHal.h"

#include <unistd.h>

namespace voxlane::InterimDemo {

std::int32_t DemoWorkspace::ownPid() const {
    return std::int32_t(::getpid());
}

std::optional<std::string> DemoWorkspace::applicationPath(const std::string& id) const {
    if (!names.count(id)) return std::nullopt;
    return id;
}

std::string DemoWorkspace::displayName(const std::string& path) const {
    auto it = names.find(path);
    return it == names.end() ? path : it->second;
}

void populate(SimHal& hal, DemoWorkspace& workspace) {
    SimHal::DeviceSpec speakers;
    speakers.uid = "demo.speakers";
    speakers.name = "Built-in Speakers";
    speakers.volume = 0.6f;
    hal.addDevice(speakers);

    // A display without a volume of its own: the software volume and the volume keys work there.
    SimHal::DeviceSpec display;
    display.uid = "demo.display";
    display.name = "Studio Display";
    display.transport = kAudioDeviceTransportTypeHDMI;
    display.hasVirtualMainVolume = false;
    display.outputVolumeElements = {};
    display.hasOutputMute = false;
    hal.addDevice(display);

    SimHal::DeviceSpec headset;
    headset.uid = "demo.headset";
    headset.name = "USB Headset";
    headset.transport = kAudioDeviceTransportTypeUSB;
    headset.inputStreams = {1};
    hal.addDevice(headset);

    SimHal::DeviceSpec microphone;
    microphone.uid = "demo.microphone";
    microphone.name = "Built-in Microphone";
    microphone.outputStreams = {};
    microphone.inputStreams = {1};
    hal.addDevice(microphone);

    struct App {
        std::int32_t pid;
        const char* id;
        const char* name;
        SimHal::Signal signal;
        bool playing;
    };
    const App apps[] = {
        {4101, "org.mozilla.firefox", "Firefox", SimHal::Signal::sine(0.25f, 440), true},
        {4102, "com.spotify.Client", "Spotify", SimHal::Signal::sine(0.3f, 220), true},
        {4103, "org.gnome.Podcasts", "Podcasts", SimHal::Signal::square(0.1f, 330), true},
        {4104, "com.slack.Slack", "Slack", SimHal::Signal::silence(), false},
    };
    for (const App& app : apps) {
        workspace.names[app.id] = app.name;
        SimHal::ProcessSpec process;
        process.pid = app.pid;
        process.bundleID = app.id;
        process.signal = app.signal;
        process.runningOutput = app.playing;
        hal.addProcess(process);
    }

    SimHal::ProcessSpec self;
    self.pid = workspace.ownPid();
    self.runningOutput = false;
    hal.addProcess(self);
    hal.setOwnPid(self.pid);
}

} // namespace voxlane::InterimDemo
