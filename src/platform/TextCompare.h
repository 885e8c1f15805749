// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace voxlane {

// Orders UTF-8 texts for display: case-insensitive, by the collation of the user's locale (the
// environment's LC_COLLATE/LC_CTYPE), by code point when that locale is unavailable, and with
// runs of digits by their value ("Track 2" before "Track 10"). Negative, 0 or positive, like
// strcmp.
int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b);

} // namespace voxlane
