// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WorkItem.h"

#include <QObject>
#include <QRect>
#include <functional>
#include <optional>

class QSystemTrayIcon;
class QWidget;

namespace voxlane {

class EngineAdapter;
class GlassPanel;
class MixerEngine;
class Scheduler;
class WindowFade;

// Builds the panel's content for the engine behind `adapter`; the panel owns what it returns.
using PanelContentFactory = std::function<QWidget*(EngineAdapter& adapter)>;

// The tray item and the drop-down panel under it.
//
// The tray icon shows three faders, or a muted microphone while every microphone is muted;
// a left or right click toggles the panel (there is no context menu). The panel opens at the
// tray item when the tray reports where that is, else at the top-right of the screen, fades in
// over 0.16 s and out over 0.12 s, grows downwards with its top edge fixed when its content
// grows, and tells the engine whether it is open. While it is open two monitors watch the
// application: Escape anywhere closes it (and goes no further), and so does a click outside it
// or another application taking the focus.
//
// Where the desktop has no tray (`useTray` false) the panel is the program's only window: it
// opens as a small window at the top right and stays until Escape, a second launch or Quit
// closes it; clicks elsewhere leave it open.
class StatusPanelController : public QObject {
    Q_OBJECT
public:
    static constexpr double fadeInSeconds = 0.16;
    static constexpr double fadeOutSeconds = 0.12;

    StatusPanelController(EngineAdapter& adapter, Scheduler& scheduler,
                          const PanelContentFactory& content, bool useTray);
    ~StatusPanelController() override;

    void open();
    void close();
    void toggle();

    bool isOpen() const { return open_; }
    GlassPanel* panel() const { return panel_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    WindowFade& fade() const { return *fade_; }
    // How many times the monitors were installed; they are installed once per opening.
    int monitorInstalls() const { return monitorInstalls_; }
    bool monitorsInstalled() const { return monitorsInstalled_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QRect> trayAnchor() const;
    void updateIcon();
    void installMonitors();
    void removeMonitors();
    void followContent();
    void onApplicationStateChanged(Qt::ApplicationState state);
    void dismiss();

    MixerEngine& engine_;
    EngineAdapter& adapter_;
    Scheduler& scheduler_;
    GlassPanel* panel_;
    WindowFade* fade_;
    QSystemTrayIcon* tray_ = nullptr;
    bool open_ = false;
    bool hangsFromTop_ = true;
    bool monitorsInstalled_ = false;
    bool panelWasActive_ = false;
    int monitorInstalls_ = 0;
    // When a click outside or the loss of the focus last closed the panel: when that click was
    // on the tray icon, its own toggle must not open the panel again at once.
    double dismissedAt_ = -1e9;
    QMetaObject::Connection stateConnection_;
};

} // namespace voxlane
