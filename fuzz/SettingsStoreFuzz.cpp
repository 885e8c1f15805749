// Feeds arbitrary bytes to the per-app settings decoder as the stored "appSettings" data. What
// loads must be within the mixer's range, save without error and load back to the same records
// (less the default ones, which saving drops).
#include "engine/SettingsStore.h"
#include "platform/Defaults.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace voxlane;
    auto defaults = Defaults::inMemory();
    defaults->setData(SettingsStore::key, std::string(reinterpret_cast<const char*>(data), size));
    const AppSettingsMap loaded = SettingsStore::load(*defaults);
    AppSettingsMap kept;
    for (const auto& [id, settings] : loaded) {
        check(std::isfinite(settings.volume) && settings.volume >= 0 && settings.volume <= 2);
        for (float gain : settings.eq.gains)
            check(std::isfinite(gain));
        if (!settings.isDefault()) kept[id] = settings;
    }
    SettingsStore::save(*defaults, loaded);
    const AppSettingsMap reloaded = SettingsStore::load(*defaults);
    // Ids that are not valid UTF-8 cannot be written; then the old data stays and loads as before.
    check(reloaded == kept || reloaded == loaded);
    return 0;
}
