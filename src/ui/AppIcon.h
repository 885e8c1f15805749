// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"

#include <QPixmap>
#include <QStringList>

namespace voxlane {

// The app's icon at `size`. Looked for in this order: the desktop entry's icon (a file, or a
// name in the icon theme), then the icon theme by the app's id and by its program's name, then
// our own symbol for it; where there is none, the app's initial on a coloured tile (in the
// theme's colours, so the tile changes with it).
QPixmap appIcon(const AppGroup& app, int size);

// The names to ask the icon theme for, in order, none twice: the desktop entry's icon name (not
// a path, not one of our symbols), the app id ("process." ids: the name after it) and the
// program's file name.
QStringList appIconThemeNames(const AppGroup& app);

} // namespace voxlane
