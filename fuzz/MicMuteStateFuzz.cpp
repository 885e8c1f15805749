// Feeds arbitrary bytes to the reader of the saved microphone state. Whatever it accepts must
// hold only values that can be written back to a device (mute 0 or 1, volume within 0…1), write
// out and read in again to the same map; and restoring it must never crash.
#include "mic/MicMute.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/ManualScheduler.h"
#include "platform/hal/SimHal.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using voxlane::MicMute;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);

    const auto saved = MicMute::decode(input);
    for (const auto& [uid, entry] : saved) {
        check(!std::isnan(entry.value));
        if (entry.kind == MicMute::Saved::Kind::mute) {
            check(entry.value == 0.0f || entry.value == 1.0f);
        } else {
            check(entry.value >= 0.0f && entry.value <= 1.0f);
        }
    }
    const auto encoded = MicMute::encode(saved);
    // Text the reader accepted is valid UTF-8, so it can always be written back.
    check(encoded.has_value());
    check(MicMute::decode(*encoded) == saved);

    // The start-up restore over a server with one microphone whose UID the input may name.
    voxlane::ManualScheduler scheduler;
    voxlane::SimHal hal(scheduler);
    voxlane::SimHal::DeviceSetup mic;
    mic.uid = "mic";
    mic.name = "Mic";
    mic.outputStreams = {};
    mic.inputStreams = {1};
    hal.addDevice(mic);
    voxlane::Log::Capture quiet; // the start-up restore logs
    auto defaults = voxlane::Defaults::inMemory();
    defaults->setData(MicMute::key, std::string(input));
    MicMute mute(hal, *defaults);
    check(mute.saved().count("mic") == 0);
    check(mute.saved().size() == saved.size() - saved.count("mic"));
    return 0;
}
