// SPDX-License-Identifier: GPL-3.0-or-later
#include "RenderOptions.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace voxlane {
namespace {

// A whole argument as one finite number; a leading '+' is allowed (dB values are often written
// with their sign). Rejects empty text, spaces, trailing characters, NaN, infinities and values
// beyond the range of a float.
std::optional<float> parseNumber(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    float value = 0.0f;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> parseInteger(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

RenderOptions::Parsed fail(std::string error) {
    return {std::nullopt, std::move(error)};
}

} // namespace

std::optional<std::array<float, 5>> RenderOptions::eqGains() const {
    if (bandGains) return bandGains;
    if (preset) return EQPresets::gains(*preset);
    return std::nullopt;
}

RenderOptions::Parsed RenderOptions::parse(int argc, const char* const* argv) {
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return parse(args);
}

RenderOptions::Parsed RenderOptions::parse(std::span<const std::string_view> args) {
    RenderOptions options;
    std::vector<std::string_view> positional;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            RenderOptions help;
            help.help = true;
            return {help, {}};
        }
        if (arg == "--meter") {
            options.meter = true;
            continue;
        }

        // Options with a value: "--name value" or "--name=value".
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const auto eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name != "--gain" && name != "--duck" && name != "--preset" && name != "--gains" &&
            name != "--block") {
            return fail("unknown option " + quoted(name));
        }
        if (!value) {
            if (i + 1 >= args.size()) return fail("option " + std::string(name) + " needs a value");
            value = args[++i];
        }

        if (name == "--gain" || name == "--duck") {
            const std::optional<float> number = parseNumber(*value);
            const float upper = name == "--gain" ? maxGain : 1.0f;
            if (!number || *number < 0.0f || *number > upper) {
                char range[32];
                std::snprintf(range, sizeof range, "%g", static_cast<double>(upper));
                return fail(std::string(name) + " must be a number from 0 to " + range + ", got " +
                            quoted(*value));
            }
            (name == "--gain" ? options.gain : options.duck) = *number;
        } else if (name == "--preset") {
            options.preset = EQPresets::fromRawValue(*value);
            if (!options.preset) {
                std::string known;
                for (EQPreset p : EQPresets::allCases)
                    known += (known.empty() ? "" : ", ") + std::string(EQPresets::rawValue(p));
                return fail("unknown preset " + quoted(*value) + " (known: " + known + ")");
            }
        } else if (name == "--gains") {
            std::array<float, 5> gains{};
            std::string_view rest = *value;
            std::size_t count = 0;
            bool ok = true;
            while (ok) {
                const std::size_t comma = rest.find(',');
                const std::optional<float> g = parseNumber(rest.substr(0, comma));
                ok = g && std::fabs(*g) <= maxBandGain && count < gains.size();
                if (ok) gains[count++] = *g;
                if (comma == std::string_view::npos) break;
                rest.remove_prefix(comma + 1);
            }
            if (!ok || count != gains.size()) {
                return fail("--gains must be five comma-separated dB values from -24 to 24, got " +
                            quoted(*value));
            }
            options.bandGains = gains;
        } else { // --block
            const std::optional<int> block = parseInteger(*value);
            if (!block || *block < 1 || *block > maxBlock) {
                return fail("--block must be a whole number of frames from 1 to " +
                            std::to_string(maxBlock) + ", got " + quoted(*value));
            }
            options.block = *block;
        }
    }

    if (options.preset && options.bandGains) return fail("--preset and --gains exclude each other");
    if (positional.size() < 2) {
        return fail(positional.empty() ? "missing input and output file" : "missing output file");
    }
    if (positional.size() > 2) return fail("unexpected argument " + quoted(positional[2]));
    if (positional[0].empty() || positional[1].empty()) return fail("empty file name");
    options.input = positional[0];
    options.output = positional[1];
    return {options, {}};
}

std::string_view RenderOptions::usage() {
    return R"(usage: voxlane-render [options] IN OUT

Runs Voxlane's signal chain (equaliser, gain and ducking, look-ahead limiter,
safety clamp, fade-in) over an audio file, block by block, as a tap would.
IN is any mono or stereo file libsndfile reads; OUT is written as a stereo
32-bit float WAV at IN's sample rate with IN's number of frames (RF64 when it
grows beyond 4 GiB). OUT must be a new or regular file other than IN.

options:
  --gain G        initial linear gain, 0 to 1000 (default 1)
  --duck D        initial ducking factor, 0 to 1 (default 1)
  --preset NAME   equaliser preset: off, voice, bass, clarity, warmth, night, custom
  --gains G0,G1,G2,G3,G4
                  equaliser band gains in dB (-24 to 24): low shelf 100 Hz,
                  peaks at 250 Hz, 1 kHz, 4 kHz, high shelf 10 kHz
  --block N       frames per block, 1 to 16384 (default 512)
  --meter         metering mode: OUT is silent, peak is the input's raw peak
  --help          show this text

Prints "frames=N peak=P limiterFloor=F" at the end (the output's peak and the
deepest limiter gain). Exit status 0 on success, 2 on any error; OUT is
replaced only by a complete file.
)";
}

} // namespace voxlane
