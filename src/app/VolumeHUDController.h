// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/HUDModel.h"
#include "platform/WorkItem.h"

#include <QObject>
#include <string>

class QWidget;

namespace voxlane {

class HUDView;
class Scheduler;
class WindowFade;

// The on-screen volume display: a 280 × 86 glass window 6 pixels from the right edge of the
// primary screen's available area and 2 below its top. It never takes the focus or a click.
// `show` fades it in over 0.12 s and (re)starts a 1.6 s timer; when the timer runs out it fades
// out over 0.35 s and is taken away, unless a `show` came during the fade.
class VolumeHUDController : public QObject {
    Q_OBJECT
public:
    static constexpr int width = 280;
    static constexpr int height = 86;
    static constexpr double fadeInSeconds = 0.12;
    static constexpr double hideAfterSeconds = 1.6;
    static constexpr double fadeOutSeconds = 0.35;

    explicit VolumeHUDController(Scheduler& scheduler);
    ~VolumeHUDController() override;

    void show(float level, bool muted, const std::string& deviceName, const std::string& symbol);

    HUDModel& model() { return model_; }
    QWidget* panel() const { return panel_; }
    HUDView* view() const { return view_; }
    WindowFade& fade() const { return *fade_; }
    // Shown and not fading out.
    bool isShown() const;

private:
    void hide();

    Scheduler& scheduler_;
    HUDModel model_;
    QWidget* panel_;
    HUDView* view_;
    WindowFade* fade_;
    WorkItemRef hideWork_;
};

} // namespace voxlane
