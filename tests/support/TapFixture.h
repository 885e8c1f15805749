// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ManualScheduler.h"
#include "platform/server/PipeWireServer.h"
#include "support/AudioFiles.h"
#include "support/BackgroundProcess.h"
#include "support/PipeWireSession.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace voxlane::test {

// What the tap tests share: the private session, a PipeWire server on it, sound files, and ways to
// look at the server from outside (recordings of sink monitors, pw-link, pw-dump, pw-metadata).
class TapFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override { server.reset(); }
    // Takes over the entered session in `sessionDirectory`: this test's folder and sound files.
    void useSession(const std::string& sessionDirectory);

    // Pumps the main queue (and moves its clock) until `done` holds or `seconds` pass.
    bool waitUntil(const std::function<bool()>& done, double seconds = 10.0);
    // A player of `file` on `sink` (empty: the default), node named `tag` + `suffix`.
    std::unique_ptr<BackgroundProcess> play(const std::string& file, const std::string& suffix,
                                            const std::string& sink = "");
    // The process object of a pid, once the server knows it (noObject after 10 s).
    ObjectId processOf(pid_t pid) {
        ObjectId process = noObject;
        waitUntil([&] { return (process = server->processOf(pid)) != noObject; });
        return process;
    }
    // Records a sink's monitor (or, `monitor` false, a source) for about 1.4 s; the samples
    // after the first 0.3 s.
    std::vector<float> record(const std::string& sink, const std::string& name,
                              bool monitor = true);
    float recordPeak(const std::string& sink, const std::string& name, bool monitor = true);
    // Names of the nodes on the server that begin with AppIdentifier.
    std::vector<std::string> ourNodes();
    // The "default" metadata as pw-metadata prints it.
    std::string defaultMetadata() { return runAndRead({"pw-metadata", "-n", "default"}); }

    ManualScheduler scheduler;
    std::unique_ptr<PipeWireServer> server;
    std::string sessionDir, dir, tag;
    std::string tone; // 440 Hz sine, peak 0.5, 30 s
};

} // namespace voxlane::test
