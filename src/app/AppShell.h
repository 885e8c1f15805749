// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/LaunchOptions.h"
#include "app/StatusPanelController.h"
#include "engine/AudioPermission.h"
#include "platform/WorkItem.h"
#include "ui/PanelActions.h"

#include <QObject>
#include <functional>

class QDBusConnection;
#include <memory>

namespace voxlane {

class KeyGrabber;

class AudioServer;
class Defaults;
class DBusService;
class DevicesWindowController;
class EngineAdapter;
class MainMenu;
class MediaKeyTap;
class MixerEngine;
class OnboardingWindowController;
class Scheduler;
class SystemEvents;
class SystemSounds;
class TerminationSignals;
class Updater;
class VolumeHUDController;
class VolumeKeyGrabber;
class Workspace;

// What the shell runs on; everything must outlive the shell.
struct AppServices {
    AudioServer& server;
    Scheduler& scheduler;
    Defaults& defaults;
    Workspace& workspace;
    SystemSounds& sounds;
    SystemEvents& systemEvents;
    // The volume-key grabber of this session; none where keys cannot be grabbed.
    std::function<std::unique_ptr<VolumeKeyGrabber>()> keyGrabber;
    // The session's key grabber for the microphone hot key; none where keys cannot be grabbed.
    KeyGrabber* hotKeyGrabber = nullptr;
    // The session bus, for the StatusNotifierItem; none: the XEmbed tray only.
    QDBusConnection* sessionBus = nullptr;
};

// The running application's parts and their wiring. It owns the engine, the tray item and
// panel, the control interface, the volume display, the volume keys and the windows; start()
// creates the engine and what shows it in order and connects them, decides between the
// first-run window and the panel, runs the volume keys while software volume is active, and
// turns SIGTERM, SIGINT and SIGHUP into the ordinary quit, after which the engine shuts down.
class AppShell : public QObject {
    Q_OBJECT
public:
    static constexpr double autoOpenDelay = 0.4;
    static constexpr double trustPollInterval = 2.0;
    static constexpr const char* onboardingCompletedKey = "onboardingCompleted";

    AppShell(AppServices services, LaunchOptions options, bool trayAvailable,
             QObject* parent = nullptr);
    ~AppShell() override;

    // Filled before start():
    // the panel's content (the panel view by default);
    PanelContentFactory panelContent;
    // the first-run window: shows it and calls `onFinish` when the user is done (the shell's
    // own first-run window unless replaced);
    std::function<void(MixerEngine& engine, std::function<void()> onFinish)> showOnboarding;
    // the device priorities window (the shell's own unless replaced).
    std::function<void(MixerEngine& engine)> showDevicesWindow;
    // the control interface, once the engine and the panel exist: where it is served (nowhere
    // unless filled; the program serves it on the session bus).
    std::function<void(DBusService& control)> publishControl;

    // Once the event loop runs (the program calls it from there).
    void start();
    // Closes the panel and shows the device priorities window ("Devices…" everywhere).
    void openDevicesWindow();
    // A later launch of the program: opens the panel (toggles it where there is no tray).
    void reopen();

    MixerEngine* engine() const { return engine_.get(); }
    EngineAdapter* adapter() const { return adapter_; }
    StatusPanelController* controller() const { return controller_.get(); }
    DBusService* control() const { return control_.get(); }
    VolumeHUDController& hud() const { return *hud_; }
    MediaKeyTap& mediaKeys() const { return *mediaKeys_; }
    // The application's commands; every window of the shell attaches them.
    MainMenu& mainMenu() const { return *mainMenu_; }
    OnboardingWindowController& onboarding() const { return *onboarding_; }
    DevicesWindowController& devicesWindow() const { return *devicesWindow_; }
    bool trustPollRunning() const { return trustPoll_ != nullptr; }
    LaunchAction launchAction() const { return launchAction_; }

private:
    void checkAccessQuietly();
    // What the panel asks of the shell.
    PanelActions panelActions();
    void setUpVolumeKeys();
    void updateVolumeKeys();
    void postWillTerminate();

    AppServices services_;
    LaunchOptions options_;
    bool trayAvailable_;
    std::unique_ptr<MainMenu> mainMenu_;
    std::unique_ptr<MixerEngine> engine_;
    EngineAdapter* adapter_ = nullptr;
    std::unique_ptr<StatusPanelController> controller_;
    std::unique_ptr<DBusService> control_;
    std::unique_ptr<VolumeHUDController> hud_;
    std::unique_ptr<OnboardingWindowController> onboarding_;
    AudioPermission::Checks accessChecks_; // the first-run window's
    std::unique_ptr<DevicesWindowController> devicesWindow_;
    std::unique_ptr<MediaKeyTap> mediaKeys_;
    std::unique_ptr<Updater> updater_;
    TerminationSignals* signals_ = nullptr;
    WorkItemRef trustPoll_;
    WorkItemRef autoOpen_;
    LaunchAction launchAction_ = LaunchAction::stayClosed;
    bool terminated_ = false;
};

} // namespace voxlane
