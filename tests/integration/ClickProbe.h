// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace voxlane::test {

// Measures how long a click takes from an application to a sink: a playback stream of this
// process writes a click every `period` frames, and a capture stream of the sink's monitor
// finds it again. Both stamp samples with the graph clock they share (the driver's position),
// so the difference is the path's latency in frames, whatever route the playback stream
// takes. Runs on a PipeWire connection of its own.
class ClickProbe {
public:
    ClickProbe(const std::string& sink, const std::string& nodeName, std::uint32_t period = 24000);
    ~ClickProbe();
    ClickProbe(const ClickProbe&) = delete;
    ClickProbe& operator=(const ClickProbe&) = delete;

    bool connected() const;
    // Latencies (frames) of the clicks found since the last call.
    std::vector<std::int64_t> takeLatencies();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace voxlane::test
