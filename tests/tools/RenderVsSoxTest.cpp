// SPDX-License-Identifier: GPL-3.0-or-later
// The chain's equaliser against an independent implementation of the same cookbook filters:
// sox's bass, equalizer and treble effects, which work in double precision.
#include "support/ChildProcess.h"
#include "support/SoundFile.h"
#include "support/TempDirectory.h"

#include <cmath>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sstream>

namespace voxlane {
namespace {

using test::ChildProcess;
using test::SoundFile;
using test::TempDirectory;

TEST(RenderVsSox, VoicePresetAgreesWithSoxCookbookFilters) {
    if (!ChildProcess::available("sox")) GTEST_SKIP() << "sox is not installed";
    TempDirectory dir;
    // Low level, so that neither the limiter nor sox's clipping can act.
    const SoundFile input = SoundFile::tonesAndNoise(2, 48000, 48000, 0.2f);
    input.write(dir / "in.wav", SF_FORMAT_FLOAT);
    const ChildProcess vox = ChildProcess::run(
        VOXLANE_RENDER_PATH, {"--preset", "voice", dir / "in.wav", dir / "vox.wav"});
    ASSERT_EQ(vox.exitStatus, 0) << vox.err;
    // Voice: -5, -1.5, +1.5, +4, +1 dB on the low shelf, the three peaks and the high shelf.
    std::vector<std::string> args{dir / "in.wav", "-e", "floating-point",
                                  "-b",           "32", dir / "sox.wav"};
    std::istringstream effects("bass -5 100 1s equalizer 250 0.9q -1.5 equalizer 1000 0.9q 1.5 "
                               "equalizer 4000 0.9q 4 treble 1 10000 1s");
    for (std::string word; effects >> word;)
        args.push_back(word);
    const ChildProcess sox = ChildProcess::run("sox", args);
    ASSERT_EQ(sox.exitStatus, 0) << sox.err;
    const SoundFile ours = SoundFile::read(dir / "vox.wav");
    const SoundFile theirs = SoundFile::read(dir / "sox.wav");
    ASSERT_EQ(ours.frames(), 48000);
    ASSERT_EQ(theirs.frames(), 48000);
    // Ours leaves the look-ahead delay (72 frames) late and fades in over 480 frames.
    const long long delay = 72, fadeIn = 480;
    double worst = 0.0, change = 0.0;
    for (long long i = fadeIn; i + delay < ours.frames(); ++i) {
        for (int c = 0; c < 2; ++c) {
            worst = std::max(worst, double(std::fabs(ours.at(i + delay, c) - theirs.at(i, c))));
            change = std::max(change, double(std::fabs(theirs.at(i, c) - input.at(i, c))));
        }
    }
    EXPECT_GT(change, 0.02); // the equaliser does change the signal a lot more than…
    EXPECT_LT(worst, 1e-4);  // …float and double arithmetic differ
    RecordProperty("maxDifference", std::to_string(worst));
}

} // namespace
} // namespace voxlane
