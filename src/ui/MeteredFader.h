// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Fader.h"

namespace voxlane {

// An app's volume fader: 0 to 200 %, with the app's live level drawn into the fill. The row
// feeds it the app's volume (setValue), its meter reading and whether the app is silenced
// (muted, or another app soloed: the fader is dimmed and its meter empty). What the user sets
// goes out through onValueChanged; editing() is true from the first drag change to its end, and
// onEditingChanged tells the row when that changes (it shows the percent text meanwhile).
class MeteredFader : public Fader {
    Q_OBJECT
public:
    explicit MeteredFader(const QString& appName, QWidget* parent = nullptr);

    void setAppName(const QString& appName);
    // `level`: the app's meter entry, none when it has none.
    void setMeter(std::optional<float> level, bool silenced);
    bool editing() const { return isDragging(); }
};

} // namespace voxlane
