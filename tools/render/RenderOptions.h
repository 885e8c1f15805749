// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EQPreset.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace voxlane {

// The command line of voxlane-render, checked and converted.
struct RenderOptions {
    static constexpr int defaultBlock = 512;
    static constexpr int maxBlock = 16384;      // the chain's largest block
    static constexpr float maxGain = 1000.0f;   // +60 dB; far beyond any sensible setting
    static constexpr float maxBandGain = 24.0f; // dB, each way; twice the editor's range

    float gain = 1.0f; // initial linear gain, 0 … maxGain
    float duck = 1.0f; // initial ducking factor, 0 … 1
    std::optional<EQPreset> preset;
    std::optional<std::array<float, 5>> bandGains; // --gains, in dB
    int block = defaultBlock;
    bool meter = false;
    bool help = false; // --help: print usage and stop; nothing else is filled in
    std::string input;
    std::string output;

    // The EQ gains to install before the first block, or none when the EQ stays bypassed.
    std::optional<std::array<float, 5>> eqGains() const;

    struct Parsed;
    // Parses the arguments after the program name.
    static Parsed parse(std::span<const std::string_view> args);
    static Parsed parse(int argc, const char* const* argv);

    static std::string_view usage();
};

// Either the options or a one-line reason why the command line was refused.
struct RenderOptions::Parsed {
    std::optional<RenderOptions> options;
    std::string error;
};

} // namespace voxlane
