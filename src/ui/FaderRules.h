// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace voxlane::FaderRules {

// Above 1 the fader snaps to exactly 1.0 within maximum × this (0.07 on a 0…2 app fader).
inline constexpr float unitySnapFraction = 0.035f;
// One accessibility or keyboard step.
inline constexpr float step = 0.05f;

// The value for a pointer at `x` inside a track `width` wide: maximum × x / width, clamped to
// 0…maximum, then snapped to 1.0 when maximum > 1 and it lies within the snap zone. None for a
// track of no width.
std::optional<float> valueAt(double x, double width, float maximum);

// Whether moving from `previous` to `next` arrives at 100 % (the alignment feedback plays once
// per arrival).
inline bool arrivesAtUnity(float previous, float next) {
    return next == 1.0f && previous != 1.0f;
}

float incremented(float value, float maximum);
float decremented(float value);

// The wheel: how many whole steps `turn` (in eighths of a degree, 120 a notch; positive is
// louder) makes; what is left of it stays in `turn` for the next event.
int wheelSteps(int& turn);

// "%lld percent" of value × 100 rounded.
std::string accessibilityValue(float value);

// One stretch of fill along the track, in track coordinates; `boost` marks the part past 100 %.
struct Segment {
    double from = 0;
    double to = 0;
    bool boost = false;
    bool operator==(const Segment&) const = default;
};

// The fill from the track's left end to `end`, split at the unity point (width / maximum when
// maximum > 1; no boost part otherwise). Empty stretches are left out.
std::vector<Segment> fillSegments(double end, double width, float maximum);

// Where the unity mark stands, or none when maximum ≤ 1.
std::optional<double> unityX(double width, float maximum);

// The meter layer's end: the value's position × level (level clamped to 0…1), or the value's
// position when there is no meter.
double meterEnd(double valueX, std::optional<float> level);

} // namespace voxlane::FaderRules
