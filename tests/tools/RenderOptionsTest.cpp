// SPDX-License-Identifier: GPL-3.0-or-later
#include "RenderOptions.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

namespace voxlane {
namespace {

RenderOptions::Parsed parse(std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> list(args);
    return RenderOptions::parse(list);
}

RenderOptions parsedOk(std::initializer_list<std::string_view> args) {
    const RenderOptions::Parsed parsed = parse(args);
    EXPECT_TRUE(parsed.options) << parsed.error;
    return parsed.options.value_or(RenderOptions{});
}

TEST(RenderOptions, ReadsEveryOptionInEitherSpelling) {
    EXPECT_FALSE(parsedOk({"in.flac", "out.wav"}).eqGains()); // without options: EQ bypassed
    const RenderOptions o = parsedOk({"--gain", "1.5", "--duck=0.25", "--block", "16384", "--meter",
                                      "in.wav", "--preset=bass", "out.wav"});
    EXPECT_EQ(o.gain, 1.5f);
    EXPECT_EQ(o.duck, 0.25f);
    EXPECT_EQ(o.block, 16384);
    EXPECT_TRUE(o.meter);
    ASSERT_TRUE(o.eqGains());
    EXPECT_EQ(*o.eqGains(), EQPresets::gains(EQPreset::bass));
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "out.wav");

    const RenderOptions g = parsedOk({"--gains", "-5,-1.5,+1.5,4,1e0", "a", "b"});
    ASSERT_TRUE(g.eqGains());
    EXPECT_EQ(*g.eqGains(), (std::array<float, 5>{-5.0f, -1.5f, 1.5f, 4.0f, 1.0f}));

    // Bounds are inclusive; "--" lets file names start with a dash; the last repeat wins.
    const RenderOptions edge =
        parsedOk({"--gain", "0", "--gain", "1000", "--duck", "0", "--block", "1", "--gains",
                  "-24,24,0,0,0", "--", "-in.wav", "--out.wav"});
    EXPECT_EQ(edge.gain, 1000.0f);
    EXPECT_EQ(edge.duck, 0.0f);
    EXPECT_EQ(edge.block, 1);
    EXPECT_EQ(edge.input, "-in.wav");
    EXPECT_EQ(edge.output, "--out.wav");
}

TEST(RenderOptions, HelpStopsTheParse) {
    for (auto args : {std::vector<std::string_view>{"--help"},
                      std::vector<std::string_view>{"--gain", "2", "-h", "--bogus"}}) {
        const RenderOptions::Parsed parsed = RenderOptions::parse(args);
        ASSERT_TRUE(parsed.options);
        EXPECT_TRUE(parsed.options->help);
    }
}

TEST(RenderOptions, RefusesMalformedNumbers) {
    const std::vector<std::vector<std::string_view>> bad{
        {"--gain", "", "a", "b"},
        {"--gain", "abc", "a", "b"},
        {"--gain", "1.5x", "a", "b"},
        {"--gain", " 1", "a", "b"},
        {"--gain", "nan", "a", "b"},
        {"--gain", "inf", "a", "b"},
        {"--gain", "-0.5", "a", "b"},
        {"--gain", "1001", "a", "b"},
        {"--gain", "1e39", "a", "b"},
        {"--gain", "0x10", "a", "b"},
        {"--gain", "+-1", "a", "b"},
        {"--duck", "1.01", "a", "b"},
        {"--duck", "-1", "a", "b"},
        {"--duck=", "a", "b"},
        {"--block", "0", "a", "b"},
        {"--block", "16385", "a", "b"},
        {"--block", "512.0", "a", "b"},
        {"--block", "-512", "a", "b"},
        {"--block", "99999999999", "a", "b"},
        {"--gains", "1,2,3,4", "a", "b"},
        {"--gains", "1,2,3,4,5,6", "a", "b"},
        {"--gains", "1,2,,4,5", "a", "b"},
        {"--gains", "1,2,3,4,5,", "a", "b"},
        {"--gains", "1,2,3,4,nan", "a", "b"},
        {"--gains", "1,2,3,4,24.5", "a", "b"},
        {"--gains", "1;2;3;4;5", "a", "b"},
    };
    for (const auto& args : bad) {
        const RenderOptions::Parsed parsed = RenderOptions::parse(args);
        EXPECT_FALSE(parsed.options) << args[0] << " " << args[1];
        EXPECT_FALSE(parsed.error.empty());
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
    }
}

TEST(RenderOptions, RefusesBadCombinationsAndArguments) {
    struct Case {
        std::vector<std::string_view> args;
        std::string_view mentions;
    };
    const std::vector<Case> cases{
        {{"--preset", "loud", "a", "b"}, "loud"},
        {{"--preset", "Voice", "a", "b"}, "Voice"}, // raw values are lower case
        {{"--preset", "voice", "--gains", "0,0,0,0,0", "a", "b"}, "--gains"},
        {{"--gains", "0,0,0,0,0", "--preset", "off", "a", "b"}, "--preset"},
        {{}, "missing"},
        {{"in.wav"}, "missing output"},
        {{"a", "b", "c"}, "'c'"},
        {{"--bogus", "a", "b"}, "--bogus"},
        {{"-x", "a", "b"}, "-x"},
        {{"-", "b"}, "'-'"},
        {{"--meter=1", "a", "b"}, "--meter"},
        {{"a", "b", "--gain"}, "needs a value"},
        {{"", "b"}, "empty"},
    };
    for (const Case& c : cases) {
        const RenderOptions::Parsed parsed = RenderOptions::parse(c.args);
        EXPECT_FALSE(parsed.options);
        EXPECT_NE(parsed.error.find(c.mentions), std::string::npos)
            << "error '" << parsed.error << "' should mention " << c.mentions;
    }
}

} // namespace
} // namespace voxlane
