// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/PipeWireHal.h"

#include "platform/Log.h"
#include "platform/hal/PropertyValue.h"
#include "platform/hal/pipewire/PipeWireConnection.h"
#include "platform/hal/pipewire/PipeWireModel.h"
#include "platform/hal/pipewire/PipeWireTapHost.h"
#include "platform/hal/pipewire/PipeWireTapNames.h"
#include "platform/hal/pipewire/PipeWireTapObjects.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <type_traits>
#include <unistd.h>

namespace voxlane {

namespace {

constexpr const char* kCategory = "pipewire";

// Where libpipewire will look for the server's socket, when that can be told without it; a
// missing socket spares making a thread and a context only to be refused.
std::optional<std::string> serverSocket() {
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote && *remote ? remote : "pipewire-0";
    if (name.front() == '/') return name;
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
        const char* dir = std::getenv(variable);
        if (dir && *dir) return std::string(dir) + "/" + name;
    }
    return std::nullopt;
}
constexpr AudioObjectPropertyElement elementWildcard = 0xFFFFFFFFu;

bool matches(const AudioObjectPropertyAddress& registered,
             const AudioObjectPropertyAddress& changed) {
    return (registered.mSelector == changed.mSelector ||
            registered.mSelector == kAudioObjectPropertySelectorWildcard) &&
           (registered.mScope == changed.mScope ||
            registered.mScope == kAudioObjectPropertyScopeWildcard) &&
           (registered.mElement == changed.mElement || registered.mElement == elementWildcard);
}

} // namespace

// One connection to the server, with the tap host that works on it. Made whole and destroyed
// whole, never under the Hal's lock (the loop's thread takes that lock to report events).
struct PipeWireHal::Session {
    std::unique_ptr<PipeWireConnection> connection;
    std::unique_ptr<PipeWireTapHost> host; // none when read-only

    ~Session() {
        if (host) host->shutdown(); // our streams go, the applications go back to their devices
        connection.reset();         // stops the connection's thread: nothing more is received...
        host.reset();               // ...so the host, its observer, can go
    }
};

struct PipeWireHal::State {
    struct Registration {
        AudioObjectID object = 0;
        AudioObjectPropertyAddress address;
        AudioObjectPropertyListenerBlockRef block;
    };

    State(Scheduler& queue, Options halOptions, PipeWireModel::Options modelOptions)
        : mainQueue(queue), options(std::move(halOptions)), model(std::move(modelOptions)) {}

    Scheduler& mainQueue;
    const Options options;
    std::weak_ptr<State> self;
    mutable std::mutex mutex;
    PipeWireModel model;
    PipeWireTapObjects objects;
    std::map<std::uint64_t, Registration> registrations;
    std::uint64_t nextRegistration = 1;

    // The connection: replaced on the main queue, read (under the lock) from any thread.
    std::shared_ptr<Session> session;
    std::uint64_t generation = 0;        // of `session`; events of older ones are dropped
    bool ready = false;                  // its first answer is in the model
    std::vector<PipeWireEvent> buffered; // its first answer, until `Connected`

    // Main queue only.
    WorkItemRef retry;
    double retryDelay = firstRetryDelay;
    std::string lastFailure;
    bool waitingLogged = false;

    static constexpr double firstRetryDelay = 0.1;
    static constexpr double longestRetryDelay = 2.0;

    std::shared_ptr<Session> current() const {
        std::lock_guard lock(mutex);
        return live();
    }
    // The session whose first answer is in, or none. Under the lock.
    std::shared_ptr<Session> live() const { return ready ? session : nullptr; }

    // On the connection's thread.
    void receive(std::uint64_t from, PipeWireEvent event) {
        std::lock_guard lock(mutex);
        if (from != generation) return;
        auto weak = self;
        if (auto* gone = std::get_if<PipeWireEvent::Disconnected>(&event.value)) {
            mainQueue.async([weak, from, reason = gone->reason] {
                if (auto state = weak.lock()) state->lose(from, reason);
            });
            return;
        }
        if (!ready) {
            const bool complete = std::holds_alternative<PipeWireEvent::Connected>(event.value);
            buffered.push_back(std::move(event));
            if (complete) {
                ready = true;
                mainQueue.async([weak, from] {
                    if (auto state = weak.lock()) state->flush(from);
                });
            }
            return;
        }
        mainQueue.async([weak, from, event = std::move(event)] {
            if (auto state = weak.lock()) state->apply(from, {event});
        });
    }

    // On the main queue: a new connection to the server, waiting at most `wait` seconds for
    // its first answer (0: not at all; the answer comes through the main queue).
    bool connect(double wait) {
        if (retry) retry->cancel();
        retry.reset();
        std::string why;
        if (const auto socket = serverSocket(); socket && ::access(socket->c_str(), F_OK) != 0)
            return fail("no PipeWire server at " + *socket);
        auto made = std::make_shared<Session>();
        made->connection = PipeWireConnection::create({options.applicationName}, &why);
        if (!made->connection) return fail(why);
        if (!options.readOnly) made->host = std::make_unique<PipeWireTapHost>(*made->connection);
        std::uint64_t from = 0;
        {
            std::lock_guard lock(mutex);
            from = ++generation;
            ready = false;
            buffered.clear();
            session = made;
        }
        PipeWireConnection::EventSink observer;
        if (auto* host = made->host.get())
            observer = [host](const PipeWireEvent& event) { host->observe(event); };
        auto sink = [weak = self, from](PipeWireEvent event) {
            if (auto state = weak.lock()) state->receive(from, std::move(event));
        };
        const bool reached = made->connection->connect(std::move(observer), sink, &why) &&
                             (wait <= 0 || made->connection->waitUntilConnected(wait, &why));
        if (!reached) {
            drop(from);
            return fail(why);
        }
        if (wait > 0) {
            flush(from); // the first answer goes into the model before anyone can ask
        } else {
            retry = mainQueue.asyncAfter(options.timeoutSeconds, [weak = self, from] {
                if (auto state = weak.lock(); state && !state->isReady(from))
                    state->lose(from, "PipeWire did not answer in time");
            });
        }
        return true;
    }

    bool isReady(std::uint64_t from) const {
        std::lock_guard lock(mutex);
        return from == generation && ready;
    }

    // Takes the session of `from` out, if it is still the current one, and destroys it outside
    // the lock. Its IO procedures stop with it.
    void drop(std::uint64_t from) {
        std::shared_ptr<Session> old;
        {
            std::lock_guard lock(mutex);
            if (from != generation) return;
            old = std::move(session);
            ++generation;
            ready = false;
            buffered.clear();
            for (auto& [_, aggregate] : objects.aggregates)
                for (auto& proc : aggregate.procs)
                    proc.run = 0;
        }
        old.reset();
    }

    bool fail(const std::string& why) {
        lastFailure = why;
        if (!waitingLogged && options.reconnect) {
            Log::notice(kCategory, "Warte auf den Audio-Server (" + why + ")");
            waitingLogged = true;
        }
        scheduleRetry();
        return false;
    }

    void scheduleRetry() {
        if (!options.reconnect) return;
        const double delay = retryDelay;
        retryDelay = std::min(longestRetryDelay, retryDelay * 2);
        retry = mainQueue.asyncAfter(delay, [weak = self] {
            if (auto state = weak.lock()) state->connect(0);
        });
    }

    // On the main queue: the first answer of `from` goes into the model.
    void flush(std::uint64_t from) {
        std::vector<PipeWireEvent> first;
        {
            std::lock_guard lock(mutex);
            if (from != generation) return;
            first.swap(buffered);
        }
        if (first.empty()) return;
        if (retry) retry->cancel();
        retry.reset();
        retryDelay = firstRetryDelay;
        waitingLogged = false;
        Log::info(kCategory, "Mit " + serverDescription() + " verbunden");
        apply(from, first);
    }

    // On the main queue: the connection of `from` ended. Everything of it goes; the model
    // empties (its listeners hear that devices, processes and defaults went), and a new
    // connection is tried.
    void lose(std::uint64_t from, const std::string& reason) {
        {
            std::lock_guard lock(mutex);
            if (from != generation) return;
        }
        drop(from);
        Log::notice(kCategory, "Verbindung zum Audio-Server verloren: " + reason);
        waitingLogged = true;
        apply(0, {PipeWireEvent{PipeWireEvent::Disconnected{reason}}});
        scheduleRetry();
    }

    std::string serverDescription() const {
        auto live = current();
        return live ? live->connection->serverDescription() : std::string("PipeWire");
    }

    // On the main queue: updates the model, then calls the listeners of what changed. Events
    // of a connection that is no longer the current one are dropped (`from` 0: the Hal's own).
    void apply(std::uint64_t from, const std::vector<PipeWireEvent>& events) {
        std::vector<std::pair<std::uint64_t, PipeWireModel::Change>> calls;
        std::vector<PipeWireModel::MetadataWrite> routing;
        {
            std::lock_guard lock(mutex);
            if (from != 0 && from != generation) return;
            for (const auto& event : events) {
                for (const auto& change : model.apply(event)) {
                    for (const auto& [id, r] : registrations) {
                        if (r.object == change.object && matches(r.address, change.address))
                            calls.emplace_back(id, change);
                    }
                }
            }
            if (ready && !options.readOnly) routing = model.alertRouting();
        }
        if (auto live = current()) {
            for (const auto& w : routing)
                live->connection->setMetadata("default", w.subject, w.key, w.type, w.value);
        }
        for (const auto& [id, change] : calls) {
            AudioObjectPropertyListenerBlockRef block;
            {
                // A listener removed by an earlier one in this round is not called.
                std::lock_guard lock(mutex);
                auto it = registrations.find(id);
                if (it == registrations.end()) continue;
                block = it->second.block;
            }
            (*block)(1, &change.address);
        }
    }
};

PipeWireHal::PipeWireHal(std::shared_ptr<State> state) : s_(std::move(state)) {}

PipeWireHal::~PipeWireHal() {
    if (s_->retry) s_->retry->cancel();
    std::uint64_t from = 0;
    {
        std::lock_guard lock(s_->mutex);
        from = s_->generation;
    }
    s_->drop(from);
}

std::unique_ptr<PipeWireHal> PipeWireHal::start(Scheduler& mainQueue, Options options) {
    PipeWireModel::Options modelOptions;
    modelOptions.ownPid = options.ownPid > 0 ? options.ownPid : ::getpid();
    modelOptions.bundleIdResolver = std::move(options.bundleIdResolver);
    auto state = std::make_shared<State>(mainQueue, std::move(options), std::move(modelOptions));
    state->self = state;
    state->connect(state->options.timeoutSeconds);
    return std::unique_ptr<PipeWireHal>(new PipeWireHal(std::move(state)));
}

std::unique_ptr<PipeWireHal> PipeWireHal::connect(Scheduler& mainQueue, Options options,
                                                  std::string* whyNot) {
    options.reconnect = false;
    auto hal = start(mainQueue, std::move(options));
    if (hal->isConnected()) return hal;
    if (whyNot) *whyNot = hal->s_->lastFailure;
    return nullptr;
}

std::string PipeWireHal::serverDescription() const {
    return s_->serverDescription();
}

bool PipeWireHal::isConnected() const {
    return s_->current() != nullptr;
}

std::string PipeWireHal::lastFailure() const {
    return s_->lastFailure;
}

bool PipeWireHal::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
    std::lock_guard lock(s_->mutex);
    if (s_->objects.owns(object)) return s_->objects.hasProperty(object, address);
    bool settable = false;
    // The pid translation exists although it cannot be read without its qualifier.
    return s_->model.settable(object, address, settable) == 0;
}

OSStatus PipeWireHal::isPropertySettable(AudioObjectID object,
                                         const AudioObjectPropertyAddress& address,
                                         bool* outSettable) {
    if (!outSettable) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    if (s_->objects.owns(object))
        return s_->objects.isPropertySettable(object, address, outSettable);
    return s_->model.settable(object, address, *outSettable);
}

OSStatus PipeWireHal::getPropertyDataSize(AudioObjectID object,
                                          const AudioObjectPropertyAddress& address,
                                          std::uint32_t qualifierSize, const void* qualifier,
                                          std::uint32_t* outSize) {
    if (!outSize) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    if (s_->objects.owns(object)) return s_->objects.getPropertyDataSize(object, address, outSize);
    PipeWireModel::Value value;
    if (OSStatus status = s_->model.read(object, address, qualifierSize, qualifier, value))
        return status;
    *outSize = propertyValueSize(value);
    return 0;
}

OSStatus PipeWireHal::getPropertyData(AudioObjectID object,
                                      const AudioObjectPropertyAddress& address,
                                      std::uint32_t qualifierSize, const void* qualifier,
                                      std::uint32_t* ioSize, void* data) {
    if (!ioSize || !data) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    if (s_->objects.owns(object)) return s_->objects.getPropertyData(object, address, ioSize, data);
    PipeWireModel::Value value;
    if (OSStatus status = s_->model.read(object, address, qualifierSize, qualifier, value))
        return status;
    return copyPropertyValue(value, ioSize, data);
}

OSStatus PipeWireHal::setPropertyData(AudioObjectID object,
                                      const AudioObjectPropertyAddress& address, std::uint32_t,
                                      const void*, std::uint32_t size, const void* data) {
    PipeWireModel::Write write;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (s_->objects.owns(object))
            return s_->objects.setPropertyData(object, address, size, data);
        if (s_->options.readOnly) return kAudioHardwareIllegalOperationError;
        session = s_->live();
        if (!session) return kAudioHardwareNotRunningError;
        if (OSStatus status = s_->model.planWrite(object, address, size, data, write))
            return status;
    }
    int result = 0;
    PipeWireConnection& connection = *session->connection;
    if (auto* node = std::get_if<PipeWireModel::NodeWrite>(&write)) {
        result = connection.setNodeControls(node->node, node->channelVolumes, node->mute);
    } else {
        const auto& m = std::get<PipeWireModel::MetadataWrite>(write);
        result = connection.setMetadata("default", m.subject, m.key, m.type, m.value);
    }
    return result < 0 ? kAudioHardwareUnspecifiedError : kAudioHardwareNoError;
}

OSStatus PipeWireHal::getPropertyString(AudioObjectID object,
                                        const AudioObjectPropertyAddress& address,
                                        std::optional<std::string>* outValue) {
    if (!outValue) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    if (s_->objects.owns(object)) return s_->objects.getPropertyString(object, address, outValue);
    PipeWireModel::Value value;
    if (OSStatus status = s_->model.read(object, address, 0, nullptr, value)) return status;
    auto* text = std::get_if<std::optional<std::string>>(&value);
    if (!text) return kAudioHardwareBadPropertySizeError;
    *outValue = *text;
    return 0;
}

OSStatus PipeWireHal::addPropertyListener(AudioObjectID object,
                                          const AudioObjectPropertyAddress& address,
                                          const AudioObjectPropertyListenerBlockRef& block) {
    if (!block || !*block) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    if (!s_->model.exists(object)) return kAudioHardwareBadObjectError;
    const std::uint64_t id = s_->nextRegistration++;
    s_->registrations.emplace(id, State::Registration{object, address, block});
    return 0;
}

OSStatus PipeWireHal::removePropertyListener(AudioObjectID object,
                                             const AudioObjectPropertyAddress& address,
                                             const AudioObjectPropertyListenerBlockRef& block) {
    std::lock_guard lock(s_->mutex);
    for (auto it = s_->registrations.begin(); it != s_->registrations.end(); ++it) {
        const auto& r = it->second;
        if (r.object == object && r.address == address && r.block == block) {
            s_->registrations.erase(it);
            return 0;
        }
    }
    return kAudioHardwareIllegalOperationError;
}

// ---- Taps, aggregate devices, IO procedures ----
//
// The records are PipeWireTapObjects (under the Hal's lock); what runs on the server is the
// tap host's (under the loop's lock). The loop's thread takes the Hal's lock when it reports
// events, so the host is called only after the Hal's lock is given up.

OSStatus PipeWireHal::createProcessTap(const TapDescription& description, AudioObjectID* outTap) {
    if (!outTap) return kAudio_ParamError;
    *outTap = kAudioObjectUnknown;
    std::lock_guard lock(s_->mutex);
    if (s_->options.readOnly) return kAudioHardwareIllegalOperationError;
    if (!s_->live()) return kAudioHardwareNotRunningError;
    for (const auto& [_, t] : s_->objects.taps)
        if (!description.uuid.empty() && t.description.uuid == description.uuid)
            return kAudioHardwareIllegalOperationError;
    PipeWireTapObjects::Tap tap;
    tap.description = description;
    const AudioObjectPropertyAddress pidAddress{
        kAudioProcessPropertyPID, kAudioObjectPropertyScopeGlobal, kAudioObjectPropertyElementMain};
    for (auto process : description.processes) {
        PipeWireModel::Value value;
        const auto* pid = s_->model.read(process, pidAddress, 0, nullptr, value) == 0
                              ? std::get_if<std::int32_t>(&value)
                              : nullptr;
        if (pid) {
            tap.pids.insert(pid_t(*pid));
        } else if (!description.isExclusive) {
            return kAudioHardwareBadObjectError;
        }
    }
    PipeWireModel::Value value;
    const AudioObjectPropertyAddress defaultOutput{kAudioHardwarePropertyDefaultOutputDevice,
                                                   kAudioObjectPropertyScopeGlobal,
                                                   kAudioObjectPropertyElementMain};
    if (s_->model.read(kAudioObjectSystemObject, defaultOutput, 0, nullptr, value) == 0) {
        PipeWireModel::Value rate;
        if (s_->model.read(std::get<std::uint32_t>(value),
                           {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal,
                            kAudioObjectPropertyElementMain},
                           0, nullptr, rate) == 0)
            tap.rate = std::get<double>(rate);
    }
    tap.id = s_->model.reserveId();
    *outTap = tap.id;
    s_->objects.taps.emplace(tap.id, std::move(tap));
    return 0;
}

OSStatus PipeWireHal::destroyProcessTap(AudioObjectID tap) {
    std::vector<std::uint64_t> runs;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (!s_->objects.taps.count(tap)) return kAudioHardwareBadObjectError;
        runs = s_->objects.removeTap(tap);
        session = s_->session;
    }
    for (auto run : runs)
        if (run && session) session->host->detachTap(run);
    return 0;
}

OSStatus PipeWireHal::createAggregateDevice(const AggregateDeviceDescription& description,
                                            AudioObjectID* outDevice) {
    if (!outDevice) return kAudio_ParamError;
    *outDevice = kAudioObjectUnknown;
    std::lock_guard lock(s_->mutex);
    if (s_->options.readOnly) return kAudioHardwareIllegalOperationError;
    if (!s_->live()) return kAudioHardwareNotRunningError;
    for (const auto& [_, a] : s_->objects.aggregates)
        if (a.description.uid == description.uid) return kAudioHardwareIllegalOperationError;
    // The main sub-device, else the first listed one that is there; it must play.
    std::optional<AudioObjectID> device = s_->model.deviceForUID(description.mainSubDevice);
    for (const auto& sub : description.subDevices)
        if (!device) device = s_->model.deviceForUID(sub.uid);
    if (!device) return kAudioHardwareBadDeviceError;
    auto streams = [&](AudioObjectPropertyScope scope) {
        PipeWireModel::Value value;
        if (s_->model.read(*device, {kAudioDevicePropertyStreams, scope, 0}, 0, nullptr, value))
            return std::uint32_t(0);
        return std::uint32_t(std::get<std::vector<std::uint32_t>>(value).size());
    };
    PipeWireTapObjects::Aggregate aggregate;
    aggregate.deviceOutputs = streams(kAudioObjectPropertyScopeOutput);
    if (aggregate.deviceOutputs == 0) return kAudioHardwareBadDeviceError;
    aggregate.deviceInputs = streams(kAudioObjectPropertyScopeInput);
    PipeWireModel::Value value;
    if (s_->model.read(*device, {kAudioDevicePropertyDeviceUID, kAudioObjectPropertyScopeGlobal, 0},
                       0, nullptr, value) == 0)
        aggregate.device = std::get<std::optional<std::string>>(value).value_or("");
    if (s_->model.read(*device,
                       {kAudioDevicePropertyNominalSampleRate, kAudioObjectPropertyScopeGlobal, 0},
                       0, nullptr, value) == 0)
        aggregate.rate = std::get<double>(value);
    for (const auto& sub : description.taps) {
        for (const auto& [id, t] : s_->objects.taps)
            if (t.description.uuid == sub.uid) aggregate.taps.push_back(id);
    }
    aggregate.description = description;
    aggregate.id = s_->model.reserveId();
    *outDevice = aggregate.id;
    s_->objects.aggregates.emplace(aggregate.id, std::move(aggregate));
    return 0;
}

OSStatus PipeWireHal::destroyAggregateDevice(AudioObjectID device) {
    std::vector<std::uint64_t> runs;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return kAudioHardwareBadDeviceError;
        for (const auto& p : a->procs)
            if (p.run) runs.push_back(p.run);
        s_->objects.aggregates.erase(device); // its IO procedures go with it
        session = s_->session;
    }
    for (auto run : runs)
        if (session) session->host->stop(run);
    return 0;
}

OSStatus PipeWireHal::createIOProcID(AudioObjectID device, AudioDeviceIOBlock block,
                                     AudioDeviceIOProcID* outProc) {
    if (!outProc || !block) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    auto* a = s_->objects.aggregate(device);
    if (!a) return kAudioHardwareBadDeviceError;
    PipeWireTapObjects::Proc proc;
    proc.id = s_->objects.nextProc++;
    proc.block = std::make_shared<const AudioDeviceIOBlock>(std::move(block));
    proc.usage.assign(s_->objects.inputStreams(*a), 1);
    *outProc = proc.id;
    a->procs.push_back(std::move(proc));
    return 0;
}

OSStatus PipeWireHal::destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID proc) {
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return kAudioHardwareBadDeviceError;
        auto it = std::find_if(a->procs.begin(), a->procs.end(),
                               [&](const auto& p) { return p.id == proc; });
        if (it == a->procs.end()) return kAudioHardwareIllegalOperationError;
        run = it->run;
        a->procs.erase(it);
        session = s_->session;
    }
    if (run && session) session->host->stop(run);
    return 0;
}

OSStatus PipeWireHal::deviceStart(AudioObjectID device, AudioDeviceIOProcID proc) {
    PipeWireTapRunner::Config config;
    std::optional<PipeWireRouting::Tap> tap;
    std::shared_ptr<Session> session;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(s_->mutex);
        auto* a = s_->objects.aggregate(device);
        if (!a) return kAudioHardwareBadDeviceError;
        auto* p = s_->objects.proc(device, proc);
        if (!p) return kAudioHardwareIllegalOperationError;
        if (p->run) return 0;
        session = s_->live();
        if (!session) return kAudioHardwareNotRunningError;
        generation = s_->generation;
        // The procedure hears the first of the device's taps whose stream it has on.
        const PipeWireTapObjects::Tap* heard = nullptr;
        for (std::size_t i = 0; i < a->taps.size() && !heard; ++i) {
            const std::size_t stream = a->deviceInputs + i;
            if (stream < p->usage.size() && p->usage[stream])
                heard = &s_->objects.taps.at(a->taps[i]);
        }
        std::string node = PipeWireTapNames::captureNode(a->description.uid);
        if (&a->procs.front() != p) node += "." + std::to_string(p->id);
        config.captureNode = node;
        config.playbackNode = node + ".output";
        config.device = a->device;
        config.description = a->description.name.empty() ? "Voxlane" : a->description.name;
        config.rate = std::uint32_t(a->rate > 0 ? a->rate : 48000);
        config.deviceInputs = a->deviceInputs;
        config.block = p->block;
        if (!heard)
            config.kind = PipeWireTapRunner::Kind::playing;
        else if (heard->description.muteBehavior == CATapMuteBehavior::unmuted)
            config.kind = PipeWireTapRunner::Kind::metering;
        else
            config.kind = PipeWireTapRunner::Kind::muting;
        if (heard) {
            PipeWireRouting::Tap routing;
            routing.moves = config.kind == PipeWireTapRunner::Kind::muting;
            routing.global = heard->description.isExclusive;
            routing.pids = heard->pids;
            routing.captureNode = node;
            tap = std::move(routing);
        }
    }
    int error = 0;
    const std::uint64_t run = session->host->start(std::move(config), std::move(tap), &error);
    if (!run) return kAudioHardwareUnspecifiedError;
    bool kept = false;
    {
        std::lock_guard lock(s_->mutex);
        auto* p = s_->objects.proc(device, proc);
        if (p && !p->run && generation == s_->generation) {
            p->run = run;
            kept = true;
        }
    }
    if (!kept) session->host->stop(run); // destroyed, started or disconnected meanwhile
    return 0;
}

OSStatus PipeWireHal::deviceStop(AudioObjectID device, AudioDeviceIOProcID proc) {
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (!s_->objects.aggregate(device)) return kAudioHardwareBadDeviceError;
        auto* p = s_->objects.proc(device, proc);
        if (!p) return kAudioHardwareIllegalOperationError;
        run = std::exchange(p->run, 0);
        session = s_->session;
    }
    if (run && session) session->host->stop(run);
    return 0;
}

OSStatus PipeWireHal::playSound(const std::string& name,
                                std::shared_ptr<const std::vector<float>> samples, float volume) {
    if (!samples) return kAudio_ParamError;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (s_->options.readOnly) return kAudioHardwareIllegalOperationError;
        session = s_->live();
        if (!session) return kAudioHardwareNotRunningError;
        PipeWireModel::Value value;
        const AudioObjectPropertyAddress defaultOutput{kAudioHardwarePropertyDefaultOutputDevice,
                                                       kAudioObjectPropertyScopeGlobal,
                                                       kAudioObjectPropertyElementMain};
        if (s_->model.read(kAudioObjectSystemObject, defaultOutput, 0, nullptr, value) != 0 ||
            std::get<std::uint32_t>(value) == kAudioObjectUnknown)
            return kAudioHardwareBadDeviceError;
    }
    return session->host->playSound(name, std::move(samples), volume) < 0
               ? kAudioHardwareUnspecifiedError
               : kAudioHardwareNoError;
}

std::uint64_t PipeWireHal::cyclesOf(AudioObjectID device, AudioDeviceIOProcID proc) const {
    std::uint64_t run = 0;
    std::shared_ptr<Session> session;
    {
        std::lock_guard lock(s_->mutex);
        if (auto* p = s_->objects.proc(device, proc)) run = p->run;
        session = s_->session;
    }
    return run && session ? session->host->cycles(run) : 0;
}

} // namespace voxlane
