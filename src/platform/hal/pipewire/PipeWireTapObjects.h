// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AggregateDescription.h"
#include "platform/hal/Hal.h"
#include "platform/server/TapDescription.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace voxlane {

// The Hal objects of Voxlane's own taps on PipeWire: process taps, aggregate devices and their
// IO procedures, with the properties the Hal shows for them. Only records: what runs on the
// server is PipeWireTapHost's. Not thread-safe (the Hal guards it).
//
//   process tap          its description and the pids it stands for; format: interleaved
//                        stereo 32-bit float at the server's rate
//   aggregate device     uid, name, main sub-device (a sink, by node.name), its taps; input
//                        streams: the sub-device's own input streams, then one per tap;
//                        output streams: the sub-device's
//   IO procedure         its block and its input stream usage (honoured when it starts)
class PipeWireTapObjects {
public:
    struct Tap {
        AudioObjectID id = 0;
        TapDescription description;
        std::set<pid_t> pids; // tapped, or excluded for a global tap
        double rate = 48000;
    };
    struct Proc {
        AudioDeviceIOProcID id = 0;
        std::shared_ptr<const AudioDeviceIOBlock> block;
        std::vector<std::uint32_t> usage; // one flag per input stream
        std::uint64_t run = 0;            // the running streams' id, 0 when stopped
    };
    struct Aggregate {
        AudioObjectID id = 0;
        AggregateDescription description;
        std::string device; // node.name of the sub-device played to
        double rate = 48000;
        std::uint32_t deviceInputs = 0;
        std::uint32_t deviceOutputs = 1;
        std::vector<AudioObjectID> taps;
        std::vector<Proc> procs;
    };

    std::map<AudioObjectID, Tap> taps;
    std::map<AudioObjectID, Aggregate> aggregates;
    AudioDeviceIOProcID nextProc = 1;

    bool owns(AudioObjectID object) const;
    Aggregate* aggregate(AudioObjectID id);
    Proc* proc(AudioObjectID aggregate, AudioDeviceIOProcID proc);
    std::uint32_t inputStreams(const Aggregate& a) const {
        return a.deviceInputs + std::uint32_t(a.taps.size());
    }
    // Takes a destroyed tap out of the aggregate devices that carry it (with its usage flag).
    // The runs that were hearing it.
    std::vector<std::uint64_t> removeTap(AudioObjectID tap);

    // Properties of these objects (the Hal's semantics: status codes, sizes).
    bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) const;
    OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                bool* out) const;
    OSStatus getPropertyDataSize(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                 std::uint32_t* outSize) const;
    OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::uint32_t* ioSize, void* data) const;
    OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                             std::uint32_t size, const void* data);
    OSStatus getPropertyString(AudioObjectID object, const AudioObjectPropertyAddress& address,
                               std::optional<std::string>* out) const;

private:
    bool isStreamUsage(AudioObjectID object, const AudioObjectPropertyAddress& address) const;
};

} // namespace voxlane
