// SPDX-License-Identifier: GPL-3.0-or-later
// The server contract against PipeWire on the private session of scripts/pipewire-session.sh
// (null sinks "speakers" and "headphones", a virtual source "mic"), with pw-play, pw-record
// and pw-cli as its clients.
#include "contract/ServerContract.h"
#include "platform/ManualScheduler.h"
#include "platform/server/PipeWireServer.h"
#include "support/AudioFiles.h"
#include "support/BackgroundProcess.h"
#include "support/PipeWireSession.h"

#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace voxlane::test {
namespace {

class PipeWireWorld : public ServerWorld {
public:
    // Null (with a failure recorded) when there is no session to run on.
    static std::unique_ptr<PipeWireWorld> open() {
        std::string error;
        const std::string session = PipeWireSession::enter(&error);
        if (session.empty()) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        auto world = std::unique_ptr<PipeWireWorld>(new PipeWireWorld);
        world->server_ = PipeWireServer::connect(world->scheduler_, {}, &error);
        if (!world->server_) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        world->tag_ = std::string("vx-") + info->name() + "-" + std::to_string(getpid());
        for (char& c : world->tag_)
            if (c == '/') c = '-';
        world->dir_ = session + "/" + world->tag_;
        mkdir(world->dir_.c_str(), 0700);
        world->tone_ = world->dir_ + "/tone.wav";
        if (!AudioFiles::writeTone(world->tone_, 30, 0.5f)) return nullptr;
        return world;
    }

    AudioServer& server() override { return *server_; }

    bool waitUntil(const std::function<bool()>& done) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            scheduler_.runPending();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    class Program : public Client {
    public:
        Program(std::vector<std::string> argv, const std::string& log)
            : process_(std::move(argv), log) {
            EXPECT_TRUE(process_.started());
        }
        std::int32_t pid() const override { return pid_; }
        void stop() override { process_.stop(); }

    private:
        BackgroundProcess process_;
        std::int32_t pid_ = process_.pid();
    };

    std::unique_ptr<Client> play(const std::string& outputUid) override {
        const std::string name = tag_ + "-play" + std::to_string(++clients_);
        return std::make_unique<Program>(
            std::vector<std::string>{"pw-play", "--target", outputUid, "-P",
                                     "{ node.name = " + name + " }", tone_},
            dir_ + "/" + name + ".log");
    }

    std::unique_ptr<Client> record(const std::string& inputUid) override {
        const std::string name = tag_ + "-record" + std::to_string(++clients_);
        return std::make_unique<Program>(
            std::vector<std::string>{"pw-record", "--target", inputUid, dir_ + "/" + name + ".wav"},
            dir_ + "/" + name + ".log");
    }

    void plug(const std::string& uid, const std::string& name) override {
        int status = -1;
        runAndRead({"pw-cli", "create-node", "adapter",
                    "{ factory.name = support.null-audio-sink node.name = " + uid +
                        " node.description = \"" + name +
                        "\" media.class = Audio/Sink object.linger = true"
                        " audio.position = [ FL FR ] }"},
                   10, &status);
        EXPECT_EQ(status, 0);
    }

    void unplug(const std::string& uid) override { EXPECT_EQ(destroyNodes({uid}), 1); }

private:
    PipeWireWorld() = default;
    ManualScheduler scheduler_;
    std::unique_ptr<PipeWireServer> server_;
    std::string tag_, dir_, tone_;
    int clients_ = 0;
};

INSTANTIATE_TEST_SUITE_P(PipeWire, ServerContract,
                         ::testing::Values(ServerWorldFactory{"PipeWireServer",
                                                              []() -> std::unique_ptr<ServerWorld> {
                                                                  return PipeWireWorld::open();
                                                              }}),
                         worldName);

} // namespace
} // namespace voxlane::test
