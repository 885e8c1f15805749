// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HUDModel.h"

namespace voxlane {

void HUDModel::setLevel(float level) {
    if (level == level_) return;
    level_ = level;
    emit changed();
}

void HUDModel::setMuted(bool muted) {
    if (muted == muted_) return;
    muted_ = muted;
    emit changed();
}

void HUDModel::setDeviceName(std::string name) {
    if (name == deviceName_) return;
    deviceName_ = std::move(name);
    emit changed();
}

void HUDModel::setSymbol(std::string symbol) {
    if (symbol == symbol_) return;
    symbol_ = std::move(symbol);
    emit changed();
}

std::string HUDModel::speakerSymbol(float level, bool muted) {
    if (muted || level == 0) return "audio-volume-muted";
    if (level < 0.34f) return "audio-volume-low";
    if (level < 0.67f) return "audio-volume-medium";
    return "audio-volume-high";
}

} // namespace voxlane
