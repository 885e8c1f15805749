// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AggregateDescription.h"
#include "platform/server/AudioServer.h"
#include "platform/server/ServerModel.h"
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

// Voxlane's own objects on PipeWire: process taps, aggregate devices and their render
// callbacks, as records. What runs on the server is PipeWireTapHost's. Not thread-safe (the
// server guards it).
//
//   process tap          its description and the pids it stands for; format: interleaved
//                        stereo 32-bit float at the server's rate
//   aggregate device     uid, name, main sub-device (a sink, by node.name), its taps; input
//                        streams: the sub-device's own input streams, then one (stereo) per tap;
//                        output streams: the sub-device's. In the model as an unlisted device.
//   render callback      its block and its input stream usage (honoured when it starts)
class PipeWireTapObjects {
public:
    struct Tap {
        ObjectId id = noObject;
        TapDescription description;
        std::set<pid_t> pids; // tapped, or excluded for a global tap
        double rate = 48000;
    };
    struct Render {
        RenderId id = 0;
        std::shared_ptr<const RenderBlock> block;
        std::vector<bool> usage; // one flag per input stream
        std::uint64_t run = 0;   // the running streams' id, 0 when stopped
    };
    struct Aggregate {
        ObjectId id = noObject;
        AggregateDescription description;
        std::string device; // node.name of the sub-device played to
        double rate = 48000;
        std::vector<std::uint32_t> deviceInputs;  // channels of the sub-device's input streams
        std::vector<std::uint32_t> deviceOutputs; // … and of its output streams
        std::vector<ObjectId> taps;
        std::vector<Render> renders;
    };

    std::map<ObjectId, Tap> taps;
    std::map<ObjectId, Aggregate> aggregates;
    RenderId nextRender = 1;

    Aggregate* aggregate(ObjectId id);
    Render* render(ObjectId aggregate, RenderId render);
    std::uint32_t inputStreams(const Aggregate& a) const {
        return std::uint32_t(a.deviceInputs.size() + a.taps.size());
    }
    // Takes a destroyed tap out of the aggregate devices that carry it (with its usage flag).
    // The runs that were hearing it.
    std::vector<std::uint64_t> removeTap(ObjectId tap);

    // What a tap delivers.
    std::optional<StreamFormat> format(ObjectId tap) const;
    // Which input streams a render callback receives; a change shows when it starts next. Flags
    // are taken in stream order, as far as both lists go.
    std::optional<std::vector<bool>> inputUsage(ObjectId aggregate, RenderId render) const;
    ServerError setInputUsage(ObjectId aggregate, RenderId render, const std::vector<bool>& usage);

    // Adds the aggregate devices to a model, unlisted.
    void addTo(ServerModel& model) const;
};

} // namespace voxlane
