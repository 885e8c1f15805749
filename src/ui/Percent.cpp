// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Percent.h"

#include <cmath>

namespace voxlane {

std::string percent(float value) {
    return std::to_string(std::llround(static_cast<double>(value) * 100.0)) + "\u00A0%";
}

} // namespace voxlane
