// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WorkItem.h"
#include "ui/LoginItem.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QDBusConnection;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace voxlane {

class EngineAdapter;
class DBusMenu;
class GlassPanel;
class MixerEngine;
class Scheduler;
class StatusNotifierItem;
class WindowFade;

// Builds the panel's content for the engine behind `adapter`; the panel owns what it returns.
using PanelContentFactory = std::function<QWidget*(EngineAdapter& adapter)>;

// What the tray's StatusNotifierItem needs beyond the engine.
struct StatusTrayOptions {
    // The session bus to offer the item on; null: the XEmbed tray icon only.
    QDBusConnection* bus = nullptr;
    // "Open at login", "Quit" and "Devices…" in its menu.
    LoginItem loginItem;
    std::function<void()> quit;
    std::function<void()> openDevicesWindow;
};

// The tray item and the drop-down panel under it.
//
// The tray item is a StatusNotifierItem of our own where the session bus has a watcher with a
// host (`TrayOptions::bus`), else Qt's XEmbed tray icon. It shows three faders, or a muted
// microphone while every microphone is muted (as the StatusNotifierItem's NeedsAttention
// status); its tooltip names the output and its volume. On the StatusNotifierItem a left click
// toggles the panel, anchored at the point the host reports; the wheel steps the output's volume
// and a middle click mutes or unmutes it; a right click opens the menu (Devices…, Open at login,
// Quit). On the XEmbed icon a left or right click toggles the panel and a middle click mutes.
//
// The panel opens at the tray item when the tray reports where that is, else at the top-right
// of the screen (in the middle of it where the window system leaves placement to the compositor,
// see DisplayPlatform), fades in over 0.16 s and out over 0.12 s, and grows downwards with its
// top edge fixed when its content grows. While it is open the engine keeps its level meters
// going (MixerEngine::setMetering), and two monitors watch the application: Escape anywhere
// closes it (and goes no further), and so does a click outside it or another application taking
// the focus. Where no window manager runs, nothing takes the focus: the open panel then holds
// the pointer, as a menu does, and the click outside closes it. The panel is never higher than
// the screen it opens on leaves room for (its apps' list scrolls).
//
// Where the desktop has no tray (`useTray` false) the panel is the program's only window: it
// opens as a small window at the top right and stays until Escape, a second launch or Quit
// closes it; clicks elsewhere leave it open.
class StatusPanelController : public QObject {
    Q_OBJECT
public:
    static constexpr double fadeInSeconds = 0.16;
    static constexpr double fadeOutSeconds = 0.12;
    // What the panel leaves free of the screen's available height, besides its padding.
    static constexpr int screenMargin = 8;

    using TrayOptions = StatusTrayOptions;

    // The wheel over the tray item: a notch (120) steps the volume by 1/16 on that grid, a
    // smaller turn (a touchpad's smooth scrolling) by 1/64; positive is louder.
    static float volumeAfterScroll(float volume, int delta);
    // The tray item's tooltip: title and body.
    static std::pair<QString, QString> toolTip(const std::optional<std::string>& output,
                                               float volume, bool muted, bool micMuted);

    StatusPanelController(EngineAdapter& adapter, Scheduler& scheduler,
                          const PanelContentFactory& content, bool useTray, TrayOptions tray = {});
    ~StatusPanelController() override;

    void open();
    void close();
    void toggle();
    // A click on the StatusNotifierItem at `point` (screen coordinates): toggles the panel, which
    // opens next to the point.
    void toggleAt(QPoint point);

    bool isOpen() const { return open_; }
    GlassPanel* panel() const { return panel_; }
    QSystemTrayIcon* trayIcon() const { return tray_; }
    StatusNotifierItem* statusNotifierItem() const { return item_; }
    QMenu* trayMenu() const { return menu_; }
    WindowFade& fade() const { return *fade_; }
    // How many times the monitors were installed; they are installed once per opening.
    int monitorInstalls() const { return monitorInstalls_; }
    bool monitorsInstalled() const { return monitorsInstalled_; }

signals:
    // The panel opened (true) or began to close (false).
    void openChanged(bool open);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QRect> trayAnchor() const;
    void openPanel(std::optional<QPoint> clickedAt);
    void showXEmbedIcon();
    void buildMenu(TrayOptions& tray);
    void updateIcon();
    void updateToolTip();
    void installMonitors();
    void removeMonitors();
    void followContent();
    void onApplicationStateChanged(Qt::ApplicationState state);
    void grabPointer();
    void releasePointer();
    void dismiss();

    MixerEngine& engine_;
    EngineAdapter& adapter_;
    Scheduler& scheduler_;
    GlassPanel* panel_;
    WindowFade* fade_;
    QSystemTrayIcon* tray_ = nullptr;
    StatusNotifierItem* item_ = nullptr;
    QMenu* menu_ = nullptr;
    DBusMenu* dbusMenu_ = nullptr;
    LoginItem loginItem_;
    bool open_ = false;
    bool hangsFromTop_ = true;
    bool monitorsInstalled_ = false;
    bool panelWasActive_ = false;
    bool pointerGrabbed_ = false;
    int monitorInstalls_ = 0;
    // When a click outside or the loss of the focus last closed the panel: when that click was
    // on the tray icon, its own toggle must not open the panel again at once.
    double dismissedAt_ = -1e9;
    QMetaObject::Connection stateConnection_;
};

} // namespace voxlane
