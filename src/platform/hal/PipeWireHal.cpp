// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/PipeWireHal.h"

#include "platform/hal/PropertyValue.h"
#include "platform/hal/pipewire/PipeWireHalState.h"

#include <unistd.h>

namespace voxlane {

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

} // namespace voxlane
