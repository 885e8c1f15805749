// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "audio/AudioDevice.h"
#include "devices/DeviceRules.h"
#include "devices/DeviceSwitching.h"
#include "engine/AppDiscovery.h"
#include "engine/AppSettings.h"
#include "engine/AudioPermission.h"
#include "engine/CallDucking.h"
#include "engine/EngineProperty.h"
#include "engine/LevelMeters.h"
#include "engine/MasterVolume.h"
#include "engine/MediaKey.h"
#include "engine/SettingsStore.h"
#include "platform/ObserverList.h"
#include "platform/WorkItem.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace voxlane {

class AppTap;
class Defaults;
class HotKey;
class KeyGrabber;
class MicMute;
class Scheduler;
class SystemEvents;
class SystemSounds;
class Workspace;
namespace TapPlan {
struct Inputs;
struct Tap;
} // namespace TapPlan

// Everything the engine works with. The references must outlive the engine.
struct EngineServices {
    AudioServer& server;
    Scheduler& scheduler;
    Defaults& defaults;
    Workspace& workspace;
    SystemSounds& sounds;
    SystemEvents& systemEvents;
    // How the permission probe sleeps and where it runs (worker threads by default).
    std::function<void(double seconds)> sleep;
    std::function<void(std::function<void()>)> runInBackground;
    // System-wide key grabs for the microphone hot key; none: no hot key.
    KeyGrabber* keyGrabber = nullptr;
    // Only looking (a status query): microphones a previous run left muted are not put back.
    bool observeOnly = false;
};

// The one model and controller of the mixer: the applications that have audio, the devices and
// defaults, the per-app settings and the taps that apply them, master volume, call ducking and
// level meters, kept in step with the audio server. Main thread only.
//
// Every property notifies observers when its value really changes; callbacks the engine hands to
// the audio server, the scheduler and the system hold it weakly and do nothing once it is gone.
class MixerEngine {
public:
    explicit MixerEngine(EngineServices services);
    ~MixerEngine();
    MixerEngine(const MixerEngine&) = delete;
    MixerEngine& operator=(const MixerEngine&) = delete;

    [[nodiscard]] Subscription observe(std::function<void(EngineProperty)> handler);

    // --- State ---------------------------------------------------------------------------
    const std::vector<AppGroup>& apps() const { return apps_; }
    const std::vector<AudioDevice>& outputDevices() const { return outputDevices_; }
    const std::vector<AudioDevice>& inputDevices() const { return inputDevices_; }
    const DeviceRules& deviceRules() const { return deviceRules_; }
    // Replaces the rules; a value different from the current one is saved at once.
    void setDeviceRules(DeviceRules rules);
    const std::optional<AudioDevice>& defaultOutput() const { return defaultOutput_; }
    const std::optional<AudioDevice>& defaultInput() const { return defaultInput_; }
    // Makes `device` the system's default output and alert output (the panel's device menu).
    // The results are not checked: the engine follows the change through its listeners.
    void setDefaultOutput(ObjectId device);
    const AppSettingsMap& allSettings() const { return settings_; }
    const std::optional<std::string>& soloID() const { return soloID_; }
    // No side effect of its own: the caller reconciles right after.
    void setSoloID(std::optional<std::string> id);
    // Whether the audio server can be reached; without it there are no devices and no apps.
    bool serverConnected() const { return serverConnected_; }
    float masterVolume() const { return master_.volume(); }
    // Whether masterVolume() was read from the output (false without an output, or while the
    // server has not told its volume); observers hear it as masterVolume.
    bool masterVolumeKnown() const { return master_.known(); }
    bool masterMuted() const { return master_.muted(); }
    bool softVolumeActive() const { return master_.softwareActive(); }
    bool volumeKeysReady() const { return volumeKeysReady_; }
    void setVolumeKeysReady(bool ready);
    bool micMuted() const { return micMuted_; }
    // Mutes every microphone, or puts them all back as they were (the hot key and the panel's
    // microphone button), with the "pop" or "tick" sound.
    void toggleMicMute();
    const std::optional<std::string>& lastError() const { return lastError_; }
    // The user has read it (the panel's notice).
    void clearLastError();
    AudioPermission::Status audioAccess() const { return audioAccess_; }
    const std::optional<AppGroup>& activeCall() const { return ducking_.activeCall(); }
    bool duckingPausedForCall() const { return ducking_.pausedForCall(); }
    // The call module's pause switch; the caller reconciles right after.
    void setDuckingPausedForCall(bool paused);
    bool duckingEnabled() const { return ducking_.enabled(); }
    // Stores, persists and reconciles on every call; observers hear only real changes.
    void setDuckingEnabled(bool enabled);
    float duckLevel() const { return ducking_.level(); }
    void setDuckLevel(float level);
    // Whether level meters are wanted (the panel is on screen): playing apps then get meter
    // taps, process taps stay while metering, and the meters tick.
    bool metering() const { return metering_; }
    void setMetering(bool on);
    LevelMeters& meters() { return meters_; }

    // Apps with a playing process, in display order.
    std::vector<AppGroup> playingApps() const;
    // Apps with no playing process that are regular applications or have stored settings.
    std::vector<AppGroup> silentApps() const;

    // --- Per-app operations ------------------------------------------------------------
    // The stored record, or the defaults.
    AppSettings settings(const std::string& id) const;
    void setVolume(float volume, const std::string& id); // clamped to 0…2
    void setEQ(const EQSettings& eq, const std::string& id);
    void toggleMute(const std::string& id);
    // None, or the current default output's uid, follows the system default.
    void setOutput(std::optional<std::string> uid, const std::string& id);
    void reset(const std::string& id);

    // --- Permission ------------------------------------------------------------------------
    void requestAudioAccess();
    void refreshAudioAccess();

    // --- Master volume ---------------------------------------------------------------------
    // Raising the volume above 0 ends a mute.
    void setMasterVolume(float volume);
    void setMasterMuted(bool muted);
    // True when the key was handled (software volume) and must be swallowed; the shell then
    // shows the volume display.
    bool handleVolumeKey(MediaKey key, bool fine);

    // --- Call ducking ----------------------------------------------------------------------
    bool isDucking() const { return ducking_.isDucking(); }
    bool isDucked(const AppGroup& app) const { return ducking_.isDucked(app); }

    // Brings the running taps in line with settings, solo, metering, ducking and master volume.
    void reconcile();

    // --- For diagnostics and tests ---------------------------------------------------------
    // Runs a refresh at once instead of after the debounce.
    void refreshNow() { refresh(); }
    // Running per-app taps by app id, and the global tap.
    const std::map<std::string, std::unique_ptr<AppTap>>& taps() const { return taps_; }
    const AppTap* globalTap() const { return master_.globalTap(); }
    // Process objects that currently have running-output/-input listeners.
    std::vector<ObjectId> watchedProcesses() const { return discovery_.watched(); }
    std::size_t volumeListenerCount() const { return master_.listenerCount(); }
    std::size_t refreshCount() const { return refreshCount_; }
    const MicMute& micMute() const { return *micMute_; }
    // The global hot key's registration; null without a key grabber.
    const HotKey* hotKey() const { return hotKey_.get(); }

private:
    using Weak = std::weak_ptr<MixerEngine*>;

    template <typename T>
    bool assign(T& field, T value, EngineProperty property);
    // A callback that runs `member` on the engine while it exists.
    std::function<void()> weakly(void (MixerEngine::*member)());

    void scheduleRefresh();
    void refresh();
    void storeSettings(const std::string& id, const AppSettings& record);
    void saveSettings();
    // A write of the settings that failed: logged and shown as the last error.
    void reportSaveFailure(const std::string& message);
    void showSaveFailure(const std::string& message);
    void shutdown();
    void rebuildAllTaps();
    void invalidateAllTaps();
    // What the tap plan is worked out from.
    TapPlan::Inputs tapPlanInputs() const;
    // Hands the settings to the app's running tap, or builds the tap anew when it no longer fits.
    void applyTap(const std::string& id, TapPlan::Tap wanted);
    // Learns the connected devices and switches the defaults by the rules (DeviceSwitching).
    void applyDeviceRules(const std::vector<AudioDevice>& devices);
    // Microphone mute upkeep at each refresh: mutes microphones that appeared while muted,
    // restores those that came back after an unmute.
    void updateMicMute();

    void refreshMaster() { master_.refresh(defaultOutput_); }
    // Meters.
    void startMeterTimer();
    void stopMeterTimer();
    void updateMeters();

    EngineServices services_;
    std::shared_ptr<MixerEngine*> self_; // weak references to the engine lock this
    ObserverList<EngineProperty> observers_;

    std::vector<AppGroup> apps_;
    AppDiscovery discovery_;
    std::vector<AudioDevice> outputDevices_;
    std::vector<AudioDevice> inputDevices_;
    DeviceRules deviceRules_;
    DeviceSwitching switching_;
    std::optional<AudioDevice> defaultOutput_;
    std::optional<AudioDevice> defaultInput_;
    AppSettingsMap settings_;
    std::optional<std::string> soloID_;
    bool serverConnected_ = true;
    MasterVolume master_;
    bool volumeKeysReady_ = false;
    bool micMuted_ = false;
    std::optional<std::string> lastError_;
    LevelMeters meters_;
    AudioPermission::Status audioAccess_ = AudioPermission::Status::unknown;
    AudioPermission::Checks accessChecks_;
    CallDucking ducking_;
    bool metering_ = false;
    std::map<std::string, std::unique_ptr<AppTap>> taps_;
    std::vector<Subscription> systemListeners_;
    WorkItemRef refreshWork_;
    WorkItemRef meterTimer_;
    std::vector<Subscription> systemEventSubscriptions_;
    std::size_t refreshCount_ = 0;
    std::unique_ptr<MicMute> micMute_;
    std::unique_ptr<HotKey> hotKey_;
    Subscription saveResults_;
    bool lastErrorIsSave_ = false; // the last error is a failed save
};

} // namespace voxlane
