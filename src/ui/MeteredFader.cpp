// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MeteredFader.h"

#include "ui/AppRowRules.h"

namespace voxlane {

MeteredFader::MeteredFader(const QString& appName, QWidget* parent) : Fader(2.0f, parent) {
    setAppName(appName);
    setLevel(0.0f);
}

void MeteredFader::setAppName(const QString& appName) {
    setAccessibilityLabel(QString::fromStdString(AppRowRules::faderLabel(appName.toStdString())));
}

void MeteredFader::setMeter(std::optional<float> level, bool silenced) {
    setLevel(AppRowRules::meterLevel(level, silenced));
    setDimmed(silenced);
}

} // namespace voxlane
