// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <string>

namespace voxlane {

// What the volume display shows. Writing a value equal to the stored one notifies nobody.
class HUDModel : public QObject {
    Q_OBJECT
public:
    float level() const { return level_; }
    bool muted() const { return muted_; }
    const std::string& deviceName() const { return deviceName_; }
    const std::string& symbol() const { return symbol_; }

    void setLevel(float level);
    void setMuted(bool muted);
    void setDeviceName(std::string name);
    void setSymbol(std::string symbol);

    // The speaker symbol for the level and mute state.
    static std::string speakerSymbol(float level, bool muted);
    std::string speakerSymbol() const { return speakerSymbol(level_, muted_); }

signals:
    void changed();

private:
    float level_ = 0.5f;
    bool muted_ = false;
    std::string deviceName_;
    std::string symbol_ = "video-display";
};

} // namespace voxlane
