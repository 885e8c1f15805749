// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MixerEngine.h"

#include "coreaudio/AudioDevices.h"
#include "coreaudio/AudioProcesses.h"
#include "coreaudio/CA.h"
#include "coreaudio/CallDetector.h"
#include "coreaudio/CoreAudioError.h"
#include "coreaudio/ListenerToken.h"
#include "devices/DevicePolicy.h"
#include "engine/AppTap.h"
#include "engine/SoftVolume.h"
#include "mic/MicMute.h"
#include "platform/Defaults.h"
#include "platform/HotKey.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/TextCompare.h"
#include "platform/Workspace.h"
#include "platform/hal/Hal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace voxlane {
namespace {

constexpr const char* kCategory = "engine";
constexpr double kRefreshDebounce = 0.12;
constexpr double kDuckReleaseWindow = 1.5;
constexpr double kDuckReleaseReconcile = 1.6;
constexpr const char* kDuckingEnabledKey = "duckingEnabled";
constexpr const char* kDuckLevelKey = "duckLevel";
// Device switching: how long after a change of the connected devices the rules are applied, and
// when the two late refreshes run that apply them again after the system's own switching.
constexpr double kAutoSwitchWindow = 3.0;
constexpr double kLateRefreshes[] = {1.0, 2.5};

// Per-app gain from a volume of 0…2: squared up to unity, then up to +12 dB at 2.
float gainForVolume(float volume) {
    if (volume <= 1.0f) return volume * volume;
    return std::pow(10.0f, (volume - 1.0f) * 12.0f / 20.0f);
}

AudioPermission::Services permissionServices(const EngineServices& s) {
    AudioPermission::Services services =
        AudioPermission::Services::standard(s.hal, s.scheduler, s.defaults, s.sounds);
    if (s.sleep) services.sleep = s.sleep;
    if (s.runInBackground) services.runInBackground = s.runInBackground;
    return services;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and observation

MixerEngine::MixerEngine(EngineServices services)
    : services_(std::move(services)), self_(std::make_shared<MixerEngine*>(this)),
      autoSwitchUntil_(-std::numeric_limits<double>::infinity()),
      duckReleaseUntil_(-std::numeric_limits<double>::infinity()) {
    Defaults& defaults = services_.defaults;
    deviceRules_ = DeviceRules::load(defaults);
    settings_ = SettingsStore::load(defaults);
    if (defaults.boolean(AudioPermission::grantedKey).value_or(false)) {
        audioAccess_ = AudioPermission::Status::granted;
    }
    duckingEnabled_ = defaults.boolean(kDuckingEnabledKey).value_or(true);
    // A hand-edited level is held to what the menu could have set.
    duckLevel_ =
        static_cast<float>(std::clamp(defaults.number(kDuckLevelKey).value_or(0.3), 0.0, 1.0));
    saveResults_ =
        defaults.observeSaveResults([weak = Weak(self_)](const Defaults::SaveResult& failure) {
            // Logged by the store already.
            auto engine = weak.lock();
            if (!engine) return;
            if (failure) {
                (*engine)->showSaveFailure(*failure);
            } else if ((*engine)->lastErrorIsSave_) {
                (*engine)->lastErrorIsSave_ = false;
                (*engine)->assign((*engine)->lastError_, std::optional<std::string>(),
                                  EngineProperty::lastError);
            }
        });
    // Puts back microphones that a previous run left muted.
    micMute_ = std::make_unique<MicMute>(services_.hal, defaults, !services_.observeOnly);

    for (AudioObjectPropertySelector selector :
         {kAudioHardwarePropertyProcessObjectList, kAudioHardwarePropertyDevices,
          kAudioHardwarePropertyDefaultOutputDevice, kAudioHardwarePropertyDefaultInputDevice,
          kAudioHardwarePropertyServerConnected}) {
        if (auto token = CA::listen(services_.hal, kAudioObjectSystemObject, CA::address(selector),
                                    weakly(&MixerEngine::scheduleRefresh))) {
            systemListeners_.push_back(std::move(token));
        }
    }

    if (services_.keyGrabber) {
        hotKey_ = std::make_unique<HotKey>(*services_.keyGrabber, services_.scheduler,
                                           HotKey::micMuteCombination,
                                           weakly(&MixerEngine::toggleMicMute));
    }

    Weak weak = self_;
    systemEventSubscriptions_.push_back(services_.systemEvents.subscribe([weak](SystemEvent e) {
        auto engine = weak.lock();
        if (!engine) return;
        if (e == SystemEvent::willTerminate) (*engine)->shutdown();
        if (e == SystemEvent::didWake) (*engine)->rebuildAllTaps();
    }));

    refresh();
}

MixerEngine::~MixerEngine() {
    // The access probe works with the server and the sounds, which may go with the engine.
    accessChecks_.cancelAll();
    if (refreshWork_) refreshWork_->cancel();
    if (meterTimer_) meterTimer_->cancel();
    // Taps, the global tap and listener tokens take themselves down as they are destroyed.
}

Subscription MixerEngine::observe(std::function<void(EngineProperty)> handler) {
    return observers_.subscribe(std::move(handler));
}

template <typename T>
bool MixerEngine::assign(T& field, T value, EngineProperty property) {
    if (field == value) return false;
    field = std::move(value);
    observers_.notify(property);
    return true;
}

std::function<void()> MixerEngine::weakly(void (MixerEngine::*member)()) {
    return [weak = Weak(self_), member] {
        if (auto engine = weak.lock()) ((*engine)->*member)();
    };
}

void MixerEngine::setDeviceRules(DeviceRules rules) {
    if (assign(deviceRules_, std::move(rules), EngineProperty::deviceRules) &&
        !deviceRules_.save(services_.defaults)) {
        reportSaveFailure("Geräteregeln nicht gespeichert");
    }
}

void MixerEngine::setSoloID(std::optional<std::string> id) {
    assign(soloID_, std::move(id), EngineProperty::soloID);
}

void MixerEngine::clearLastError() {
    assign(lastError_, std::optional<std::string>(), EngineProperty::lastError);
}

void MixerEngine::setVolumeKeysReady(bool ready) {
    assign(volumeKeysReady_, ready, EngineProperty::volumeKeysReady);
}

void MixerEngine::setEqEditorID(std::optional<std::string> id) {
    assign(eqEditorID_, std::move(id), EngineProperty::eqEditorID);
}

std::vector<AppGroup> MixerEngine::playingApps() const {
    std::vector<AppGroup> result;
    std::copy_if(apps_.begin(), apps_.end(), std::back_inserter(result),
                 [](const AppGroup& app) { return app.isPlaying(); });
    return result;
}

std::vector<AppGroup> MixerEngine::silentApps() const {
    std::vector<AppGroup> result;
    std::copy_if(apps_.begin(), apps_.end(), std::back_inserter(result), [&](const AppGroup& a) {
        return !a.isPlaying() && (a.isRegularApp || settings_.count(a.id));
    });
    return result;
}

std::vector<AudioObjectID> MixerEngine::watchedProcesses() const {
    std::vector<AudioObjectID> ids;
    for (const auto& [id, tokens] : processListeners_)
        ids.push_back(id);
    return ids;
}

// ---------------------------------------------------------------------------------------------
// Refresh

void MixerEngine::scheduleRefresh() {
    if (refreshWork_) refreshWork_->cancel();
    refreshWork_ = services_.scheduler.asyncAfter(kRefreshDebounce, weakly(&MixerEngine::refresh));
}

void MixerEngine::refresh() {
    ++refreshCount_;
    Hal& hal = services_.hal;
    // Servers that are always there do not answer.
    assign(serverConnected_,
           CA::value<std::uint32_t>(hal, kAudioObjectSystemObject,
                                    CA::address(kAudioHardwarePropertyServerConnected))
                   .value_or(1) != 0,
           EngineProperty::serverConnected);

    const auto devices = AudioDevices::all(hal);
    std::vector<AudioDevice> outputs, inputs;
    for (const auto& device : devices) {
        if (device.hasOutput) outputs.push_back(device);
        if (device.hasInput) inputs.push_back(device);
    }
    assign(outputDevices_, std::move(outputs), EngineProperty::outputDevices);
    assign(inputDevices_, std::move(inputs), EngineProperty::inputDevices);

    applyDeviceRules(devices);

    const std::optional<std::string> previousOutput =
        defaultOutput_ ? std::optional(defaultOutput_->uid) : std::nullopt;
    auto readDefault = [&](AudioObjectPropertySelector selector) -> std::optional<AudioDevice> {
        const auto id =
            CA::value<AudioObjectID>(hal, kAudioObjectSystemObject, CA::address(selector))
                .value_or(0);
        return AudioDevices::device(hal, id);
    };
    assign(defaultOutput_, readDefault(kAudioHardwarePropertyDefaultOutputDevice),
           EngineProperty::defaultOutput);
    assign(defaultInput_, readDefault(kAudioHardwarePropertyDefaultInputDevice),
           EngineProperty::defaultInput);
    const std::optional<std::string> currentOutput =
        defaultOutput_ ? std::optional(defaultOutput_->uid) : std::nullopt;
    if (currentOutput != previousOutput) watchMasterVolume();

    refreshMaster();
    updateMicMute();

    const auto processes = AudioProcesses::all(hal, services_.workspace);
    watchProcesses(processes);

    auto groups = AudioProcesses::grouped(processes, services_.workspace);
    std::stable_sort(groups.begin(), groups.end(), [](const AppGroup& a, const AppGroup& b) {
        const bool aPlaying = a.isPlaying(), bPlaying = b.isPlaying();
        if (aPlaying != bPlaying) return aPlaying;
        return localizedCaseInsensitiveCompare(a.name, b.name) < 0;
    });
    assign(apps_, std::move(groups), EngineProperty::apps);

    if (soloID_ && std::none_of(apps_.begin(), apps_.end(),
                                [&](const AppGroup& app) { return app.id == *soloID_; })) {
        setSoloID(std::nullopt);
    }

    updateCall();
    reconcile();
}

void MixerEngine::watchProcesses(const std::vector<AudioProcess>& processes) {
    std::set<AudioObjectID> ids;
    for (const auto& process : processes)
        ids.insert(process.objectID);

    std::erase_if(processListeners_, [&](auto& entry) {
        if (ids.count(entry.first)) return false;
        for (auto& token : entry.second)
            token->remove();
        return true;
    });
    for (AudioObjectID id : ids) {
        if (processListeners_.count(id)) continue;
        auto& tokens = processListeners_[id];
        for (AudioObjectPropertySelector selector :
             {kAudioProcessPropertyIsRunningOutput, kAudioProcessPropertyIsRunningInput}) {
            if (auto token = CA::listen(services_.hal, id, CA::address(selector),
                                        weakly(&MixerEngine::scheduleRefresh))) {
                tokens.push_back(std::move(token));
            }
        }
    }
}

void MixerEngine::setDefaultOutput(AudioObjectID device) {
    for (AudioObjectPropertySelector selector : {kAudioHardwarePropertyDefaultOutputDevice,
                                                 kAudioHardwarePropertyDefaultSystemOutputDevice})
        services_.hal.setPropertyData(kAudioObjectSystemObject, CA::address(selector), 0, nullptr,
                                      sizeof(device), &device);
}

void MixerEngine::applyDeviceRules(const std::vector<AudioDevice>& devices) {
    Hal& hal = services_.hal;
    Scheduler& scheduler = services_.scheduler;
    auto readDefault = [&](AudioObjectPropertySelector selector) {
        return CA::value<AudioObjectID>(hal, kAudioObjectSystemObject, CA::address(selector))
            .value_or(0);
    };
    auto writeDefault = [&](AudioObjectPropertySelector selector, AudioObjectID id) {
        hal.setPropertyData(kAudioObjectSystemObject, CA::address(selector), 0, nullptr, sizeof(id),
                            &id);
    };

    std::set<std::string> uids;
    for (const auto& device : devices)
        uids.insert(device.uid);
    if (uids != knownDeviceUIDs_) {
        // The first sight of the devices (at launch, or after none were left) switches nothing.
        if (!knownDeviceUIDs_.empty()) {
            autoSwitchUntil_ = scheduler.now() + kAutoSwitchWindow;
            for (double delay : kLateRefreshes)
                scheduler.asyncAfter(delay, weakly(&MixerEngine::scheduleRefresh));
        }
        knownDeviceUIDs_ = std::move(uids);
        DeviceRules learned = deviceRules_;
        learned.learn(devices);
        setDeviceRules(std::move(learned));
    }

    if (scheduler.now() < autoSwitchUntil_) {
        auto uidOf = [&](AudioObjectID id) -> std::optional<std::string> {
            if (auto device = AudioDevices::device(hal, id)) return device->uid;
            return std::nullopt;
        };
        const auto decision = DevicePolicy::decide(
            deviceRules_, devices, uidOf(readDefault(kAudioHardwarePropertyDefaultOutputDevice)),
            uidOf(readDefault(kAudioHardwarePropertyDefaultInputDevice)));
        auto connected = [&](const std::optional<std::string>& uid) -> const AudioDevice* {
            if (!uid) return nullptr;
            const auto it = std::find_if(devices.begin(), devices.end(),
                                         [&](const AudioDevice& d) { return d.uid == *uid; });
            return it != devices.end() ? &*it : nullptr;
        };
        if (const AudioDevice* output = connected(decision.output)) {
            Log::info(kCategory, "Ausgabe → " + output->name + " (Regel)");
            writeDefault(kAudioHardwarePropertyDefaultOutputDevice, output->id);
            // The alert device follows an output chosen by rule, whatever the option says.
            writeDefault(kAudioHardwarePropertyDefaultSystemOutputDevice, output->id);
        }
        if (const AudioDevice* input = connected(decision.input)) {
            Log::info(kCategory, "Eingabe → " + input->name + " (Regel)");
            writeDefault(kAudioHardwarePropertyDefaultInputDevice, input->id);
        }
    }

    if (deviceRules_.alertsFollowOutput) {
        const auto output = CA::value<AudioObjectID>(
            hal, kAudioObjectSystemObject, CA::address(kAudioHardwarePropertyDefaultOutputDevice));
        if (output && *output != 0 &&
            readDefault(kAudioHardwarePropertyDefaultSystemOutputDevice) != *output) {
            writeDefault(kAudioHardwarePropertyDefaultSystemOutputDevice, *output);
        }
    }
}

void MixerEngine::updateMicMute() {
    if (micMute_->isMuted()) {
        micMute_->muteAll(); // microphones connected since
    } else if (!micMute_->saved().empty()) {
        micMute_->restore(); // microphones that were away at the unmute and are back
    }
}

void MixerEngine::toggleMicMute() {
    const bool muting = !micMute_->isMuted();
    if (muting) {
        micMute_->muteAll();
    } else {
        micMute_->restore();
    }
    micMute_->setIsMuted(muting);
    assign(micMuted_, muting, EngineProperty::micMuted);
    services_.sounds.play(muting ? "Pop" : "Tink");
}

// ---------------------------------------------------------------------------------------------
// Per-app operations

AppSettings MixerEngine::settings(const std::string& id) const {
    const auto it = settings_.find(id);
    return it != settings_.end() ? it->second : AppSettings{};
}

void MixerEngine::storeSettings(const std::string& id, const AppSettings& record) {
    AppSettingsMap updated = settings_;
    if (record.isDefault()) {
        updated.erase(id);
    } else {
        updated[id] = record;
    }
    assign(settings_, std::move(updated), EngineProperty::settings);
    saveSettings();
    reconcile();
}

void MixerEngine::saveSettings() {
    if (!SettingsStore::save(services_.defaults, settings_)) {
        reportSaveFailure("Einstellungen nicht vollständig gespeichert");
    }
}

void MixerEngine::reportSaveFailure(const std::string& message) {
    Log::error(kCategory, message);
    showSaveFailure(message);
}

void MixerEngine::showSaveFailure(const std::string& message) {
    lastErrorIsSave_ = true;
    assign(lastError_, std::optional(message), EngineProperty::lastError);
}

void MixerEngine::setVolume(float volume, const std::string& id) {
    AppSettings record = settings(id);
    // NaN has no place on a fader: it counts as silence.
    record.volume = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 2.0f);
    storeSettings(id, record);
}

void MixerEngine::setEQ(const EQSettings& eq, const std::string& id) {
    AppSettings record = settings(id);
    record.eq = eq;
    storeSettings(id, record);
}

void MixerEngine::toggleMute(const std::string& id) {
    AppSettings record = settings(id);
    record.muted = !record.muted;
    storeSettings(id, record);
}

void MixerEngine::setOutput(std::optional<std::string> uid, const std::string& id) {
    AppSettings record = settings(id);
    if (defaultOutput_ && uid && *uid == defaultOutput_->uid) uid.reset();
    record.outputUID = std::move(uid);
    storeSettings(id, record);
}

void MixerEngine::reset(const std::string& id) {
    AppSettingsMap updated = settings_;
    updated.erase(id);
    assign(settings_, std::move(updated), EngineProperty::settings);
    saveSettings();
    reconcile();
}

// ---------------------------------------------------------------------------------------------
// Panel, permission, shutdown

void MixerEngine::setPanelVisible(bool visible) {
    if (!assign(panelVisible_, visible, EngineProperty::panelVisible)) return;
    if (visible) refreshMaster();
    reconcile();
    stopMeterTimer();
    if (visible) startMeterTimer();
}

void MixerEngine::requestAudioAccess() {
    if (audioAccess_ == AudioPermission::Status::denied) {
        services_.workspace.openSoundSettings();
    }
    assign(audioAccess_, AudioPermission::Status::checking, EngineProperty::audioAccess);
    accessChecks_.add(AudioPermission::check(
        permissionServices(services_), [weak = Weak(self_)](AudioPermission::Status status) {
            auto engine = weak.lock();
            if (!engine) return;
            (*engine)->assign((*engine)->audioAccess_, status, EngineProperty::audioAccess);
            (*engine)->reconcile();
        }));
}

void MixerEngine::refreshAudioAccess() {
    if (!services_.defaults.boolean(AudioPermission::grantedKey).value_or(false)) return;
    assign(audioAccess_, AudioPermission::Status::granted, EngineProperty::audioAccess);
    reconcile();
}

void MixerEngine::invalidateAllTaps() {
    for (auto& [id, tap] : taps_)
        tap->invalidate();
    taps_.clear();
    if (globalTap_) globalTap_->invalidate();
    globalTap_.reset();
}

void MixerEngine::shutdown() {
    invalidateAllTaps();
    if (micMute_->isMuted()) {
        micMute_->restore();
        micMute_->setIsMuted(false);
        assign(micMuted_, false, EngineProperty::micMuted);
    }
}

void MixerEngine::rebuildAllTaps() {
    invalidateAllTaps();
    refresh();
}

// ---------------------------------------------------------------------------------------------
// Tap reconciliation

void MixerEngine::reconcile() {
    if (audioAccess_ != AudioPermission::Status::granted) {
        invalidateAllTaps();
        return;
    }
    const float softwareGain = softwareMasterGain();
    // Without an output there is nowhere to play: taps go until one returns (else one app's
    // tap might end up playing into another's).
    if (!defaultOutput_) {
        invalidateAllTaps();
        return;
    }

    std::set<std::string> validUIDs;
    for (const auto& device : outputDevices_)
        validUIDs.insert(device.uid);
    std::set<std::string> seen;
    const double now = services_.scheduler.now();

    for (const AppGroup& app : apps_) {
        seen.insert(app.id);
        const AppSettings record = settings(app.id);
        const bool soloedOut = soloID_ && *soloID_ != app.id;
        const bool effectiveMute = record.muted || soloedOut;
        const bool ducked = isDucked(app);
        const bool playing = app.isPlaying();
        auto existing = taps_.find(app.id);
        const bool hasProcessTap =
            existing != taps_.end() && existing->second->mode() == AppTap::Mode::process;
        const bool keepAlive =
            playing && hasProcessTap && (now < duckReleaseUntil_ || panelVisible_);

        std::optional<AppTap::Mode> mode;
        float duck = 1.0f;
        if (soloedOut || !record.isDefault()) {
            mode = AppTap::Mode::process;
            duck = ducked ? duckLevel_ : 1.0f;
        } else if (ducked) {
            mode = AppTap::Mode::process;
            duck = duckLevel_;
        } else if (keepAlive) {
            mode = AppTap::Mode::process;
        } else if (panelVisible_ && playing) {
            mode = AppTap::Mode::meter;
        }

        const std::string target = record.outputUID && validUIDs.count(*record.outputUID)
                                       ? *record.outputUID
                                       : defaultOutput_->uid;
        const float gain = effectiveMute ? 0.0f : gainForVolume(record.volume);
        const float master = target == defaultOutput_->uid ? softwareGain : 1.0f;
        const std::vector<AudioObjectID> objectIDs = app.objectIDs();

        if (existing != taps_.end() && mode && existing->second->mode() == *mode &&
            existing->second->outputUID() == target && existing->second->objectIDs() == objectIDs) {
            TapState& state = existing->second->state();
            state.store(TapState::targetGain, gain * master);
            state.store(TapState::targetDuck, duck);
            state.setEQ(record.eq.gains);
            continue;
        }

        std::unique_ptr<AppTap> old;
        if (existing != taps_.end()) {
            old = std::move(existing->second);
            taps_.erase(existing);
        }
        if (!mode) {
            if (old) old->invalidate();
            continue;
        }
        try {
            auto tap = std::make_unique<AppTap>(services_.hal, objectIDs, std::nullopt, target,
                                                *mode, gain * master, app.name);
            tap->state().store(TapState::targetDuck, duck);
            tap->state().setEQ(record.eq.gains);
            taps_[app.id] = std::move(tap);
            if (old) old->invalidate();
            // A failed save stays shown until a save succeeds.
            if (!lastErrorIsSave_) {
                assign(lastError_, std::optional<std::string>(), EngineProperty::lastError);
            }
        } catch (const CoreAudioError& error) {
            if (old) old->invalidate();
            Log::error(kCategory, "Tap für " + app.id + ": " + error.description());
            lastErrorIsSave_ = false;
            assign(lastError_, std::optional(app.name + ": " + error.description()),
                   EngineProperty::lastError);
        }
    }

    std::erase_if(taps_, [&](auto& entry) {
        if (seen.count(entry.first)) return false;
        entry.second->invalidate();
        return true;
    });

    reconcileGlobalTap(defaultOutput_->uid, softwareGain);
}

// ---------------------------------------------------------------------------------------------
// Master volume, software volume and the global tap

float MixerEngine::softwareMasterGain() const {
    if (!softVolumeActive_) return 1.0f;
    return softMuted_ ? 0.0f : masterVolume_ * masterVolume_;
}

void MixerEngine::refreshMaster() {
    if (!defaultOutput_) {
        if (masterVolumeKnown_) {
            masterVolumeKnown_ = false;
            observers_.notify(EngineProperty::masterVolume);
        }
        return;
    }
    Hal& hal = services_.hal;
    const bool hardware = SoftVolume::hasHardwareVolume(hal, defaultOutput_->id);
    if (assign(softVolumeActive_, !hardware, EngineProperty::softVolumeActive)) {
        Log::info(kCategory, std::string("Software-Lautstärke ") + (hardware ? "aus" : "an") +
                                 " für " + defaultOutput_->name);
    }
    const auto volume =
        hardware ? AudioDevices::volume(hal, defaultOutput_->id)
                 : std::optional(SoftVolume::level(services_.defaults, defaultOutput_->uid));
    const bool known = volume.has_value();
    const bool changed = known && masterVolume_ != *volume;
    if (known) masterVolume_ = *volume;
    if (changed || known != masterVolumeKnown_) {
        masterVolumeKnown_ = known;
        observers_.notify(EngineProperty::masterVolume);
    }
    if (!hardware) {
        assign(masterMuted_, softMuted_, EngineProperty::masterMuted);
        return;
    }
    const auto mute = CA::value<std::uint32_t>(
        hal, defaultOutput_->id,
        CA::address(kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput));
    assign(masterMuted_, mute.value_or(0) != 0, EngineProperty::masterMuted);
}

void MixerEngine::watchMasterVolume() {
    for (auto& token : volumeListeners_)
        token->remove();
    volumeListeners_.clear();
    if (!defaultOutput_) return;
    for (AudioObjectPropertyElement element : {0u, 1u, 2u}) {
        for (AudioObjectPropertySelector selector :
             {kAudioDevicePropertyVolumeScalar, kAudioDevicePropertyMute}) {
            const auto address = CA::address(selector, kAudioObjectPropertyScopeOutput, element);
            if (!services_.hal.hasProperty(defaultOutput_->id, address)) continue;
            if (auto token = CA::listen(services_.hal, defaultOutput_->id, address,
                                        weakly(&MixerEngine::refreshMaster))) {
                volumeListeners_.push_back(std::move(token));
            }
        }
    }
}

void MixerEngine::setMasterVolume(float volume) {
    setMasterVolume(volume, true);
}

void MixerEngine::setMasterVolume(float volume, bool unmuteWhenAudible) {
    if (!defaultOutput_) return;
    const float v = std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 1.0f);
    assign(masterVolume_, v, EngineProperty::masterVolume);
    if (softVolumeActive_) {
        SoftVolume::setLevel(services_.defaults, v, defaultOutput_->uid);
        if (unmuteWhenAudible && v > 0 && softMuted_) {
            softMuted_ = false;
            assign(masterMuted_, false, EngineProperty::masterMuted);
        }
        reconcile();
        return;
    }
    services_.hal.setPropertyData(defaultOutput_->id,
                                  CA::address(kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
                                              kAudioObjectPropertyScopeOutput),
                                  0, nullptr, sizeof(v), &v);
    if (unmuteWhenAudible && v > 0 && masterMuted_) setMasterMuted(false);
}

void MixerEngine::setMasterMuted(bool muted) {
    if (!defaultOutput_) return;
    assign(masterMuted_, muted, EngineProperty::masterMuted);
    if (softVolumeActive_) {
        softMuted_ = muted;
        reconcile();
        return;
    }
    const std::uint32_t value = muted ? 1 : 0;
    services_.hal.setPropertyData(
        defaultOutput_->id, CA::address(kAudioDevicePropertyMute, kAudioObjectPropertyScopeOutput),
        0, nullptr, sizeof(value), &value);
}

bool MixerEngine::handleVolumeKey(MediaKey key, bool fine) {
    if (!softVolumeActive_) return false;
    if (audioAccess_ != AudioPermission::Status::granted) return false;
    const float step = fine ? 1.0f / 64.0f : 1.0f / 16.0f;
    switch (key) {
    case MediaKey::volumeUp:
        if (masterMuted_) setMasterMuted(false);
        setMasterVolume(step * std::round((masterVolume_ + step) / step));
        break;
    case MediaKey::volumeDown:
        // Turning a muted output down leaves it muted.
        setMasterVolume(step * std::round((masterVolume_ - step) / step), false);
        break;
    case MediaKey::mute:
        setMasterMuted(!masterMuted_);
        break;
    }
    if (onVolumeChangedByKey) onVolumeChangedByKey();
    return true;
}

void MixerEngine::reconcileGlobalTap(const std::string& outputUID, float gain) {
    const auto own = SoftVolume::ownProcessObject(services_.hal, services_.workspace.ownPid());
    if (!softVolumeActive_ || !own) {
        if (globalTap_) globalTap_->invalidate();
        globalTap_.reset();
        return;
    }
    std::vector<AudioObjectID> excluded{*own};
    for (const auto& [id, tap] : taps_) {
        if (tap->mode() == AppTap::Mode::process) {
            excluded.insert(excluded.end(), tap->objectIDs().begin(), tap->objectIDs().end());
        }
    }
    std::sort(excluded.begin(), excluded.end());
    excluded.erase(std::unique(excluded.begin(), excluded.end()), excluded.end());

    if (globalTap_ && globalTap_->excluding() == excluded && globalTap_->outputUID() == outputUID) {
        globalTap_->state().store(TapState::targetGain, gain);
        return;
    }
    std::unique_ptr<AppTap> previous = std::move(globalTap_);
    try {
        globalTap_ =
            std::make_unique<AppTap>(services_.hal, std::vector<AudioObjectID>{}, excluded,
                                     outputUID, AppTap::Mode::process, gain, "software volume");
    } catch (const CoreAudioError& error) {
        Log::error(kCategory, "Globaler Tap: " + error.description());
        globalTap_.reset();
    }
    if (previous) previous->invalidate();
}

// ---------------------------------------------------------------------------------------------
// Call ducking

bool MixerEngine::isDucking() const {
    return duckingEnabled_ && activeCall_ && !duckingPausedForCall_;
}

bool MixerEngine::isDucked(const AppGroup& app) const {
    return isDucking() && app.isPlaying() && app.id != activeCall_->id && !app.isRecording();
}

void MixerEngine::updateCall() {
    auto call = CallDetector::activeCall(apps_);
    const bool wasDucking = isDucking();
    const bool changed = call.has_value() != activeCall_.has_value() ||
                         (call && activeCall_ && call->id != activeCall_->id);
    if (changed) setDuckingPausedForCall(false);
    assign(activeCall_, std::move(call), EngineProperty::activeCall);
    if (activeCall_) Log::info(kCategory, "Call erkannt: " + activeCall_->id);
    if (wasDucking && !isDucking()) {
        duckReleaseUntil_ = services_.scheduler.now() + kDuckReleaseWindow;
        services_.scheduler.asyncAfter(kDuckReleaseReconcile, weakly(&MixerEngine::reconcile));
    }
}

void MixerEngine::setDuckingPausedForCall(bool paused) {
    assign(duckingPausedForCall_, paused, EngineProperty::duckingPausedForCall);
}

void MixerEngine::setDuckingEnabled(bool enabled) {
    assign(duckingEnabled_, enabled, EngineProperty::duckingEnabled);
    services_.defaults.setBoolean(kDuckingEnabledKey, enabled);
    reconcile();
}

void MixerEngine::setDuckLevel(float level) {
    const float clamped = std::isnan(level) ? 0.0f : std::clamp(level, 0.0f, 1.0f);
    assign(duckLevel_, clamped, EngineProperty::duckLevel);
    services_.defaults.setNumber(kDuckLevelKey, clamped);
    reconcile();
}

// ---------------------------------------------------------------------------------------------
// Level meters

void MixerEngine::startMeterTimer() {
    meterTimer_ = services_.scheduler.repeating(LevelMeters::tickInterval,
                                                weakly(&MixerEngine::updateMeters));
}

void MixerEngine::stopMeterTimer() {
    if (meterTimer_) meterTimer_->cancel();
    meterTimer_.reset();
    meters_.clear();
}

void MixerEngine::updateMeters() {
    meters_.update(taps_);
}

} // namespace voxlane
