// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/EQSettings.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <span>

namespace voxlane {

class EQCurve;
class PresetChip;

// An app's equaliser inside its row: the response curve with its five handles, and a chip per
// built-in preset (off, voice, bass, clarity, warmth, night). A chip sets its preset; a drag on
// the curve stores the gains under the preset whose curve they match, else as `custom`.
//
// Every change goes out through onChange; the editor shows the new setting at once, and whoever
// owns the setting may set it again with setEQ.
class EQEditor : public QWidget {
    Q_OBJECT
public:
    static constexpr std::array<EQPreset, 6> chipPresets{EQPreset::off,    EQPreset::voice,
                                                         EQPreset::bass,   EQPreset::clarity,
                                                         EQPreset::warmth, EQPreset::night};

    EQEditor(const QString& appID, const EQSettings& eq, QWidget* parent = nullptr);

    QString appID() const { return appID_; }
    const EQSettings& eq() const { return eq_; }
    void setEQ(const EQSettings& eq);
    void setOnChange(std::function<void(const EQSettings&)> f) { onChange_ = std::move(f); }

    EQCurve* curve() const { return curve_; }
    PresetChip* chip(EQPreset preset) const; // none for `custom`

    // The preset whose gains these are (within 0.05 dB), if any.
    static std::optional<EQPreset> matchingPreset(std::span<const float> gains);

private:
    void change(const EQSettings& eq);

    QString appID_;
    EQSettings eq_;
    EQCurve* curve_;
    std::array<PresetChip*, chipPresets.size()> chips_{};
    std::function<void(const EQSettings&)> onChange_;
};

} // namespace voxlane
