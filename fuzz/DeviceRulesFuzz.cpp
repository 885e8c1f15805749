// Feeds arbitrary bytes to the device rules decoder as the stored "deviceRules" data. Whatever
// loads must save and load back unchanged.
#include "devices/DeviceRules.h"
#include "platform/Defaults.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace voxlane;
    auto defaults = Defaults::inMemory();
    defaults->setData(DeviceRules::key, std::string(reinterpret_cast<const char*>(data), size));
    const DeviceRules rules = DeviceRules::load(*defaults);
    rules.save(*defaults);
    const DeviceRules reloaded = DeviceRules::load(*defaults);
    // Names that are not valid UTF-8 cannot be written; then the old data stays.
    if (!(reloaded == rules)) {
        defaults->setData(DeviceRules::key, std::string(reinterpret_cast<const char*>(data), size));
        if (!(DeviceRules::load(*defaults) == rules)) std::abort();
    }
    return 0;
}
