// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the defaults file reader. Whatever it accepts (in either layout) must
// read back through every getter without crashing, write out and read in again to the same
// store; and any text it is given as a value must come back unchanged through the file form.
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using voxlane::Defaults;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void expectSameValues(const Defaults& a, const Defaults& b) {
    check(a.keys() == b.keys());
    for (const auto& key : a.keys()) {
        check(a.boolean(key) == b.boolean(key));
        check(a.number(key) == b.number(key));
        check(a.dictionary(key) == b.dictionary(key));
        check(*a.value(key) == *b.value(key));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    voxlane::Log::Capture quiet;

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

    // The input as a text value: stored exactly when it is UTF-8, and then kept as it is.
    const bool stored = store->setValue("fuzz", std::string(input));
    check(stored == voxlane::Utf8::isValid(input));
    auto withValue = Defaults::fromText(store->text());
    check(withValue != nullptr);
    if (stored) check(*withValue->value("fuzz") == std::string(input));

    // And whatever text it is, the replacement of invalid bytes is valid and stable.
    const std::string valid = voxlane::Utf8::valid(input);
    check(voxlane::Utf8::isValid(valid));
    check(voxlane::Utf8::valid(valid) == valid);
    if (voxlane::Utf8::isValid(input)) check(valid == input);
    return 0;
}
