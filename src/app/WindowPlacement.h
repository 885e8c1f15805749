// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace voxlane {

namespace WindowPlacement {
// Moves a top-level window to the middle of the screen it is on (or the primary one).
void centre(QWidget& window);
} // namespace WindowPlacement

// Shows a top-level window, raises it above the others and gives it the keyboard.
void bringToFront(QWidget& window);

} // namespace voxlane
