// SPDX-License-Identifier: GPL-3.0-or-later
// The server contract against the simulated server.
#include "contract/ServerContract.h"
#include "platform/ManualScheduler.h"
#include "platform/server/SimServer.h"
#include "support/SimObjects.h"

#include <map>
#include <utility>

namespace voxlane::test {
namespace {

class SimWorld : public ServerWorld {
public:
    SimWorld() {
        plug("speakers", "Speakers");
        plug("headphones", "Headphones");
        devices_["mic"] =
            sim_.addDevice(deviceSetup("mic", "Microphone", Transport::software, {}, {2}));
        scheduler_.runPending();
    }

    AudioServer& server() override { return sim_; }

    bool waitUntil(const std::function<bool()>& done) override {
        for (int cycle = 0; cycle < 100; ++cycle) {
            scheduler_.runPending();
            if (done()) return true;
            sim_.advance(sim_.bufferFrames());
        }
        return false;
    }

    // A process of the simulated server, removed on stop().
    struct SimClient : Client {
        SimClient(SimServer& sim, const SimServer::ProcessSetup& setup)
            : sim(sim), id(setup.pid), process(sim.addProcess(setup)) {}
        ~SimClient() override { stop(); }
        std::int32_t pid() const override { return id; }
        void stop() override {
            if (process) sim.removeProcess(std::exchange(process, noObject));
        }
        SimServer& sim;
        std::int32_t id;
        ObjectId process;
    };

    std::unique_ptr<Client> play(const std::string& outputUid) override {
        return std::make_unique<SimClient>(sim_,
                                           processSetup(nextPid_++, SimServer::Signal::sine(0.5f),
                                                        std::nullopt, devices_.at(outputUid)));
    }
    std::unique_ptr<Client> record(const std::string&) override {
        auto setup = processSetup(nextPid_++, SimServer::Signal::silence());
        setup.playing = false;
        setup.recording = true;
        return std::make_unique<SimClient>(sim_, setup);
    }

    void plug(const std::string& uid, const std::string& name) override {
        devices_[uid] = sim_.addDevice(deviceSetup(uid, name, Transport::software));
    }
    void unplug(const std::string& uid) override { sim_.removeDevice(devices_.at(uid)); }

private:
    ManualScheduler scheduler_;
    SimServer sim_{scheduler_};
    std::map<std::string, ObjectId> devices_;
    std::int32_t nextPid_ = 1000;
};

INSTANTIATE_TEST_SUITE_P(Sim, ServerContract,
                         ::testing::Values(ServerWorldFactory{
                             "SimServer", [] { return std::make_unique<SimWorld>(); }}),
                         worldName);

} // namespace
} // namespace voxlane::test
