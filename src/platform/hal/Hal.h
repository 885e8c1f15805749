// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AggregateDescription.h"
#include "platform/server/BufferList.h"
#include "platform/hal/HalConstants.h"
#include "platform/hal/HalTypes.h"
#include "platform/server/TapDescription.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace voxlane {

// A property listener: called with the number of changed addresses and the addresses.
using AudioObjectPropertyListenerBlock =
    std::function<void(std::uint32_t count, const AudioObjectPropertyAddress* addresses)>;
// Listeners are registered and removed by reference: removal must pass the very block object
// that was registered (pointer identity), just as the same object, address and block.
using AudioObjectPropertyListenerBlockRef = std::shared_ptr<const AudioObjectPropertyListenerBlock>;

// An IO procedure: called once per IO cycle with the device's input and output buffer lists.
// The output buffers arrive zeroed and are written in place. It runs on the audio server's
// real-time thread; the Hal never allocates around the call.
using AudioDeviceIOBlock =
    std::function<void(const BufferList* input, const BufferList* output)>;

// The audio hardware abstraction: objects (the system object, devices, streams, processes,
// process taps, aggregate devices) with properties addressed by selector, scope and element;
// property listeners; process taps, aggregate devices and IO procedures.
//
// Every operation reports an OSStatus (0 for success) and never throws. Property reads answer
// from the implementation's local model of the audio server and never block on it, so they are
// cheap enough to make on every refresh. Any thread may call; the system makes all calls on the
// main thread except the permission probe, which builds and reads its tap on a worker thread.
//
// Listener blocks run on the main queue (the scheduler the implementation was made with), after
// the property changed; a block removed before a pending notification is delivered is not called.
// IO blocks run on the audio thread.
class Hal {
public:
    virtual ~Hal() = default;

    virtual bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) = 0;
    virtual OSStatus isPropertySettable(AudioObjectID object,
                                        const AudioObjectPropertyAddress& address,
                                        bool* outSettable) = 0;
    virtual OSStatus getPropertyDataSize(AudioObjectID object,
                                         const AudioObjectPropertyAddress& address,
                                         std::uint32_t qualifierSize, const void* qualifier,
                                         std::uint32_t* outSize) = 0;
    // Reads at most *ioSize bytes into `data`; *ioSize becomes the number of bytes written.
    virtual OSStatus getPropertyData(AudioObjectID object,
                                     const AudioObjectPropertyAddress& address,
                                     std::uint32_t qualifierSize, const void* qualifier,
                                     std::uint32_t* ioSize, void* data) = 0;
    virtual OSStatus setPropertyData(AudioObjectID object,
                                     const AudioObjectPropertyAddress& address,
                                     std::uint32_t qualifierSize, const void* qualifier,
                                     std::uint32_t size, const void* data) = 0;
    // Reads a string-valued property (names, UIDs, bundle identifiers). On success *outValue is
    // the string, or empty when the object has no string there (a null reference).
    virtual OSStatus getPropertyString(AudioObjectID object,
                                       const AudioObjectPropertyAddress& address,
                                       std::optional<std::string>* outValue) = 0;

    virtual OSStatus addPropertyListener(AudioObjectID object,
                                         const AudioObjectPropertyAddress& address,
                                         const AudioObjectPropertyListenerBlockRef& block) = 0;
    virtual OSStatus removePropertyListener(AudioObjectID object,
                                            const AudioObjectPropertyAddress& address,
                                            const AudioObjectPropertyListenerBlockRef& block) = 0;

    virtual OSStatus createProcessTap(const TapDescription& description, AudioObjectID* outTap) = 0;
    virtual OSStatus destroyProcessTap(AudioObjectID tap) = 0;
    virtual OSStatus createAggregateDevice(const AggregateDescription& description,
                                           AudioObjectID* outDevice) = 0;
    virtual OSStatus destroyAggregateDevice(AudioObjectID device) = 0;

    virtual OSStatus createIOProcID(AudioObjectID device, AudioDeviceIOBlock block,
                                    AudioDeviceIOProcID* outProc) = 0;
    virtual OSStatus destroyIOProcID(AudioObjectID device, AudioDeviceIOProcID proc) = 0;
    virtual OSStatus deviceStart(AudioObjectID device, AudioDeviceIOProcID proc) = 0;
    virtual OSStatus deviceStop(AudioObjectID device, AudioDeviceIOProcID proc) = 0;

    // Plays a short sound of this program (mono samples at 48 kHz, scaled by `volume`) once on
    // the default output device.
    virtual OSStatus playSound(const std::string& name,
                               std::shared_ptr<const std::vector<float>> samples, float volume) = 0;
};

} // namespace voxlane
