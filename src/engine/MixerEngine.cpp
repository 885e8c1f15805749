// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MixerEngine.h"

#include "audio/AudioDevices.h"
#include "audio/AudioError.h"
#include "engine/AppTap.h"
#include "engine/SoftVolume.h"
#include "engine/TapPlan.h"
#include "mic/MicMute.h"
#include "platform/Defaults.h"
#include "platform/HotKey.h"
#include "platform/Log.h"
#include "platform/Scheduler.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/Workspace.h"
#include "platform/server/AudioServer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

namespace voxlane {
namespace {

constexpr const char* kCategory = "engine";
constexpr double kRefreshDebounce = 0.12;

AudioPermission::Services permissionServices(const EngineServices& s) {
    AudioPermission::Services services =
        AudioPermission::Services::standard(s.server, s.scheduler, s.defaults, s.sounds);
    if (s.sleep) services.sleep = s.sleep;
    if (s.runInBackground) services.runInBackground = s.runInBackground;
    return services;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Construction and observation

MixerEngine::MixerEngine(EngineServices services)
    : services_(std::move(services)), self_(std::make_shared<MixerEngine*>(this)),
      discovery_(services_.server, services_.workspace, weakly(&MixerEngine::scheduleRefresh)),
      switching_(services_.server, services_.scheduler, weakly(&MixerEngine::scheduleRefresh)),
      master_(services_.server, services_.defaults,
              {[this](EngineProperty property) { observers_.notify(property); },
               [this] { reconcile(); }, weakly(&MixerEngine::refreshMaster)}),
      ducking_(services_.defaults, services_.scheduler,
               {[this](EngineProperty property) { observers_.notify(property); },
                weakly(&MixerEngine::reconcile)}) {
    Defaults& defaults = services_.defaults;
    deviceRules_ = DeviceRules::load(defaults);
    settings_ = SettingsStore::load(defaults);
    if (defaults.boolean(AudioPermission::grantedKey).value_or(false)) {
        audioAccess_ = AudioPermission::Status::granted;
    }
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
    micMute_ = std::make_unique<MicMute>(services_.server, defaults, !services_.observeOnly);

    for (Change change : {Change::processes, Change::devices, Change::defaults, Change::connection})
        if (auto subscription =
                services_.server.subscribe(change, noObject, weakly(&MixerEngine::scheduleRefresh)))
            systemListeners_.push_back(std::move(subscription));

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

// ---------------------------------------------------------------------------------------------
// Refresh

void MixerEngine::scheduleRefresh() {
    if (refreshWork_) refreshWork_->cancel();
    refreshWork_ = services_.scheduler.asyncAfter(kRefreshDebounce, weakly(&MixerEngine::refresh));
}

void MixerEngine::refresh() {
    ++refreshCount_;
    AudioServer& server = services_.server;
    assign(serverConnected_, server.connected(), EngineProperty::serverConnected);

    const auto devices = AudioDevices::all(server);
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
    auto readDefault = [&](Role role) -> std::optional<AudioDevice> {
        const ObjectId id = server.defaultDevice(role);
        if (id == noObject) return std::nullopt;
        return AudioDevices::device(server, id);
    };
    assign(defaultOutput_, readDefault(Role::output), EngineProperty::defaultOutput);
    assign(defaultInput_, readDefault(Role::input), EngineProperty::defaultInput);
    const std::optional<std::string> currentOutput =
        defaultOutput_ ? std::optional(defaultOutput_->uid) : std::nullopt;
    if (currentOutput != previousOutput) master_.watch(defaultOutput_);

    refreshMaster();
    updateMicMute();

    assign(apps_, discovery_.discover(), EngineProperty::apps);

    if (soloID_ && std::none_of(apps_.begin(), apps_.end(),
                                [&](const AppGroup& app) { return app.id == *soloID_; })) {
        setSoloID(std::nullopt);
    }

    ducking_.update(apps_);
    reconcile();
}

void MixerEngine::setDefaultOutput(ObjectId device) {
    switching_.setDefaultOutput(device);
}

void MixerEngine::applyDeviceRules(const std::vector<AudioDevice>& devices) {
    if (auto learned = switching_.devicesChanged(devices, deviceRules_))
        setDeviceRules(std::move(*learned));
    switching_.apply(devices, deviceRules_);
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
    services_.sounds.play(muting ? "pop" : "tick");
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
// Metering, permission, shutdown

void MixerEngine::setMetering(bool on) {
    if (metering_ == on) return;
    metering_ = on;
    // Meters are wanted while the panel shows, and so is a fresh reading of the master volume.
    if (on) refreshMaster();
    reconcile();
    stopMeterTimer();
    if (on) startMeterTimer();
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
    master_.invalidateGlobalTap();
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
    // Without an output there is nowhere to play: taps go until one returns (else one app's
    // tap might end up playing into another's).
    if (!defaultOutput_) {
        invalidateAllTaps();
        return;
    }

    auto plan = TapPlan::desired(tapPlanInputs());
    for (auto& [id, tap] : plan)
        applyTap(id, std::move(tap));

    std::erase_if(taps_, [&](auto& entry) {
        if (plan.count(entry.first)) return false;
        entry.second->invalidate();
        return true;
    });

    master_.reconcileGlobalTap(
        defaultOutput_->uid, taps_,
        SoftVolume::ownProcessObject(services_.server, services_.workspace.ownPid()));
}

TapPlan::Inputs MixerEngine::tapPlanInputs() const {
    TapPlan::Inputs in;
    in.apps = apps_;
    in.settings = [this](const std::string& id) { return settings(id); };
    in.soloID = soloID_;
    in.isDucked = [this](const AppGroup& app) { return isDucked(app); };
    in.duckLevel = ducking_.level();
    in.metering = metering_;
    in.keepProcessTaps = ducking_.releasing();
    for (const auto& [id, tap] : taps_) {
        if (tap->mode() == AppTap::Mode::process) in.processTapped.insert(id);
    }
    for (const auto& device : outputDevices_)
        in.outputUIDs.insert(device.uid);
    in.defaultOutputUID = defaultOutput_->uid;
    in.softwareMasterGain = master_.softwareGain();
    return in;
}

void MixerEngine::applyTap(const std::string& id, TapPlan::Tap wanted) {
    const auto existing = taps_.find(id);
    if (existing != taps_.end() && wanted.sameTap(*existing->second)) {
        TapState& state = existing->second->state();
        state.store(TapState::targetGain, wanted.gain);
        state.store(TapState::targetDuck, wanted.duck);
        state.setEQ(wanted.eq);
        return;
    }
    std::unique_ptr<AppTap> old;
    if (existing != taps_.end()) {
        old = std::move(existing->second);
        taps_.erase(existing);
    }
    const auto app = std::find_if(apps_.begin(), apps_.end(),
                                  [&](const AppGroup& candidate) { return candidate.id == id; });
    const std::string name = app != apps_.end() ? app->name : id;
    try {
        auto tap = std::make_unique<AppTap>(services_.server, wanted.objectIDs, std::nullopt,
                                            wanted.outputUID, wanted.mode, wanted.gain, name);
        tap->state().store(TapState::targetDuck, wanted.duck);
        tap->state().setEQ(wanted.eq);
        taps_[id] = std::move(tap);
        if (old) old->invalidate();
        // A failed save stays shown until a save succeeds.
        if (!lastErrorIsSave_) {
            assign(lastError_, std::optional<std::string>(), EngineProperty::lastError);
        }
    } catch (const AudioError& error) {
        if (old) old->invalidate();
        Log::error(kCategory, "Tap für " + id + ": " + error.description());
        lastErrorIsSave_ = false;
        assign(lastError_, std::optional(name + ": " + error.description()),
               EngineProperty::lastError);
    }
}

// ---------------------------------------------------------------------------------------------
// Master volume, software volume and the global tap

void MixerEngine::setMasterVolume(float volume) {
    if (defaultOutput_) master_.setVolume(*defaultOutput_, volume);
}

void MixerEngine::setMasterMuted(bool muted) {
    if (defaultOutput_) master_.setMuted(*defaultOutput_, muted);
}

bool MixerEngine::handleVolumeKey(MediaKey key, bool fine) {
    if (!master_.softwareActive() || !defaultOutput_) return false;
    if (audioAccess_ != AudioPermission::Status::granted) return false;
    master_.handleKey(*defaultOutput_, key, fine);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Call ducking

void MixerEngine::setDuckingPausedForCall(bool paused) {
    ducking_.setPausedForCall(paused);
}

void MixerEngine::setDuckingEnabled(bool enabled) {
    ducking_.setEnabled(enabled);
    reconcile();
}

void MixerEngine::setDuckLevel(float level) {
    ducking_.setLevel(level);
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
