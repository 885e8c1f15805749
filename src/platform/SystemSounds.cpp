// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SystemSounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace voxlane {

namespace {

constexpr double rate = 48000;

// A decaying sine: a struck, bell-like note.
SystemSounds::Samples ping(double frequency, double seconds, double decay, double overtone) {
    auto samples = std::make_shared<std::vector<float>>(std::size_t(rate * seconds));
    const double attack = 0.002 * rate;
    for (std::size_t i = 0; i < samples->size(); ++i) {
        const double t = double(i) / rate;
        const double envelope = std::min(1.0, double(i) / attack) * std::exp(-t / decay);
        const double tone = std::sin(2 * std::numbers::pi * frequency * t) +
                            overtone * std::sin(2 * std::numbers::pi * 2.76 * frequency * t);
        (*samples)[i] = float(0.8 * envelope * tone / (1 + overtone));
    }
    return samples;
}

} // namespace

std::map<std::string, SystemSounds::Samples> SystemSounds::builtIn() {
    static const std::map<std::string, Samples> sounds = {
        {"tick", ping(2093.0, 0.12, 0.025, 0.3)}, // a short high tick
        {"pop", ping(523.0, 0.08, 0.015, 0.1)},   // a soft low pop
    };
    return sounds;
}

SystemSounds::SystemSounds(AudioServer& server, std::map<std::string, Samples> catalogue)
    : server_(server), catalogue_(std::move(catalogue)) {}

bool SystemSounds::play(const std::string& name, float volume) {
    auto it = catalogue_.find(name);
    if (it == catalogue_.end()) return false;
    return server_.playSound(name, it->second, std::clamp(volume, 0.0f, 1.0f)) == ServerError::none;
}

} // namespace voxlane
