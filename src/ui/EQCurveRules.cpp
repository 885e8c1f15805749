// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EQCurveRules.h"

#include "ui/Translations.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace voxlane::EQCurveRules {

double x(const Plot& plot, double frequency) {
    return 8 + (plot.width - 16) * std::log10(frequency / plot.minF) /
                   std::log10(plot.maxF / plot.minF);
}

double y(const Plot& plot, double db) {
    const double mid = plot.height / 2;
    return mid - (mid - 10) * db / 12;
}

float dbAt(const Plot& plot, double y) {
    const double mid = plot.height / 2;
    if (!(mid - 10 > 0)) return 0;
    const double db = (mid - y) / (mid - 10) * 12;
    return static_cast<float>(std::clamp(db, -double(dragLimitDb), double(dragLimitDb)));
}

float rounded(float db) {
    const float r = std::round(db * 2.0f) / 2.0f;
    return std::fabs(r) < 0.75f ? 0.0f : r;
}

std::size_t nearestBand(const Plot& plot, double px) {
    std::size_t best = 0;
    double bestDistance = std::fabs(px - x(plot, EQ::handleFrequencies[0]));
    for (std::size_t i = 1; i < EQ::bandCount; ++i) {
        const double d = std::fabs(px - x(plot, EQ::handleFrequencies[i]));
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

std::array<Point, curveSteps + 1> curvePoints(const Plot& plot, std::span<const float> gains) {
    const auto sections = EQ::biquads(gains, sampleRate);
    std::array<Point, curveSteps + 1> points;
    for (int step = 0; step <= curveSteps; ++step) {
        const double f = plot.minF * std::pow(plot.maxF / plot.minF, double(step) / curveSteps);
        const double db =
            std::clamp(EQ::cascadeResponse(sections, f, sampleRate), -drawnLimitDb, drawnLimitDb);
        points[step] = {x(plot, f), y(plot, db)};
    }
    return points;
}

std::array<Point, EQ::bandCount> handlePoints(const Plot& plot, std::span<const float> gains) {
    const auto sections = EQ::biquads(gains, sampleRate);
    std::array<Point, EQ::bandCount> points;
    for (std::size_t i = 0; i < EQ::bandCount; ++i) {
        const double f = EQ::handleFrequencies[i];
        points[i] = {x(plot, f), y(plot, EQ::cascadeResponse(sections, f, sampleRate))};
    }
    return points;
}

BandChange setBand(std::vector<float>& gains, int band, float db) {
    if (band < 0 || band >= int(EQ::bandCount)) return {};
    if (gains.size() < EQ::bandCount) gains.resize(EQ::bandCount, 0.0f);
    const float value = rounded(db);
    if (gains[band] == value) return {};
    gains[band] = value;
    return {true, value == 0.0f};
}

float keyStep(float db, int direction) {
    const float step = direction > 0 ? 0.5f : -0.5f;
    const float next = std::abs(db) < 0.75f ? 2 * step : db + step;
    return std::clamp(next, -dragLimitDb, dragLimitDb);
}

std::string valueLabel(float db) {
    // The number as the user's locale writes it ("+3,5 dB" in German).
    QString number = QLocale().toString(double(db), 'f', 1);
    if (!(db < 0)) number.prepend(QLatin1Char('+'));
    return arg(translate("EQCurveRules", "%1 dB"), number.toStdString());
}

Point valueLabelCentre(const Plot& plot, Point handle) {
    return {std::clamp(handle.x, 28.0, std::max(28.0, plot.width - 28)),
            std::max(handle.y - 16, 10.0)};
}

double bandLabelX(const Plot& plot, std::size_t band) {
    return std::clamp(x(plot, EQ::handleFrequencies[band]), 14.0, std::max(14.0, plot.width - 14));
}

std::string accessibilityValue(std::span<const float> gains) {
    std::string text;
    for (std::size_t i = 0; i < EQ::bandCount; ++i) {
        const float g = i < gains.size() ? gains[i] : 0.0f;
        if (i > 0) text += ", ";
        text += arg(translate("EQCurveRules", "%1 %2 dB"),
                    translate("EQ", std::string(EQ::labels[i]).c_str()),
                    std::to_string(static_cast<long long>(g)));
    }
    return text;
}

EQSettings settingsFor(std::span<const float> gains) {
    return {EQ::matchingPreset(gains).value_or(EQPreset::custom),
            std::vector<float>(gains.begin(), gains.end())};
}

} // namespace voxlane::EQCurveRules
