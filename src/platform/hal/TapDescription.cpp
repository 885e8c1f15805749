// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/hal/TapDescription.h"

#include <algorithm>

namespace voxlane {

bool TapDescription::captures(AudioObjectID process) const {
    const bool listed = std::find(processes.begin(), processes.end(), process) != processes.end();
    return isExclusive ? !listed : listed;
}

} // namespace voxlane
