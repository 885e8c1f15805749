// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/AudioServer.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace voxlane::test {

// An audio server the contract (ServerContractTest.cpp) runs against. Every world has two
// stereo outputs, "speakers" (Speakers, the default output and alert output) and "headphones"
// (Headphones), and one stereo input, "mic" (Microphone, the default input), all with volume and
// mute on their side, and can start and end clients that play or record.
class ServerWorld {
public:
    // A program using the server; it ends when the object goes or on stop().
    class Client {
    public:
        virtual ~Client() = default;
        virtual std::int32_t pid() const = 0;
        virtual void stop() = 0;
    };

    virtual ~ServerWorld() = default;
    virtual AudioServer& server() = 0;
    // Lets the server, its audio and the main queue move on until `done` holds; false when it
    // does not come to hold within a generous time.
    virtual bool waitUntil(const std::function<bool()>& done) = 0;
    // A client playing a tone (peak 0.5) on the output with this UID.
    virtual std::unique_ptr<Client> play(const std::string& outputUid) = 0;
    // A client recording from the input with this UID.
    virtual std::unique_ptr<Client> record(const std::string& inputUid) = 0;
    // A stereo output plugged in at run time, and unplugged again.
    virtual void plug(const std::string& uid, const std::string& name) = 0;
    virtual void unplug(const std::string& uid) = 0;
};

struct ServerWorldFactory {
    std::string name;
    std::function<std::unique_ptr<ServerWorld>()> make;
};

inline void PrintTo(const ServerWorldFactory& factory, std::ostream* out) {
    *out << factory.name;
}

class ServerContract : public ::testing::TestWithParam<ServerWorldFactory> {
protected:
    void SetUp() override { ASSERT_TRUE(world = GetParam().make()); }
    AudioServer& server() { return world->server(); }
    std::unique_ptr<ServerWorld> world;
};

// The listed device with this UID, or noObject.
inline ObjectId deviceWithUid(AudioServer& server, const std::string& uid) {
    for (ObjectId id : server.devices()) {
        const auto info = server.device(id);
        if (info && info->uid == uid) return id;
    }
    return noObject;
}

inline std::string worldName(const ::testing::TestParamInfo<ServerWorldFactory>& info) {
    return info.param.name;
}

} // namespace voxlane::test
