// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the desktop entry reader, as the workspace reads every .desktop file
// and /proc/<pid>/root/.flatpak-info it finds.
#include "platform/DesktopEntry.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using voxlane::DesktopEntry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    (void)DesktopEntry::readGroup(input, "Application");
    const auto entry = DesktopEntry::parse(input);
    if (!entry) return 0;
    const auto arguments = entry->execArguments();
    const auto program = entry->program();
    // The program is one of the arguments, or the first word of a shell command among them.
    if (!program.empty() && arguments.empty()) std::abort();
    (void)DesktopEntry::interpretedProgram(arguments);
    return 0;
}
