// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QMenu;
class QWidget;

namespace voxlane {

class MixerEngine;

// The "Lower to" picker (10 %, 20 %, 30 %, 50 %, Mute) bound to the engine's duck level, as a
// submenu of `menu`. Used by the ducking button's context menu and by the settings menu.
QMenu* addDuckLevelMenu(QMenu& menu, MixerEngine& engine);

} // namespace voxlane
