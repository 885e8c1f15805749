// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace voxlane {

// The keyboard's volume keys as the volume-key interception reports them.
enum class MediaKey { volumeUp, volumeDown, mute };

} // namespace voxlane
