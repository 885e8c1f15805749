// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the per-app settings reader as the stored "appSettings" value (as
// JSON when they parse, else as text). Record by record: every member either loads or is set
// aside, never both and never neither. What loads must be within the mixer's range, save and
// load back to the same records (less the default ones, which saving drops), and saving must
// keep what was set aside.
#include "engine/SettingsStore.h"
#include "platform/Defaults.h"
#include "platform/Log.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace voxlane;
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto value = nlohmann::json::parse(text, nullptr, false);
    if (value.is_discarded()) value = text;
    Log::Capture quiet;
    auto defaults = Defaults::inMemory();
    if (!defaults->setValue(SettingsStore::key, value)) return 0; // not storable: never stored

    const auto decoded = SettingsStore::decode(value);
    if (value.is_object()) {
        check(decoded.settings.size() + decoded.unreadable.size() == value.size());
    } else {
        check(decoded.settings.empty() && decoded.unreadable.size() == 1);
    }

    const AppSettingsMap loaded = SettingsStore::load(*defaults);
    check(loaded == decoded.settings);
    AppSettingsMap kept;
    for (const auto& [id, settings] : loaded) {
        check(std::isfinite(settings.volume) && settings.volume >= 0 && settings.volume <= 2);
        for (float gain : settings.eq.gains)
            check(std::isfinite(gain));
        if (!settings.isDefault()) kept[id] = settings;
    }
    const auto* asideBefore = defaults->value(Defaults::unreadableKey);
    const nlohmann::json aside = asideBefore ? *asideBefore : nlohmann::json();
    check(decoded.unreadable.empty() || !aside.is_null());

    check(SettingsStore::save(*defaults, loaded));
    check(SettingsStore::load(*defaults) == kept);
    const auto* asideAfter = defaults->value(Defaults::unreadableKey);
    check(aside.is_null() ? asideAfter == nullptr : *asideAfter == aside);

    // Through the file form and back.
    auto reread = Defaults::fromText(defaults->text());
    check(reread != nullptr);
    check(SettingsStore::load(*reread) == kept);
    return 0;
}
