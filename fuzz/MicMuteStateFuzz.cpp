// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the reader of the saved microphone state (as JSON when they parse,
// else as text). Entry by entry: every entry either loads or is set aside. What loads must hold
// only values that can be written back to a device (mute 0 or 1, volume within 0…1) and encode
// and decode to the same map; and restoring it must never crash.
#include "mic/MicMute.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/ManualScheduler.h"
#include "platform/server/SimServer.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

using voxlane::MicMute;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(bytes), size);
    auto value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded()) value = text;

    const auto decoded = MicMute::decode(value);
    const auto& saved = decoded.saved;
    check(saved.size() + decoded.unreadable.size() == (value.is_object() ? value.size() : 1));
    for (const auto& [uid, entry] : saved) {
        check(!std::isnan(entry.value));
        if (entry.kind == MicMute::Saved::Kind::mute) {
            check(entry.value == 0.0f || entry.value == 1.0f);
        } else {
            check(entry.value >= 0.0f && entry.value <= 1.0f);
        }
    }
    const auto encoded = MicMute::encode(saved);
    check(MicMute::decode(encoded).saved == saved);
    check(MicMute::decode(encoded).unreadable.empty());

    // The start-up restore over a server with one microphone whose UID the input may name.
    voxlane::ManualScheduler scheduler;
    voxlane::SimServer sim(scheduler);
    voxlane::SimServer::DeviceSetup mic;
    mic.uid = "mic";
    mic.name = "Mic";
    mic.outputStreams = {};
    mic.inputStreams = {1};
    sim.addDevice(mic);
    voxlane::Log::Capture quiet; // the start-up restore logs
    auto defaults = voxlane::Defaults::inMemory();
    if (!defaults->setValue(MicMute::key, value)) return 0;
    MicMute mute(sim, *defaults);
    check(mute.saved().count("mic") == 0);
    check(mute.saved().size() == saved.size() - saved.count("mic"));
    return 0;
}
