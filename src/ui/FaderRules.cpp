// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FaderRules.h"

#include "ui/Translations.h"

#include <algorithm>
#include <cmath>

namespace voxlane::FaderRules {

std::optional<float> valueAt(double x, double width, float maximum) {
    if (!(width > 0)) return std::nullopt;
    float v = std::clamp(static_cast<float>(maximum * (x / width)), 0.0f, std::max(maximum, 0.0f));
    if (maximum > 1.0f && std::fabs(v - 1.0f) < maximum * unitySnapFraction) v = 1.0f;
    return v;
}

float incremented(float value, float maximum) {
    return std::min(value + step, maximum);
}

int wheelSteps(int& turn) {
    constexpr int notch = 120;
    const int steps = turn / notch; // towards zero: the rest keeps its sign
    turn -= steps * notch;
    return steps;
}

float decremented(float value) {
    return std::max(value - step, 0.0f);
}

std::string accessibilityValue(float value) {
    return arg(translate("FaderRules", "%1 percent"),
               std::to_string(std::llround(static_cast<double>(value) * 100.0)));
}

std::optional<double> unityX(double width, float maximum) {
    if (maximum <= 1.0f) return std::nullopt;
    return width / maximum;
}

std::vector<Segment> fillSegments(double end, double width, float maximum) {
    std::vector<Segment> segments;
    end = std::clamp(end, 0.0, std::max(width, 0.0));
    const double unity = unityX(width, maximum).value_or(width);
    if (std::min(end, unity) > 0) segments.push_back({0, std::min(end, unity), false});
    if (end > unity) segments.push_back({unity, end, true});
    return segments;
}

double meterEnd(double valueX, std::optional<float> level) {
    if (!level) return valueX;
    const float l = *level >= 0.0f ? std::min(*level, 1.0f) : 0.0f; // NaN counts as silence
    return valueX * l;
}

} // namespace voxlane::FaderRules
