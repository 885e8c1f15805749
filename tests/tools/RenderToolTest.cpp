// SPDX-License-Identifier: GPL-3.0-or-later
// voxlane-render as a program: exit status, messages, and what it leaves on disk.
#include "support/ChildProcess.h"
#include "support/SoundFile.h"
#include "support/TempDirectory.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

namespace voxlane {
namespace {

using test::ChildProcess;
using test::SoundFile;
using test::TempDirectory;

ChildProcess render(const std::vector<std::string>& args, long long fileSizeLimit = 0) {
    return ChildProcess::run(VOXLANE_RENDER_PATH, args, fileSizeLimit);
}

struct Summary {
    long long frames = -1;
    float peak = -1.0f, limiterFloor = -1.0f;
};

// Parses "frames=N peak=P limiterFloor=F\n"; the printed values round-trip to the floats.
Summary summaryOf(const std::string& out) {
    Summary s;
    char tail = 0;
    if (std::sscanf(out.c_str(), "frames=%lld peak=%f limiterFloor=%f%c", &s.frames, &s.peak,
                    &s.limiterFloor, &tail) != 4 ||
        tail != '\n' || out.back() != '\n')
        ADD_FAILURE() << "not a summary line: " << out;
    return s;
}

bool isOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        SoundFile::tonesAndNoise(2, 48000, 48000, 0.5f).write(dir / "in.wav", SF_FORMAT_PCM_16);
        SoundFile::tonesAndNoise(3, 48000, 100, 0.5f).write(dir / "three.wav", SF_FORMAT_FLOAT);
        std::ofstream(dir / "junk.wav") << "this is not a sound file\n";
        std::filesystem::create_directory(dir.path() / "sub");
        std::ofstream(dir / "keep.wav") << "an earlier output";
    }
    // Every failure: status 2, one line on stderr, nothing on stdout, no file added or changed.
    void expectCleanFailure(const ChildProcess& run, const std::string& what) {
        EXPECT_EQ(run.exitStatus, 2) << what;
        EXPECT_TRUE(isOneLine(run.err)) << what << ": " << run.err;
        EXPECT_EQ(run.out, "") << what;
        EXPECT_EQ(dir.entries(), before) << what;
        EXPECT_EQ(contents(dir / "keep.wav"), "an earlier output") << what;
    }
    TempDirectory dir;
    const std::vector<std::string> before{"in.wav", "junk.wav", "keep.wav", "sub", "three.wav"};
};

TEST_F(RenderTool, RefusesBadInputWithoutLeavingAnything) {
    const std::string in = dir / "in.wav", out = dir / "out.wav";
    const std::vector<std::vector<std::string>> cases{
        {dir / "missing.wav", out},
        {dir / "junk.wav", out},
        {dir / "three.wav", out},
        {"--gain", "nan", in, out},
        {in, dir / "nowhere/out.wav"},
        {in, dir / "sub"}, // renders completely, then cannot replace a directory
    };
    for (const auto& args : cases)
        expectCleanFailure(render(args), args[0] + " " + args[1]);
    // A failed write: 1 s of stereo float is 384 kB, the child may write only 64 kB.
    expectCleanFailure(render({in, dir / "keep.wav"}, 64 * 1024), "size limit");
}

// A device, a FIFO or the input itself as OUT: exit 2 before anything is written, and OUT stays
// what it was (run as root, /dev/null was once replaced by a regular file).
TEST_F(RenderTool, RefusesAnOutputThatIsNoRegularFileOrIsTheInput) {
    const std::string in = dir / "in.wav";
    const std::string original = contents(in);
    std::filesystem::create_symlink("/dev/null", dir / "null");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_hard_link(in, dir / "same.wav");
    std::filesystem::create_symlink("in.wav", dir / "alias.wav");
    for (const std::string out : {"null", "fifo", "in.wav", "same.wav", "alias.wav"}) {
        const ChildProcess run = render({in, dir / out});
        EXPECT_EQ(run.exitStatus, 2) << out;
        EXPECT_TRUE(isOneLine(run.err)) << out << ": " << run.err;
        EXPECT_EQ(contents(in), original) << out;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "null"));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo"));
    EXPECT_EQ(dir.entries().size(), before.size() + 4);
}

TEST_F(RenderTool, WritesAStereoFloatWavAndPrintsTheSummaryOrMeters) {
    // 44.1 kHz and a frame count that is no multiple of the block; loud enough to be limited.
    SoundFile::tonesAndNoise(2, 44100, 30001, 0.9f).write(dir / "loud.wav", SF_FORMAT_PCM_24);
    const mode_t oldMask = umask(022);
    const ChildProcess run =
        render({"--gain", "4", "--block", "1000", dir / "loud.wav", dir / "out.wav"});
    umask(oldMask);
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const SoundFile output = SoundFile::read(dir / "out.wav");
    EXPECT_EQ(std::tuple(output.format, output.channels, output.sampleRate, output.frames()),
              std::tuple(SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 30001LL));
    const Summary summary = summaryOf(run.out);
    EXPECT_EQ(summary.frames, 30001);
    EXPECT_EQ(summary.peak, output.peak());
    EXPECT_LE(output.peak(), 0.966f);
    EXPECT_GT(summary.limiterFloor, 0.2f);
    EXPECT_LT(summary.limiterFloor, 0.5f); // 0.9 × 4 needs about 0.27
    struct stat info {};
    ASSERT_EQ(stat((dir / "out.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u); // as any new file, not private like a temp file
    EXPECT_EQ(dir.entries().size(), before.size() + 2);
    EXPECT_EQ(render({"--help"}).exitStatus, 0);
    // Metering, replacing that output: silence is written and the peak before gain and EQ told.
    const ChildProcess meter =
        render({"--meter", "--gain", "4", "--preset", "bass", dir / "in.wav", dir / "out.wav"});
    ASSERT_EQ(meter.exitStatus, 0) << meter.err;
    const SoundFile input = SoundFile::read(dir / "in.wav");
    const SoundFile silence = SoundFile::read(dir / "out.wav");
    EXPECT_EQ(silence.frames(), input.frames());
    EXPECT_EQ(silence.peak(), 0.0f);
    const Summary raw = summaryOf(meter.out);
    EXPECT_GT(input.peak(), 0.3f);
    EXPECT_EQ(raw.peak, input.peak());
    EXPECT_EQ(raw.limiterFloor, 1.0f);
}

} // namespace
} // namespace voxlane
