// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EQ.h"
#include "engine/EQSettings.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace voxlane::EQCurveRules {

// The curve is always drawn for this rate, whatever the device runs at.
inline constexpr double sampleRate = 48000;
// Points of the response curve (steps 0 … 90) and its drawn range.
inline constexpr int curveSteps = 90;
inline constexpr double drawnLimitDb = 14;
// What one drag may set a band to.
inline constexpr float dragLimitDb = 12;

// The plot area of the curve: `height` is the view's height less the label strip.
struct Plot {
    double width = 0;
    double height = 0;
    double minF = 20;
    double maxF = 20000;
};

struct Point {
    double x = 0;
    double y = 0;
};

// Logarithmic frequency axis with an 8-point inset on either side.
double x(const Plot& plot, double frequency);
// 0 dB in the middle, ±12 dB 10 points from the top and bottom edges.
double y(const Plot& plot, double db);
// The gain a pointer at height `y` asks for, clamped to ±12 dB.
float dbAt(const Plot& plot, double y);

// A band gain as stored: the nearest 0.5 dB step (halves away from zero), and exactly 0 below
// ±0.75 dB, so the smallest gain that is not 0 is ±1.0 dB.
float rounded(float db);

// The band whose handle lies closest to `x`; on equal distance the lower band.
std::size_t nearestBand(const Plot& plot, double x);

// The response curve: 91 points from minF to maxF, each the cascade's dB at 48 kHz clamped to
// ±14 dB.
std::array<Point, curveSteps + 1> curvePoints(const Plot& plot, std::span<const float> gains);
// The handles at EQ::handleFrequencies, at the unclamped response there.
std::array<Point, EQ::bandCount> handlePoints(const Plot& plot, std::span<const float> gains);

// Result of setting one band.
struct BandChange {
    bool changed = false;     // the stored value differs from before
    bool reachedZero = false; // changed, and the band is now 0 dB (the alignment feedback)
};
// Rounds `db` (see rounded) and writes it into `gains[band]` when the band exists and the value
// differs. `gains` is first widened to five bands (missing bands are 0 dB).
BandChange setBand(std::vector<float>& gains, int band, float db);

// The value label shown while a band is dragged: "+3.5 dB", the number in the locale's way.
std::string valueLabel(float db);

// One press of an arrow key on a band at `db`: 0.5 dB up (`direction` 1) or down (-1), within
// ±12 dB. From 0 dB it goes to ±1 dB at once, the smallest gain that is stored.
float keyStep(float db, int direction);
// Where the value label and the band names are centred (kept inside the view).
Point valueLabelCentre(const Plot& plot, Point handle);
double bandLabelX(const Plot& plot, std::size_t band);

// The accessibility value: "Low 6 dB, 250 2 dB, …", gains truncated to integers.
std::string accessibilityValue(std::span<const float> gains);

// What the editor stores for edited gains: the matching preset, else `custom`.
EQSettings settingsFor(std::span<const float> gains);

} // namespace voxlane::EQCurveRules
