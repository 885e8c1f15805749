// Feeds arbitrary bytes to the defaults file reader. Whatever it accepts must read back through
// every getter without crashing, write out and read in again to the same store, and must keep
// any bytes stored as data.
#include "platform/Defaults.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using voxlane::Defaults;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::string dumped(const std::optional<nlohmann::json>& value) {
    return value ? value->dump() : "none";
}

void expectSameValues(const Defaults& a, const Defaults& b) {
    check(a.keys() == b.keys());
    for (const auto& key : a.keys()) {
        check(a.boolean(key) == b.boolean(key));
        check(a.data(key) == b.data(key));
        // A number too large for a double reads as infinity and writes as null: both absent.
        check(a.number(key) == b.number(key));
        check(dumped(a.dictionary(key)) == dumped(b.dictionary(key)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);

    auto store = Defaults::fromText(input);
    if (store) {
        const auto written = store->text();
        auto reread = Defaults::fromText(written);
        check(reread != nullptr);
        expectSameValues(*store, *reread);
        check(reread->text() == written);
    } else {
        store = Defaults::inMemory();
    }

    // The input as opaque data, through the file form and back.
    store->setData("fuzz", std::string(input));
    auto withData = Defaults::fromText(store->text());
    check(withData != nullptr);
    check(withData->data("fuzz") == std::string(input));
    return 0;
}
