// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace voxlane {

// A fresh random (version 4) UUID in its standard upper-case text form,
// e.g. "1B4E28BA-2FA1-41D2-883F-0016D3CCA427". Thread-safe.
std::string makeUuid();

} // namespace voxlane
