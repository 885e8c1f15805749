// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/EQ.h"

#include "engine/EQSettings.h"

#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <numbers>
#include <vector>

namespace voxlane {
namespace {

double sectionDb(const Biquad& q, double f, double fs) {
    const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * f / fs);
    return 20 * std::log10(std::abs((q.b0 + q.b1 * z1 + q.b2 * z1 * z1) /
                                    (1.0 + q.a1 * z1 + q.a2 * z1 * z1)));
}

// Each peak reaches its gain at its centre and each shelf far beyond its corner; the cascade is
// the sum of its sections in dB. (The filters are compared with sox's in RenderVsSoxTest.)
TEST(EQDesign, BandsReachTheirGainsAndTheCascadeAddsUp) {
    const std::vector<float> gains{6.0f, -4.0f, 3.0f, -7.5f, 9.0f};
    const auto sections = EQ::biquads(gains, 48000);
    for (int band = 1; band < 4; ++band)
        EXPECT_NEAR(sectionDb(sections[band], EQ::frequencies[band], 48000), gains[band], 1e-6);
    EXPECT_NEAR(sectionDb(sections[0], 10, 48000), 6.0, 0.01);
    EXPECT_NEAR(sectionDb(sections[4], 24000, 48000), 9.0, 1e-6);
    double sum = 0;
    for (const auto& q : sections)
        sum += sectionDb(q, 2500, 48000);
    EXPECT_NEAR(EQ::response(gains, 2500, 48000), sum, 1e-9);
}

TEST(EQDesign, MissingAndZeroGainsAreUnity) {
    for (const auto& q : EQ::biquads({}, 48000)) {
        EXPECT_DOUBLE_EQ(q.b0, 1.0);
        EXPECT_DOUBLE_EQ(q.b1, q.a1);
        EXPECT_DOUBLE_EQ(q.b2, q.a2);
    }
    for (double f : {20.0, 1000.0, 19000.0})
        EXPECT_NEAR(EQ::response({}, f, 48000), 0.0, 1e-12);
    EXPECT_EQ(EQ::biquads(std::vector<float>{3, -2, 5}, 48000),
              EQ::biquads(std::vector<float>{3, -2, 5, 0, 0}, 48000));
}

TEST(EQDesign, HighBandsStayBelowNyquistAtLowRates) {
    const std::vector<float> gains{0, 0, 0, 0, 6};
    const auto at16k = EQ::biquads(gains, 16000);
    // The high shelf's corner moves to 0.45 × 16000 = 7200 Hz, where it reaches half its gain.
    EXPECT_NEAR(sectionDb(at16k[4], 7200, 16000), 3.0, 1e-9);
    // At 48 kHz nothing moves.
    EXPECT_NEAR(sectionDb(EQ::biquads(gains, 48000)[4], 10000, 48000), 3.0, 1e-9);
}

TEST(EQPresetCatalogue, StoredNamesStayAndRoundTripCaseSensitively) {
    std::vector<std::string_view> raw;
    for (EQPreset p : EQPresets::allCases) {
        raw.push_back(EQPresets::rawValue(p));
        EXPECT_EQ(EQPresets::fromRawValue(EQPresets::rawValue(p)), p);
    }
    EXPECT_EQ(raw, (std::vector<std::string_view>{"off", "voice", "bass", "clarity", "warmth",
                                                  "night", "custom"}));
    EXPECT_FALSE(EQPresets::fromRawValue("Voice").has_value());
    EXPECT_EQ(EQPresets::gains(EQPreset::custom), EQPresets::gains(EQPreset::off));
}

TEST(EQSettingsCoding, RoundTripsAndRejectsBadRecords) {
    const EQSettings custom{EQPreset::custom, {1.5f, -2, 0, 3.25f, 12}};
    const nlohmann::json encoded = custom;
    EXPECT_EQ(encoded["preset"], "custom");
    EXPECT_EQ(encoded.get<EQSettings>(), custom);
    for (const char* bad : {R"({"preset": "loud", "gains": [0,0,0,0,0]})", R"({"preset": "off"})",
                            R"({"preset": "off", "gains": ["1"]})", R"([1, 2])"})
        EXPECT_THROW(nlohmann::json::parse(bad).get<EQSettings>(), nlohmann::json::exception)
            << bad;
}

} // namespace
} // namespace voxlane
