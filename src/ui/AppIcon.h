// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"

#include <QPixmap>

namespace voxlane {

// The app's icon at `size`: from the icon theme (or one of our symbols); where there is none,
// the app's initial on a coloured tile.
QPixmap appIcon(const AppGroup& app, int size);

} // namespace voxlane
