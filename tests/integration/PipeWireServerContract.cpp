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

#include <sys/stat.h>
#include <unistd.h>

namespace voxlane::test {
namespace {

class PipeWireWorld : public ServerWorld {
public:
    // Null (with a failure recorded) when there is no session to run on.
    static std::unique_ptr<PipeWireWorld> open() {
        std::string error;
        const std::string session = PipeWireSession::enter(&error);
        auto world = std::unique_ptr<PipeWireWorld>(new PipeWireWorld);
        if (!session.empty())
            world->server_ = PipeWireServer::connect(world->scheduler_, {}, &error);
        if (!world->server_) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        static int worlds = 0;
        world->tag_ = "vx-contract-" + std::to_string(getpid()) + "-" + std::to_string(++worlds);
        world->dir_ = session + "/" + world->tag_;
        mkdir(world->dir_.c_str(), 0700);
        world->tone_ = world->dir_ + "/tone.wav";
        if (!AudioFiles::writeTone(world->tone_, 30, 0.5f)) return nullptr;
        return world;
    }

    AudioServer& server() override { return *server_; }

    bool waitUntil(const std::function<bool()>& done) override {
        return scheduler_.runPendingUntil(done, 10.0);
    }

    struct Program : Client {
        Program(std::vector<std::string> argv, const std::string& log) : process(argv, log) {
            EXPECT_TRUE(process.started());
        }
        std::int32_t pid() const override { return pid_; }
        void stop() override { process.stop(); }
        BackgroundProcess process;
        std::int32_t pid_ = process.pid(); // kept after the program ends
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
