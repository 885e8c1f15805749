// SPDX-License-Identifier: GPL-3.0-or-later
#include "RenderOptions.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <tuple>
#include <vector>

namespace voxlane {
namespace {

RenderOptions parsedOk(std::initializer_list<std::string_view> args) {
    const RenderOptions::Parsed parsed = RenderOptions::parse(std::vector<std::string_view>(args));
    EXPECT_TRUE(parsed.options) << parsed.error;
    return parsed.options.value_or(RenderOptions{});
}

TEST(RenderOptions, ReadsEveryOptionInEitherSpelling) {
    EXPECT_FALSE(parsedOk({"in.flac", "out.wav"}).eqGains()); // without options: EQ bypassed
    const RenderOptions o = parsedOk({"--gain", "1.5", "--duck=0.25", "--block", "16384", "--meter",
                                      "in.wav", "--preset=bass", "out.wav"});
    EXPECT_EQ(std::tie(o.gain, o.duck, o.block, o.meter, o.input, o.output),
              std::make_tuple(1.5f, 0.25f, 16384, true, "in.wav", "out.wav"));
    ASSERT_TRUE(o.eqGains());
    EXPECT_EQ(*o.eqGains(), EQPresets::gains(EQPreset::bass));
    // Bounds are inclusive; "--" lets file names start with a dash; the last repeat wins.
    const RenderOptions edge =
        parsedOk({"--gain", "0", "--gain", "1000", "--duck", "0", "--block", "1", "--gains",
                  "-24,+24,1e0,0,0", "--", "-in.wav", "--out.wav"});
    ASSERT_TRUE(edge.eqGains());
    EXPECT_EQ(*edge.eqGains(), (std::array<float, 5>{-24.0f, 24.0f, 1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(std::tie(edge.gain, edge.duck, edge.block, edge.input, edge.output),
              std::make_tuple(1000.0f, 0.0f, 1, "-in.wav", "--out.wav"));
    EXPECT_TRUE(parsedOk({"--gain", "2", "-h", "--bogus"}).help) << "help stops the parse";
}

TEST(RenderOptions, RefusesMalformedValuesAndBadCombinationsInOneLine) {
    const struct {
        std::vector<std::string_view> args;
        std::string_view mentions;
    } cases[] = {
        {{"--gain", "1001", "a", "b"}, "--gain"},
        {{"--block", "512.0", "a", "b"}, "--block"},
        {{"--gains", "1,2,3,4", "a", "b"}, "--gains"},
        {{"--preset", "voice", "--gains", "0,0,0,0,0", "a", "b"}, "--gains"},
        {{"a", "b", "c"}, "'c'"},
    };
    for (const auto& c : cases) {
        const RenderOptions::Parsed parsed = RenderOptions::parse(c.args);
        EXPECT_FALSE(parsed.options) << c.mentions;
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos)
            << "error '" << parsed.error << "' should mention " << c.mentions;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

} // namespace
} // namespace voxlane
