// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EQ.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace voxlane::EQ {
namespace {

Biquad normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

} // namespace

Sections biquads(std::span<const float> gains, double sampleRate) {
    Sections sections;
    for (std::size_t i = 0; i < bandCount; ++i) {
        const double g = i < gains.size() ? static_cast<double>(gains[i]) : 0.0;
        const double A = std::pow(10.0, g / 40.0);
        const double f = std::min(frequencies[i], 0.45 * sampleRate);
        const double w = 2.0 * std::numbers::pi * f / sampleRate;
        const double s = std::sin(w);
        const double c = std::cos(w);
        if (i == 0 || i == bandCount - 1) {
            const double alpha = (s / 2.0) * std::numbers::sqrt2;
            const double beta = 2.0 * std::sqrt(A) * alpha;
            if (i == 0) {
                sections[i] =
                    normalised(A * ((A + 1) - (A - 1) * c + beta), 2 * A * ((A - 1) - (A + 1) * c),
                               A * ((A + 1) - (A - 1) * c - beta), (A + 1) + (A - 1) * c + beta,
                               -2 * ((A - 1) + (A + 1) * c), (A + 1) + (A - 1) * c - beta);
            } else {
                sections[i] =
                    normalised(A * ((A + 1) + (A - 1) * c + beta), -2 * A * ((A - 1) + (A + 1) * c),
                               A * ((A + 1) + (A - 1) * c - beta), (A + 1) - (A - 1) * c + beta,
                               2 * ((A - 1) - (A + 1) * c), (A + 1) - (A - 1) * c - beta);
            }
        } else {
            const double alpha = s / 1.8; // Q = 0.9
            sections[i] = normalised(1 + alpha * A, -2 * c, 1 - alpha * A, 1 + alpha / A, -2 * c,
                                     1 - alpha / A);
        }
    }
    return sections;
}

double cascadeResponse(const Sections& sections, double frequency, double sampleRate) {
    const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
    const double c1 = std::cos(w), s1 = std::sin(w);
    const double c2 = std::cos(2 * w), s2 = std::sin(2 * w);
    double db = 0.0;
    for (const Biquad& q : sections) {
        const double nRe = q.b0 + q.b1 * c1 + q.b2 * c2;
        const double nIm = -(q.b1 * s1 + q.b2 * s2);
        const double dRe = 1.0 + q.a1 * c1 + q.a2 * c2;
        const double dIm = -(q.a1 * s1 + q.a2 * s2);
        double magnitude = std::sqrt((nRe * nRe + nIm * nIm) / (dRe * dRe + dIm * dIm));
        if (!(magnitude > 1e-9)) magnitude = 1e-9;
        db += 20.0 * std::log10(magnitude);
    }
    return db;
}

double response(std::span<const float> gains, double frequency, double sampleRate) {
    return cascadeResponse(biquads(gains, sampleRate), frequency, sampleRate);
}

std::optional<EQPreset> matchingPreset(std::span<const float> gains) {
    for (EQPreset preset : EQPresets::allCases) {
        if (preset == EQPreset::custom) continue;
        const auto& presetGains = EQPresets::gains(preset);
        const std::size_t n = std::min(gains.size(), presetGains.size());
        bool matches = true;
        for (std::size_t i = 0; i < n && matches; ++i) {
            matches = std::fabs(gains[i] - presetGains[i]) < 0.05f;
        }
        if (matches) return preset;
    }
    return std::nullopt;
}

} // namespace voxlane::EQ
