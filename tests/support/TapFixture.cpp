// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TapFixture.h"

#include "platform/AppIdentifier.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace voxlane::test {

void TapFixture::SetUp() {
    std::string error;
    const std::string session = PipeWireSession::enter(&error);
    ASSERT_FALSE(session.empty()) << error;
    useSession(session);
    std::string why;
    server = PipeWireServer::connect(scheduler, {}, &why);
    ASSERT_TRUE(server) << why;
}

void TapFixture::useSession(const std::string& sessionDirectory) {
    sessionDir = sessionDirectory;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    tag = std::string("vx-") + info->name() + "-" + std::to_string(getpid());
    dir = sessionDir + "/" + tag;
    mkdir(dir.c_str(), 0700);
    tone = dir + "/tone.wav";
    ASSERT_TRUE(AudioFiles::writeTone(tone, 30, 0.5f));
}

bool TapFixture::waitUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    for (;;) {
        scheduler.advance(0.05);
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::unique_ptr<BackgroundProcess>
TapFixture::play(const std::string& file, const std::string& suffix, const std::string& sink) {
    std::vector<std::string> args{"pw-play", "-P", "{ node.name = " + tag + suffix + " }", file};
    if (!sink.empty()) args.insert(args.begin() + 1, {"--target", sink});
    auto player = std::make_unique<BackgroundProcess>(args, dir + "/play" + suffix + ".log");
    EXPECT_TRUE(player->started());
    return player;
}

std::vector<float> TapFixture::record(const std::string& sink, const std::string& name,
                                      bool monitor) {
    const std::string file = dir + "/" + name + ".wav";
    ::unlink(file.c_str()); // a recording of that name from before must not pass for this one
    std::vector<std::string> args{"pw-record", "--target", sink, file};
    if (monitor) args.insert(args.end() - 1, {"-P", "{ stream.capture.sink = true }"});
    BackgroundProcess recorder(args, file + ".log");
    EXPECT_TRUE(recorder.started());
    const off_t wanted = 44 + off_t(1.4 * 48000) * 2 * 2; // 16-bit stereo
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (struct stat st{}; stat(file.c_str(), &st) != 0 || st.st_size < wanted;) {
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    recorder.stop();
    return AudioFiles::read(file, 0.3);
}

float TapFixture::recordPeak(const std::string& sink, const std::string& name, bool monitor) {
    // On a busy machine a recorder now and then records nothing: it gets two more tries.
    std::vector<float> samples;
    for (int attempt = 0; attempt < 3 && samples.empty(); ++attempt)
        samples = record(sink, attempt ? name + "-" + std::to_string(attempt) : name, monitor);
    if (samples.empty()) return -1;
    return std::abs(std::ranges::max(samples, {}, [](float s) { return std::abs(s); }));
}

std::vector<std::string> TapFixture::ourNodes() {
    const auto nodes = nodeNames();
    if (!nodes) return {"(pw-dump failed)"};
    std::vector<std::string> names;
    for (const auto& [id, name] : *nodes)
        if (name.starts_with(AppIdentifier)) names.push_back(name);
    return names;
}

} // namespace voxlane::test
