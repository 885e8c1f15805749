// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace voxlane {

// Basic types of the audio hardware abstraction. Object ids, selectors, scopes and status codes
// are 32-bit values; selectors, scopes, transport types and most status codes are four-character
// codes (see fourCC).
using AudioObjectID = std::uint32_t;
using AudioObjectPropertySelector = std::uint32_t;
using AudioObjectPropertyScope = std::uint32_t;
using AudioObjectPropertyElement = std::uint32_t;
using OSStatus = std::int32_t;
// Handle of an IO procedure registered on a device; 0 is never handed out.
using AudioDeviceIOProcID = std::uint64_t;

// The four characters of `code` packed big-endian into 32 bits: fourCC("dev#").
consteval std::uint32_t fourCC(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

struct AudioObjectPropertyAddress {
    AudioObjectPropertySelector mSelector = 0;
    AudioObjectPropertyScope mScope = 0;
    AudioObjectPropertyElement mElement = 0;

    friend bool operator==(const AudioObjectPropertyAddress&,
                           const AudioObjectPropertyAddress&) = default;
};

// The format of a stream or tap (40 bytes, the audio server's own layout).
struct AudioStreamBasicDescription {
    double mSampleRate = 0;
    std::uint32_t mFormatID = 0;
    std::uint32_t mFormatFlags = 0;
    std::uint32_t mBytesPerPacket = 0;
    std::uint32_t mFramesPerPacket = 0;
    std::uint32_t mBytesPerFrame = 0;
    std::uint32_t mChannelsPerFrame = 0;
    std::uint32_t mBitsPerChannel = 0;
    std::uint32_t mReserved = 0;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

// Value of kAudioDevicePropertyIOProcStreamUsage: the IO procedure it applies to, the number of
// streams and one on/off flag per stream. The block is variable-sized: use
// `ioProcStreamUsageSize(n)` bytes for n streams and reach flag i with streamUsageFlag /
// setStreamUsageFlag.
struct AudioHardwareIOProcStreamUsage {
    AudioDeviceIOProcID mIOProc = 0;
    std::uint32_t mNumberStreams = 0;
    std::uint32_t mStreamIsOn[1] = {0};
};

constexpr std::size_t ioProcStreamUsageHeaderSize =
    offsetof(AudioHardwareIOProcStreamUsage, mStreamIsOn);
constexpr std::size_t ioProcStreamUsageSize(std::uint32_t streams) {
    return ioProcStreamUsageHeaderSize + std::size_t(streams) * sizeof(std::uint32_t);
}

inline AudioDeviceIOProcID streamUsageProc(const void* block) {
    AudioDeviceIOProcID proc = 0;
    std::memcpy(&proc, block, sizeof proc);
    return proc;
}

inline std::uint32_t streamUsageCount(const void* block) {
    std::uint32_t count = 0;
    std::memcpy(&count,
                static_cast<const std::byte*>(block) +
                    offsetof(AudioHardwareIOProcStreamUsage, mNumberStreams),
                sizeof count);
    return count;
}

inline void setStreamUsageHeader(void* block, AudioDeviceIOProcID proc, std::uint32_t count) {
    std::memcpy(block, &proc, sizeof proc);
    std::memcpy(static_cast<std::byte*>(block) +
                    offsetof(AudioHardwareIOProcStreamUsage, mNumberStreams),
                &count, sizeof count);
}

inline std::uint32_t streamUsageFlag(const void* block, std::uint32_t index) {
    std::uint32_t flag = 0;
    std::memcpy(&flag,
                static_cast<const std::byte*>(block) + ioProcStreamUsageHeaderSize +
                    std::size_t(index) * sizeof(std::uint32_t),
                sizeof flag);
    return flag;
}

inline void setStreamUsageFlag(void* block, std::uint32_t index, std::uint32_t flag) {
    std::memcpy(static_cast<std::byte*>(block) + ioProcStreamUsageHeaderSize +
                    std::size_t(index) * sizeof(std::uint32_t),
                &flag, sizeof flag);
}

} // namespace voxlane
