// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace voxlane {

// The one way a percentage is written in the panel: value × 100 rounded to an integer, a no-break
// space (U+00A0) and "%", e.g. percent(1.5f) == "150\u00A0%".
std::string percent(float value);

} // namespace voxlane
