// SPDX-License-Identifier: GPL-3.0-or-later
// The PipeWire Hal against a real, private PipeWire server with WirePlumber and pipewire-pulse
// (scripts/pipewire-session.sh): null sinks "speakers" and "headphones", a virtual source "mic",
// and real clients (pw-play, paplay, pw-record, pw-cli) started by the tests.
#include "AudioFiles.h"
#include "BackgroundProcess.h"
#include "PipeWireSession.h"
#include "platform/ManualScheduler.h"
#include "platform/hal/PipeWireHal.h"

#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace voxlane {
namespace {

using test::BackgroundProcess;
using test::linksInto;
using test::runAndRead;
using test::AudioFiles::peak;

constexpr AudioObjectPropertyAddress global(AudioObjectPropertySelector selector) {
    return {selector, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
}
constexpr AudioObjectPropertyAddress output(AudioObjectPropertySelector selector,
                                            AudioObjectPropertyElement element = 0) {
    return {selector, kAudioObjectPropertyScopeOutput, element};
}
constexpr AudioObjectPropertyAddress input(AudioObjectPropertySelector selector) {
    return {selector, kAudioObjectPropertyScopeInput, kAudioObjectPropertyElementMain};
}

std::string sessionDir;
std::string sessionError;

class PipeWireHalIntegrationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sessionDir = test::PipeWireSession::enter(&sessionError); }

    void SetUp() override {
        ASSERT_FALSE(sessionDir.empty()) << sessionError;
        PipeWireHal::Options options;
        options.bundleIdResolver = [this](pid_t pid) -> std::optional<std::string> {
            ++resolverCalls[pid];
            auto it = desktopIds.find(pid);
            if (it == desktopIds.end()) return std::nullopt;
            return it->second;
        };
        std::string why;
        hal = PipeWireHal::connect(scheduler, options, &why);
        ASSERT_TRUE(hal) << why;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        tag = std::string("vx-") + info->name() + "-" + std::to_string(getpid());
        dir = sessionDir + "/" + tag;
        mkdir(dir.c_str(), 0700);
        tone = dir + "/tone.wav";
        ASSERT_TRUE(test::AudioFiles::writeTone(tone, 30, 0.5f));
    }

    // Pumps the main queue until `done` holds; a real server needs real time, so this polls
    // (with a generous deadline).
    bool waitUntil(const std::function<bool()>& done, double seconds = 10.0) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
        for (;;) {
            scheduler.runPending();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    template <typename T>
    std::optional<T> read(AudioObjectID object, AudioObjectPropertyAddress address) {
        T value{};
        std::uint32_t size = sizeof value;
        if (hal->getPropertyData(object, address, 0, nullptr, &size, &value) != 0)
            return std::nullopt;
        return value;
    }
    std::vector<std::uint32_t> list(AudioObjectID object, AudioObjectPropertyAddress address) {
        std::uint32_t size = 0;
        if (hal->getPropertyDataSize(object, address, 0, nullptr, &size) != 0 || size == 0)
            return {};
        std::vector<std::uint32_t> ids(size / 4);
        if (hal->getPropertyData(object, address, 0, nullptr, &size, ids.data()) != 0) return {};
        ids.resize(size / 4);
        return ids;
    }
    std::optional<std::string> string(AudioObjectID object, AudioObjectPropertySelector selector) {
        std::optional<std::string> value;
        if (hal->getPropertyString(object, global(selector), &value) != 0) return std::nullopt;
        return value;
    }
    template <typename T>
    OSStatus write(AudioObjectID object, AudioObjectPropertyAddress address, T value) {
        return hal->setPropertyData(object, address, 0, nullptr, sizeof value, &value);
    }
    bool settable(AudioObjectID object, AudioObjectPropertyAddress address) {
        bool result = false;
        return hal->isPropertySettable(object, address, &result) == 0 && result;
    }

    AudioObjectID device(const std::string& uid) {
        for (auto id : list(kAudioObjectSystemObject, global(kAudioHardwarePropertyDevices)))
            if (string(id, kAudioDevicePropertyDeviceUID) == uid) return id;
        return kAudioObjectUnknown;
    }
    AudioObjectID process(pid_t pid) {
        for (auto id :
             list(kAudioObjectSystemObject, global(kAudioHardwarePropertyProcessObjectList)))
            if (read<std::int32_t>(id, global(kAudioProcessPropertyPID)) == pid) return id;
        return kAudioObjectUnknown;
    }
    bool flag(AudioObjectID process, AudioObjectPropertySelector selector) {
        return read<std::uint32_t>(process, global(selector)).value_or(0) != 0;
    }

    AudioObjectPropertyListenerBlockRef counter(int& count) {
        return std::make_shared<AudioObjectPropertyListenerBlock>(
            [&count](std::uint32_t, const AudioObjectPropertyAddress*) { ++count; });
    }

    // Records what a node delivers (a sink's monitor with `capture.sink`) for a bit more than a
    // second and returns the peak after the first 0.3 s.
    float recordPeak(const std::string& target, bool captureSink, const std::string& name) {
        const std::string file = dir + "/" + name + ".wav";
        std::vector<std::string> args{"pw-record", "--target", target};
        if (captureSink) {
            args.push_back("-P");
            args.push_back("{ stream.capture.sink = true }");
        }
        args.push_back(file);
        BackgroundProcess recorder(args, file + ".log");
        EXPECT_TRUE(recorder.started());
        const off_t wanted = 44 + off_t(1.4 * 48000) * 2 * 2; // 16-bit stereo
        waitUntil([&] {
            struct stat st {};
            return stat(file.c_str(), &st) == 0 && st.st_size >= wanted;
        });
        recorder.stop();
        return peak(file, 0.3);
    }

    std::string metadata(const std::string& key) {
        return runAndRead({"pw-metadata", "-n", "default", "0", key});
    }

    // The PipeWire id of the node with this name (for pw-cli).
    std::optional<std::uint32_t> nodeId(const std::string& name) {
        auto dump = nlohmann::json::parse(runAndRead({"pw-dump"}), nullptr, false);
        if (!dump.is_array()) return std::nullopt;
        for (const auto& object : dump) {
            const auto props = object.value("info", nlohmann::json::object())
                                   .value("props", nlohmann::json::object());
            if (props.value("node.name", "") == name) return object.value("id", 0u);
        }
        return std::nullopt;
    }

    ManualScheduler scheduler;
    std::unique_ptr<PipeWireHal> hal;
    std::map<pid_t, std::string> desktopIds;
    std::map<pid_t, int> resolverCalls;
    std::string tag;
    std::string dir;
    std::string tone;
};

TEST_F(PipeWireHalIntegrationTest, SessionDevicesWithUidsNamesStreamsAndControls) {
    EXPECT_TRUE(hal->isConnected());
    EXPECT_EQ(hal->serverDescription().rfind("PipeWire 0.3", 0), 0u) << hal->serverDescription();
    const auto speakers = device("speakers");
    const auto headphones = device("headphones");
    const auto mic = device("mic");
    ASSERT_NE(speakers, kAudioObjectUnknown);
    ASSERT_NE(headphones, kAudioObjectUnknown);
    ASSERT_NE(mic, kAudioObjectUnknown);
    // Nothing else: the drivers and the sinks' monitors are no devices.
    EXPECT_EQ(list(kAudioObjectSystemObject, global(kAudioHardwarePropertyDevices)).size(), 3u);

    EXPECT_EQ(string(speakers, kAudioObjectPropertyName), "Speakers");
    EXPECT_EQ(string(headphones, kAudioObjectPropertyName), "Headphones");
    EXPECT_EQ(string(mic, kAudioObjectPropertyName), "Microphone");
    for (auto id : {speakers, headphones, mic}) {
        EXPECT_EQ(read<Transport>(id, global(kAudioDevicePropertyTransportType)),
                  Transport::software);
        EXPECT_EQ(read<double>(id, global(kAudioDevicePropertyNominalSampleRate)), 48000.0);
    }
    const AudioObjectPropertyAddress outStreams{kAudioDevicePropertyStreams,
                                                kAudioObjectPropertyScopeOutput, 0};
    const AudioObjectPropertyAddress inStreams{kAudioDevicePropertyStreams,
                                               kAudioObjectPropertyScopeInput, 0};
    EXPECT_EQ(list(speakers, outStreams).size(), 1u);
    EXPECT_TRUE(list(speakers, inStreams).empty());
    EXPECT_TRUE(list(mic, outStreams).empty());
    EXPECT_EQ(list(mic, inStreams).size(), 1u);

    // Output controls on the sinks, input controls on the source.
    EXPECT_TRUE(settable(speakers, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)));
    EXPECT_TRUE(settable(speakers, output(kAudioDevicePropertyVolumeScalar, 1)));
    EXPECT_TRUE(settable(speakers, output(kAudioDevicePropertyVolumeScalar, 2)));
    EXPECT_FALSE(hal->hasProperty(speakers, output(kAudioDevicePropertyVolumeScalar, 3)));
    EXPECT_TRUE(settable(speakers, output(kAudioDevicePropertyMute)));
    EXPECT_FALSE(hal->hasProperty(speakers, input(kAudioDevicePropertyMute)));
    EXPECT_TRUE(settable(mic, input(kAudioDevicePropertyMute)));
    EXPECT_TRUE(settable(mic, input(kAudioDevicePropertyVolumeScalar)));
    EXPECT_FALSE(
        hal->hasProperty(mic, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)));
    EXPECT_EQ(read<float>(speakers, output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume)),
              1.0f);

    // WirePlumber's choices; the alert device follows the output until one is chosen.
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultOutputDevice)),
              speakers);
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultSystemOutputDevice)),
              speakers);
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultInputDevice)),
              mic);

    // This program is a process object of its own.
    const std::int32_t own = getpid();
    std::uint32_t self = 0, size = 4;
    ASSERT_EQ(hal->getPropertyData(kAudioObjectSystemObject,
                                   global(kAudioHardwarePropertyTranslatePIDToProcessObject),
                                   sizeof own, &own, &size, &self),
              0);
    ASSERT_NE(self, kAudioObjectUnknown);
    EXPECT_EQ(read<std::int32_t>(self, global(kAudioProcessPropertyPID)), own);

    // A tap of something that is no process is refused; an aggregate device needs a sink.
    AudioObjectID tap = 99;
    EXPECT_EQ(hal->createProcessTap(TapDescription::stereoMixdownOfProcesses({speakers}), &tap),
              kAudioHardwareBadObjectError);
    EXPECT_EQ(tap, kAudioObjectUnknown);
    AggregateDeviceDescription aggregate;
    aggregate.uid = "on-the-microphone";
    aggregate.mainSubDevice = "mic";
    AudioObjectID device = 99;
    EXPECT_EQ(hal->createAggregateDevice(aggregate, &device), kAudioHardwareBadDeviceError);
    EXPECT_EQ(device, kAudioObjectUnknown);
}

TEST_F(PipeWireHalIntegrationTest, SinkCreatedAndDestroyedAtRunTimeFiresTheDeviceListener) {
    int fired = 0;
    auto listener = counter(fired);
    ASSERT_EQ(hal->addPropertyListener(kAudioObjectSystemObject,
                                       global(kAudioHardwarePropertyDevices), listener),
              0);
    int status = -1;
    runAndRead({"pw-cli", "create-node", "adapter",
                "{ factory.name = support.null-audio-sink node.name = " + tag +
                    " node.description = \"Plugged In\" media.class = Audio/Sink"
                    " object.linger = true audio.position = [ FL FR ] }"},
               10, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(waitUntil([&] { return device(tag) != kAudioObjectUnknown; }));
    const auto plugged = device(tag);
    EXPECT_EQ(string(plugged, kAudioObjectPropertyName), "Plugged In");
    EXPECT_GE(fired, 1);

    const auto id = nodeId(tag);
    ASSERT_TRUE(id);
    const int before = fired;
    runAndRead({"pw-cli", "destroy", std::to_string(*id)}, 10, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(waitUntil([&] { return device(tag) == kAudioObjectUnknown; }));
    EXPECT_GT(fired, before);
    EXPECT_FALSE(hal->hasProperty(plugged, global(kAudioDevicePropertyDeviceUID)));
    EXPECT_EQ(hal->removePropertyListener(kAudioObjectSystemObject,
                                          global(kAudioHardwarePropertyDevices), listener),
              0);
}

TEST_F(PipeWireHalIntegrationTest, PlayersAndRecordersAreProcessesWithTheirPidsAndFlags) {
    int listFired = 0;
    auto listListener = counter(listFired);
    ASSERT_EQ(hal->addPropertyListener(kAudioObjectSystemObject,
                                       global(kAudioHardwarePropertyProcessObjectList),
                                       listListener),
              0);

    BackgroundProcess player(
        {"pw-play", "--target", "speakers", "-P", "{ node.name = " + tag + "-play }", tone},
        dir + "/play.log");
    ASSERT_TRUE(player.started());
    desktopIds[player.pid()] = "org.example.Player.desktop";
    BackgroundProcess pulsePlayer(
        {"paplay", "--property=application.id=org.example.PulsePlayer", "--device=speakers", tone},
        dir + "/paplay.log");
    ASSERT_TRUE(pulsePlayer.started());
    BackgroundProcess recorder({"pw-record", "--target", "mic", dir + "/rec.wav"},
                               dir + "/rec.log");
    ASSERT_TRUE(recorder.started());

    ASSERT_TRUE(waitUntil([&] {
        return flag(process(player.pid()), kAudioProcessPropertyIsRunningOutput) &&
               flag(process(pulsePlayer.pid()), kAudioProcessPropertyIsRunningOutput) &&
               flag(process(recorder.pid()), kAudioProcessPropertyIsRunningInput);
    })) << "processes: "
        << list(kAudioObjectSystemObject, global(kAudioHardwarePropertyProcessObjectList)).size();
    EXPECT_GE(listFired, 1);

    const auto played = process(player.pid());
    const auto pulsed = process(pulsePlayer.pid());
    const auto recording = process(recorder.pid());
    EXPECT_FALSE(flag(played, kAudioProcessPropertyIsRunningInput));
    EXPECT_FALSE(flag(recording, kAudioProcessPropertyIsRunningOutput));
    // The pulse client's id comes from its own properties; the native one's from the resolver,
    // asked once.
    EXPECT_EQ(string(pulsed, kAudioProcessPropertyBundleID), "org.example.PulsePlayer");
    EXPECT_EQ(string(played, kAudioProcessPropertyBundleID), "org.example.Player.desktop");
    EXPECT_EQ(string(recording, kAudioProcessPropertyBundleID), std::optional<std::string>());
    EXPECT_EQ(resolverCalls[player.pid()], 1);

    // A player that ends leaves the list, firing its listener.
    const int before = listFired;
    const pid_t playerPid = player.pid();
    const pid_t recorderPid = recorder.pid();
    player.stop();
    ASSERT_TRUE(waitUntil([&] { return process(playerPid) == kAudioObjectUnknown; }));
    EXPECT_GT(listFired, before);
    EXPECT_EQ(process(pulsePlayer.pid()), pulsed); // the others keep their ids
    EXPECT_EQ(process(recorderPid), recording);
    recorder.stop();
    ASSERT_TRUE(waitUntil([&] { return process(recorderPid) == kAudioObjectUnknown; }));
    EXPECT_FALSE(hal->hasProperty(recording, global(kAudioProcessPropertyPID)));
    hal->removePropertyListener(kAudioObjectSystemObject,
                                global(kAudioHardwarePropertyProcessObjectList), listListener);
}

TEST_F(PipeWireHalIntegrationTest, RunningOutputFollowsTheStreamAndNotifies) {
    // A stream that nobody links does not run; linked to a sink it does.
    BackgroundProcess player(
        {"pw-play", "-P", "{ node.name = " + tag + " node.autoconnect = false }", tone},
        dir + "/play.log");
    ASSERT_TRUE(waitUntil([&] { return process(player.pid()) != kAudioObjectUnknown; }));
    const auto playing = process(player.pid());
    EXPECT_FALSE(flag(playing, kAudioProcessPropertyIsRunningOutput));
    int fired = 0;
    auto listener = counter(fired);
    ASSERT_EQ(
        hal->addPropertyListener(playing, global(kAudioProcessPropertyIsRunningOutput), listener),
        0);
    ASSERT_TRUE(waitUntil([&] {
        return runAndRead({"pw-link", "-o"}).find(tag + ":output_FR") != std::string::npos;
    }));
    int status = -1;
    runAndRead({"pw-link", tag + ":output_FL", "headphones:playback_FL"}, 10, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(waitUntil([&] { return flag(playing, kAudioProcessPropertyIsRunningOutput); }));
    EXPECT_EQ(fired, 1);
    hal->removePropertyListener(playing, global(kAudioProcessPropertyIsRunningOutput), listener);
}

TEST_F(PipeWireHalIntegrationTest, DefaultOutputWrittenThroughTheHalReachesTheServer) {
    const auto speakers = device("speakers");
    const auto headphones = device("headphones");
    ASSERT_NE(headphones, kAudioObjectUnknown);
    int fired = 0;
    auto listener = counter(fired);
    ASSERT_EQ(hal->addPropertyListener(kAudioObjectSystemObject,
                                       global(kAudioHardwarePropertyDefaultOutputDevice), listener),
              0);
    const auto defaultOutput = [&] {
        return read<std::uint32_t>(kAudioObjectSystemObject,
                                   global(kAudioHardwarePropertyDefaultOutputDevice));
    };
    // Only devices with that direction can be the default.
    EXPECT_EQ(write(kAudioObjectSystemObject, global(kAudioHardwarePropertyDefaultOutputDevice),
                    std::uint32_t(device("mic"))),
              kAudioHardwareBadDeviceError);

    ASSERT_EQ(write(kAudioObjectSystemObject, global(kAudioHardwarePropertyDefaultOutputDevice),
                    std::uint32_t(headphones)),
              0);
    ASSERT_TRUE(waitUntil([&] { return defaultOutput() == headphones; }));
    EXPECT_GE(fired, 1);
    EXPECT_NE(metadata("default.audio.sink").find("\"headphones\""), std::string::npos);
    EXPECT_NE(metadata("default.configured.audio.sink").find("\"headphones\""), std::string::npos);

    ASSERT_EQ(write(kAudioObjectSystemObject, global(kAudioHardwarePropertyDefaultOutputDevice),
                    std::uint32_t(speakers)),
              0);
    ASSERT_TRUE(waitUntil([&] { return defaultOutput() == speakers; }));
    EXPECT_NE(metadata("default.audio.sink").find("\"speakers\""), std::string::npos);
    hal->removePropertyListener(kAudioObjectSystemObject,
                                global(kAudioHardwarePropertyDefaultOutputDevice), listener);
}

TEST_F(PipeWireHalIntegrationTest, AlertDeviceTakesNotificationSounds) {
    const auto speakers = device("speakers");
    const auto headphones = device("headphones");
    const auto systemOutput = [&] {
        return read<std::uint32_t>(kAudioObjectSystemObject,
                                   global(kAudioHardwarePropertyDefaultSystemOutputDevice));
    };
    ASSERT_EQ(write(kAudioObjectSystemObject,
                    global(kAudioHardwarePropertyDefaultSystemOutputDevice),
                    std::uint32_t(headphones)),
              0);
    ASSERT_TRUE(waitUntil([&] { return systemOutput() == headphones; }));
    EXPECT_EQ(read<std::uint32_t>(kAudioObjectSystemObject,
                                  global(kAudioHardwarePropertyDefaultOutputDevice)),
              speakers);

    // (pw-play puts its own media.role over one given with -P.)
    BackgroundProcess alert(
        {"pw-play", "--media-role", "Notification", "-P", "{ node.name = " + tag + " }", tone},
        dir + "/alert.log");
    BackgroundProcess music(
        {"pw-play", "--media-role", "Music", "-P", "{ node.name = " + tag + "-music }", tone},
        dir + "/music.log");
    EXPECT_TRUE(waitUntil([&] {
        return linksInto("headphones:playback_FL").find(tag + ":output_FL") != std::string::npos &&
               linksInto("speakers:playback_FL").find(tag + "-music:output_FL") !=
                   std::string::npos;
    })) << runAndRead({"pw-link", "-l"})
        << runAndRead({"pw-metadata", "-n", "default"});
    EXPECT_EQ(linksInto("speakers:playback_FL").find(tag + ":output_FL"), std::string::npos);

    // Without our key the alert device follows the output again.
    runAndRead({"pw-metadata", "-n", "default", "-d", "0", "voxlane.default.alert.audio.sink"});
    EXPECT_TRUE(waitUntil([&] { return systemOutput() == speakers; }));
}

TEST_F(PipeWireHalIntegrationTest, SinkVolumeScalesWhatTheSinkPlaysAndReadsBack) {
    const auto speakers = device("speakers");
    const auto mainVolume = output(kAudioHardwareServiceDeviceProperty_VirtualMainVolume);
    int fired = 0;
    auto listener = counter(fired);
    ASSERT_EQ(
        hal->addPropertyListener(speakers, output(kAudioDevicePropertyVolumeScalar, 1), listener),
        0);
    BackgroundProcess player(
        {"pw-play", "--target", "speakers", "-P", "{ node.name = " + tag + " }", tone},
        dir + "/play.log");
    ASSERT_TRUE(waitUntil(
        [&] { return flag(process(player.pid()), kAudioProcessPropertyIsRunningOutput); }));

    const auto volumeIs = [&](float v) {
        auto current = read<float>(speakers, mainVolume);
        return current && std::fabs(*current - v) < 1e-4f;
    };
    EXPECT_NEAR(recordPeak("speakers", true, "full"), 0.5f, 0.01f);

    // The slider position whose gain is one half halves the level...
    const float half = std::cbrt(0.5f);
    ASSERT_EQ(write(speakers, mainVolume, half), 0);
    ASSERT_TRUE(waitUntil([&] { return volumeIs(half); }));
    EXPECT_GE(fired, 1);
    EXPECT_NEAR(*read<float>(speakers, output(kAudioDevicePropertyVolumeScalar, 2)), half, 1e-4f);
    EXPECT_NEAR(recordPeak("speakers", true, "half"), 0.25f, 0.01f);

    // ...and the slider at 0.5 is a gain of 0.125, as on the desktop's own volume controls.
    ASSERT_EQ(write(speakers, mainVolume, 0.5f), 0);
    ASSERT_TRUE(waitUntil([&] { return volumeIs(0.5f); }));
    EXPECT_NEAR(recordPeak("speakers", true, "slider-half"), 0.0625f, 0.005f);

    ASSERT_EQ(write(speakers, mainVolume, 1.0f), 0);
    EXPECT_TRUE(waitUntil([&] { return volumeIs(1.0f); }));
    hal->removePropertyListener(speakers, output(kAudioDevicePropertyVolumeScalar, 1), listener);
}

TEST_F(PipeWireHalIntegrationTest, OutputMuteReadsBackAndNotifies) {
    const auto headphones = device("headphones");
    int fired = 0;
    auto listener = counter(fired);
    ASSERT_EQ(hal->addPropertyListener(headphones, output(kAudioDevicePropertyMute), listener), 0);
    ASSERT_EQ(write(headphones, output(kAudioDevicePropertyMute), std::uint32_t(1)), 0);
    ASSERT_TRUE(waitUntil(
        [&] { return read<std::uint32_t>(headphones, output(kAudioDevicePropertyMute)) == 1u; }));
    EXPECT_EQ(fired, 1);
    ASSERT_EQ(write(headphones, output(kAudioDevicePropertyMute), std::uint32_t(0)), 0);
    ASSERT_TRUE(waitUntil(
        [&] { return read<std::uint32_t>(headphones, output(kAudioDevicePropertyMute)) == 0u; }));
    EXPECT_EQ(fired, 2);
    hal->removePropertyListener(headphones, output(kAudioDevicePropertyMute), listener);
}

TEST_F(PipeWireHalIntegrationTest, MutedMicrophoneGivesRecordersSilenceUntilRestored) {
    const auto mic = device("mic");
    // A tone fed into the virtual microphone.
    BackgroundProcess feeder(
        {"pw-play", "-P", "{ node.name = " + tag + " node.autoconnect = false }", tone},
        dir + "/feed.log");
    ASSERT_TRUE(waitUntil([&] {
        return runAndRead({"pw-link", "-o"}).find(tag + ":output_FR") != std::string::npos;
    }));
    int status = -1;
    runAndRead({"pw-link", tag + ":output_FL", "mic:input_FL"}, 10, &status);
    ASSERT_EQ(status, 0);
    runAndRead({"pw-link", tag + ":output_FR", "mic:input_FR"}, 10, &status);
    ASSERT_EQ(status, 0);
    EXPECT_NEAR(recordPeak("mic", false, "open"), 0.5f, 0.01f);

    ASSERT_EQ(write(mic, input(kAudioDevicePropertyMute), std::uint32_t(1)), 0);
    ASSERT_TRUE(
        waitUntil([&] { return read<std::uint32_t>(mic, input(kAudioDevicePropertyMute)) == 1u; }));
    EXPECT_LT(recordPeak("mic", false, "muted"), 0.001f);

    ASSERT_EQ(write(mic, input(kAudioDevicePropertyMute), std::uint32_t(0)), 0);
    ASSERT_TRUE(
        waitUntil([&] { return read<std::uint32_t>(mic, input(kAudioDevicePropertyMute)) == 0u; }));
    EXPECT_NEAR(recordPeak("mic", false, "restored"), 0.5f, 0.01f);

    // Input volume goes the same way (0.5 on the slider is a gain of 1/8).
    ASSERT_EQ(write(mic, input(kAudioDevicePropertyVolumeScalar), 0.5f), 0);
    ASSERT_TRUE(waitUntil([&] {
        auto v = read<float>(mic, input(kAudioDevicePropertyVolumeScalar));
        return v && std::fabs(*v - 0.5f) < 1e-4f;
    }));
    EXPECT_NEAR(recordPeak("mic", false, "quiet"), 0.0625f, 0.005f);
    ASSERT_EQ(write(mic, input(kAudioDevicePropertyVolumeScalar), 1.0f), 0);
    EXPECT_TRUE(waitUntil(
        [&] { return read<float>(mic, input(kAudioDevicePropertyVolumeScalar)) == 1.0f; }));
}

} // namespace
} // namespace voxlane
