#include "platform/hal/PipeWireHal.h"

#include "platform/hal/pipewire/PipeWireConnection.h"
#include "platform/hal/pipewire/PipeWireModel.h"

#include <cstring>
#include <map>
#include <mutex>
#include <type_traits>
#include <unistd.h>

namespace voxlane {

namespace {

constexpr AudioObjectPropertyElement elementWildcard = 0xFFFFFFFFu;

std::uint32_t valueSize(const PipeWireModel::Value& value) {
    struct Sizer {
        std::uint32_t operator()(std::uint32_t) const { return 4; }
        std::uint32_t operator()(std::int32_t) const { return 4; }
        std::uint32_t operator()(float) const { return 4; }
        std::uint32_t operator()(double) const { return 8; }
        std::uint32_t operator()(const std::vector<std::uint32_t>& list) const {
            return std::uint32_t(list.size() * 4);
        }
        // A string travels as a reference to a string object.
        std::uint32_t operator()(const std::optional<std::string>&) const { return 8; }
    };
    return std::visit(Sizer{}, value);
}

bool matches(const AudioObjectPropertyAddress& registered,
             const AudioObjectPropertyAddress& changed) {
    return (registered.mSelector == changed.mSelector ||
            registered.mSelector == kAudioObjectPropertySelectorWildcard) &&
           (registered.mScope == changed.mScope ||
            registered.mScope == kAudioObjectPropertyScopeWildcard) &&
           (registered.mElement == changed.mElement || registered.mElement == elementWildcard);
}

} // namespace

struct PipeWireHal::State {
    struct Registration {
        AudioObjectID object = 0;
        AudioObjectPropertyAddress address;
        AudioObjectPropertyListenerBlockRef block;
    };

    State(Scheduler& queue, PipeWireModel::Options options)
        : mainQueue(queue), model(std::move(options)) {}

    Scheduler& mainQueue;
    std::weak_ptr<State> self;
    mutable std::mutex mutex;
    PipeWireModel model;
    bool initial = true;                 // events are kept until the first answer is complete
    std::vector<PipeWireEvent> buffered; // the first answer
    bool connected = true;
    std::map<std::uint64_t, Registration> registrations;
    std::uint64_t nextRegistration = 1;
    PipeWireConnection* connection = nullptr; // main queue only

    // On the connection's thread.
    void receive(PipeWireEvent event) {
        std::lock_guard lock(mutex);
        if (initial) {
            buffered.push_back(std::move(event));
            return;
        }
        mainQueue.async([weak = self, event = std::move(event)] {
            if (auto state = weak.lock()) state->apply({event});
        });
    }

    // On the main queue: updates the model, then calls the listeners of what changed.
    void apply(const std::vector<PipeWireEvent>& events) {
        std::vector<std::pair<std::uint64_t, PipeWireModel::Change>> calls;
        std::vector<PipeWireModel::MetadataWrite> routing;
        {
            std::lock_guard lock(mutex);
            for (const auto& event : events) {
                if (std::holds_alternative<PipeWireEvent::Disconnected>(event.value))
                    connected = false;
                for (const auto& change : model.apply(event)) {
                    for (const auto& [id, r] : registrations) {
                        if (r.object == change.object && matches(r.address, change.address))
                            calls.emplace_back(id, change);
                    }
                }
            }
            if (connected) routing = model.alertRouting();
        }
        if (connection) {
            for (const auto& w : routing)
                connection->setMetadata("default", w.subject, w.key, w.type, w.value);
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

PipeWireHal::PipeWireHal(std::shared_ptr<State> state,
                         std::unique_ptr<PipeWireConnection> connection)
    : s_(std::move(state)), connection_(std::move(connection)) {}

PipeWireHal::~PipeWireHal() {
    s_->connection = nullptr;
    connection_.reset(); // stops the connection's thread: nothing more is received
}

std::unique_ptr<PipeWireHal> PipeWireHal::connect(Scheduler& mainQueue, Options options,
                                                  std::string* whyNot) {
    PipeWireModel::Options modelOptions;
    modelOptions.ownPid = options.ownPid > 0 ? options.ownPid : ::getpid();
    modelOptions.bundleIdResolver = std::move(options.bundleIdResolver);
    auto state = std::make_shared<State>(mainQueue, std::move(modelOptions));
    state->self = state;

    PipeWireConnection::Options connectionOptions;
    connectionOptions.applicationName = options.applicationName;
    connectionOptions.timeoutSeconds = options.timeoutSeconds;
    std::weak_ptr<State> weak = state;
    auto connection = PipeWireConnection::open(
        [weak](PipeWireEvent event) {
            if (auto s = weak.lock()) s->receive(std::move(event));
        },
        connectionOptions, whyNot);
    if (!connection) return nullptr;

    // The first answer goes into the model before anyone can ask; later events keep their
    // order behind it on the main queue.
    state->connection = connection.get();
    {
        std::vector<PipeWireEvent> first;
        {
            std::lock_guard lock(state->mutex);
            first.swap(state->buffered);
            state->initial = false;
            for (const auto& event : first)
                state->model.apply(event);
        }
        state->apply({}); // sends alert sounds where they belong
    }
    return std::unique_ptr<PipeWireHal>(new PipeWireHal(state, std::move(connection)));
}

std::string PipeWireHal::serverDescription() const {
    return connection_->serverDescription();
}

bool PipeWireHal::isConnected() const {
    std::lock_guard lock(s_->mutex);
    return s_->connected;
}

bool PipeWireHal::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
    std::lock_guard lock(s_->mutex);
    bool settable = false;
    // The pid translation exists although it cannot be read without its qualifier.
    return s_->model.settable(object, address, settable) == 0;
}

OSStatus PipeWireHal::isPropertySettable(AudioObjectID object,
                                         const AudioObjectPropertyAddress& address,
                                         bool* outSettable) {
    if (!outSettable) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    return s_->model.settable(object, address, *outSettable);
}

OSStatus PipeWireHal::getPropertyDataSize(AudioObjectID object,
                                          const AudioObjectPropertyAddress& address,
                                          std::uint32_t qualifierSize, const void* qualifier,
                                          std::uint32_t* outSize) {
    if (!outSize) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    PipeWireModel::Value value;
    if (OSStatus status = s_->model.read(object, address, qualifierSize, qualifier, value))
        return status;
    *outSize = valueSize(value);
    return 0;
}

OSStatus PipeWireHal::getPropertyData(AudioObjectID object,
                                      const AudioObjectPropertyAddress& address,
                                      std::uint32_t qualifierSize, const void* qualifier,
                                      std::uint32_t* ioSize, void* data) {
    if (!ioSize || !data) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
    PipeWireModel::Value value;
    if (OSStatus status = s_->model.read(object, address, qualifierSize, qualifier, value))
        return status;
    if (std::holds_alternative<std::optional<std::string>>(value))
        return kAudioHardwareUnsupportedOperationError; // strings are read with getPropertyString
    if (auto* list = std::get_if<std::vector<std::uint32_t>>(&value)) {
        const std::uint32_t count =
            std::min<std::uint32_t>(std::uint32_t(list->size()), *ioSize / 4);
        if (count) std::memcpy(data, list->data(), count * 4);
        *ioSize = count * 4;
        return 0;
    }
    const std::uint32_t size = valueSize(value);
    if (*ioSize < size) return kAudioHardwareBadPropertySizeError;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_trivially_copyable_v<T>) std::memcpy(data, &v, sizeof(T));
        },
        value);
    *ioSize = size;
    return 0;
}

OSStatus PipeWireHal::setPropertyData(AudioObjectID object,
                                      const AudioObjectPropertyAddress& address, std::uint32_t,
                                      const void*, std::uint32_t size, const void* data) {
    PipeWireModel::Write write;
    {
        std::lock_guard lock(s_->mutex);
        if (!s_->connected) return kAudioHardwareNotRunningError;
        if (OSStatus status = s_->model.planWrite(object, address, size, data, write))
            return status;
    }
    int result = 0;
    if (auto* node = std::get_if<PipeWireModel::NodeWrite>(&write)) {
        result = connection_->setNodeControls(node->node, node->channelVolumes, node->mute);
    } else {
        const auto& m = std::get<PipeWireModel::MetadataWrite>(write);
        result = connection_->setMetadata("default", m.subject, m.key, m.type, m.value);
    }
    return result < 0 ? kAudioHardwareUnspecifiedError : kAudioHardwareNoError;
}

OSStatus PipeWireHal::getPropertyString(AudioObjectID object,
                                        const AudioObjectPropertyAddress& address,
                                        std::optional<std::string>* outValue) {
    if (!outValue) return kAudio_ParamError;
    std::lock_guard lock(s_->mutex);
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

// Process taps, aggregate devices and IO procedures on PipeWire are built on filter nodes of
// our own; until then the calls say plainly that they are not supported.
OSStatus PipeWireHal::createProcessTap(const CATapDescription&, AudioObjectID* outTap) {
    if (outTap) *outTap = kAudioObjectUnknown;
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::destroyProcessTap(AudioObjectID) {
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::createAggregateDevice(const AggregateDeviceDescription&,
                                            AudioObjectID* outDevice) {
    if (outDevice) *outDevice = kAudioObjectUnknown;
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::destroyAggregateDevice(AudioObjectID) {
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::createIOProcID(AudioObjectID, AudioDeviceIOBlock,
                                     AudioDeviceIOProcID* outProc) {
    if (outProc) *outProc = 0;
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::destroyIOProcID(AudioObjectID, AudioDeviceIOProcID) {
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::deviceStart(AudioObjectID, AudioDeviceIOProcID) {
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::deviceStop(AudioObjectID, AudioDeviceIOProcID) {
    return kAudioHardwareUnsupportedOperationError;
}

OSStatus PipeWireHal::playSound(const std::string&, std::shared_ptr<const std::vector<float>>,
                                float) {
    return kAudioHardwareUnsupportedOperationError;
}

} // namespace voxlane
