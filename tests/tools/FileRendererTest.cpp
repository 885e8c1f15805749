// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileRenderer.h"

#include "engine/EQPreset.h"
#include "engine/TapState.h"
#include "support/SoundFile.h"
#include "support/TempDirectory.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace voxlane {
namespace {

using test::SoundFile;
using test::TempDirectory;

RenderOptions optionsFor(const std::string& in, const std::string& out, int block) {
    RenderOptions o;
    o.input = in;
    o.output = out;
    o.block = block;
    o.gain = 2.5f; // loud enough for the limiter to act
    o.preset = EQPreset::voice;
    return o;
}

// The file loop must hand the chain exactly the file's frames, in order, in blocks of the
// chosen size, across its own read chunks, and write every frame it gets back.
TEST(FileRenderer, MatchesTheChainRunOverTheSamplesInMemory) {
    TempDirectory dir;
    const long long frames = 40000; // no multiple of any chunk below
    const SoundFile input = SoundFile::tonesAndNoise(2, 48000, frames, 0.8f);
    input.write(dir / "in.wav", SF_FORMAT_FLOAT);
    TapState tap(2.5f, 1.0f, 48000);
    const auto& voice = EQPresets::gains(EQPreset::voice);
    tap.setEQ(voice);
    std::vector<float> expected(2 * frames);
    for (long long start = 0; start < frames; start += 512) {
        const long long n = std::min(512LL, frames - start);
        AudioBuffer in{2, static_cast<std::uint32_t>(8 * n),
                       const_cast<float*>(input.samples.data()) + 2 * start};
        AudioBuffer out{2, static_cast<std::uint32_t>(8 * n), expected.data() + 2 * start};
        const BufferList inList{1, &in}, outList{1, &out};
        tap.render(&inList, &outList, 1, true);
    }
    ASSERT_LT(tap.load(TapState::limiterFloor), 0.6f);
    for (int block : {512, 1000, 777, 16384}) {
        const FileRenderer renderer(optionsFor(dir / "in.wav", dir / "out.wav", block));
        EXPECT_EQ(renderer.chunkFrames() % block, 0);
        const auto result = renderer.run();
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.frames, frames);
        // Constant targets: the block size does not change a single sample.
        EXPECT_EQ(SoundFile::read(dir / "out.wav").samples, expected) << "block " << block;
        EXPECT_EQ(result.peak, tap.load(TapState::peakLevel));
        EXPECT_EQ(result.limiterFloor, tap.load(TapState::limiterFloor));
    }
}

TEST(FileRenderer, CancellingLeavesNoFileAndKeepsTheOldOutput) {
    TempDirectory dir;
    SoundFile::tonesAndNoise(2, 48000, 100000, 0.5f).write(dir / "in.wav", SF_FORMAT_PCM_16);
    std::ofstream(dir / "out.wav") << "old";
    int polls = 0;
    const auto result = FileRenderer(optionsFor(dir / "in.wav", dir / "out.wav", 512)).run([&] {
        return ++polls == 3; // after two chunks have been written
    });
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "interrupted");
    EXPECT_EQ(polls, 3);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "out.wav"}));
    EXPECT_EQ(dir.read("out.wav"), "old");
}

// A mono file is read whole and fills both channels alike (the chain's part is TapState's); an
// empty one gives an empty output at its rate.
TEST(FileRenderer, MonoFillsBothChannelsAndAnEmptyFileGivesAnEmptyOutput) {
    TempDirectory dir;
    SoundFile::tonesAndNoise(1, 48000, 20000, 0.5f).write(dir / "mono.wav", SF_FORMAT_FLOAT);
    ASSERT_TRUE(FileRenderer(optionsFor(dir / "mono.wav", dir / "m.wav", 1000)).run().ok);
    const SoundFile fromMono = SoundFile::read(dir / "m.wav");
    ASSERT_EQ(std::pair(fromMono.channels, fromMono.frames()), std::pair(2, 20000LL));
    EXPECT_GT(fromMono.peak(), 0.1f);
    for (long long i = 0; i < fromMono.frames(); ++i)
        ASSERT_EQ(fromMono.at(i, 0), fromMono.at(i, 1)) << "frame " << i;
    SoundFile empty;
    empty.channels = 1;
    empty.sampleRate = 22050;
    empty.write(dir / "in.wav", SF_FORMAT_PCM_16);
    const auto result = FileRenderer(optionsFor(dir / "in.wav", dir / "out.wav", 512)).run();
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(std::tuple(result.frames, result.peak, result.limiterFloor),
              std::tuple(0LL, 0.0f, 1.0f));
    const SoundFile output = SoundFile::read(dir / "out.wav");
    EXPECT_EQ(std::pair(output.frames(), output.sampleRate), std::pair(0LL, 22050));
}

// A WAV header counts bytes in 32 bits: an output that cannot fit (or whose size is unknown) is
// written as RF64 instead of with a header whose sizes wrapped.
TEST(FileRenderer, OutputsBeyondWhatAWavHeaderDescribesAreRF64) {
    EXPECT_LE(FileRenderer::maxWavFrames * 8 + 4096, 0xffffffffLL);
    for (sf_count_t frames : {sf_count_t(0), FileRenderer::maxWavFrames})
        EXPECT_EQ(FileRenderer::outputFormat(frames), SF_FORMAT_WAV | SF_FORMAT_FLOAT) << frames;
    for (sf_count_t frames : {FileRenderer::maxWavFrames + 1, SF_COUNT_MAX, sf_count_t(-1)})
        EXPECT_EQ(FileRenderer::outputFormat(frames), SF_FORMAT_RF64 | SF_FORMAT_FLOAT) << frames;
}

} // namespace
} // namespace voxlane
