// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/TapDescription.h"

#include <algorithm>

namespace voxlane {

bool TapDescription::captures(ObjectId process) const {
    const bool listed = std::find(processes.begin(), processes.end(), process) != processes.end();
    return isExclusive ? !listed : listed;
}

} // namespace voxlane
