// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace voxlane {

// One buffer of interleaved 32-bit float samples, as the audio server hands it to an IO
// procedure. `data` may be null and `numberChannels` 0 for streams that carry nothing this cycle.
struct AudioBuffer {
    std::uint32_t numberChannels = 0;
    std::uint32_t dataByteSize = 0;
    void* data = nullptr;
};

// A non-owning view of the buffers of one side of an IO cycle, in stream order.
struct BufferList {
    std::uint32_t numberBuffers = 0;
    AudioBuffer* buffers = nullptr;
};

} // namespace voxlane
