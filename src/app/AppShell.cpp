// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppShell.h"

#include "app/Autostart.h"
#include "app/DBusService.h"
#include "app/DevicesWindowController.h"
#include "app/GlassPanel.h"
#include "app/MainMenu.h"
#include "app/MediaKeyTap.h"
#include "app/OnboardingWindowController.h"
#include "app/TerminationSignals.h"
#include "app/Updater.h"
#include "app/VolumeHUDController.h"
#include "app/VolumeKeyGrabber.h"
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/DesktopSession.h"
#include "platform/Scheduler.h"
#include "platform/SystemEvents.h"
#include "ui/EngineAdapter.h"
#include "ui/PanelView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>

namespace voxlane {
namespace {

// "Open at login" through the XDG autostart entry.
LoginItem autostartLogin() {
    return {[] { return Autostart().isEnabled(); },
            [](bool on) {
                Autostart entry;
                return on ? entry.enable(QApplication::applicationFilePath().toStdString())
                          : entry.disable();
            }};
}

} // namespace

AppShell::AppShell(AppServices services, LaunchOptions options, bool trayAvailable, QObject* parent)
    : QObject(parent), services_(std::move(services)), options_(options),
      trayAvailable_(trayAvailable), mainMenu_(std::make_unique<MainMenu>()),
      hud_(std::make_unique<VolumeHUDController>(services_.scheduler)),
      devicesWindow_(std::make_unique<DevicesWindowController>()),
      mediaKeys_(
          std::make_unique<MediaKeyTap>(services_.keyGrabber ? services_.keyGrabber() : nullptr)) {
    panelContent = [this](EngineAdapter& adapter) {
        PanelView::Services services{autostartLogin(), [] { QCoreApplication::quit(); }};
        services.sandboxed = DesktopSession::currentlySandboxed();
        services.volumeKeysGrabbable = mediaKeys_->grabber() != nullptr;
        services.volumeKeyHolder = [] {
            return DesktopSession::volumeKeyHolder(DesktopSession::runningProcessNames());
        };
        services.actions = panelActions();
        return new PanelView(adapter, std::move(services));
    };
    // The first-run window asks the audio server itself, as the engine's own check does.
    OnboardingView::Actions actions;
    actions.checkAccess = [this](std::function<void(AudioPermission::Status)> completion) {
        accessChecks_.add(AudioPermission::check(
            AudioPermission::Services::standard(services_.server, services_.scheduler,
                                                services_.defaults, services_.sounds),
            std::move(completion)));
    };
    actions.openSettings = [this] { return services_.workspace.openSoundSettings(); };
    actions.sandboxed = DesktopSession::currentlySandboxed();
    actions.loginEnabled = [] { return Autostart().isEnabled(); };
    actions.registerLogin = [] {
        Autostart().enable(QCoreApplication::applicationFilePath().toStdString());
    };
    onboarding_ = std::make_unique<OnboardingWindowController>(services_.defaults, actions);
    showOnboarding = [this](MixerEngine& engine, std::function<void()> onFinish) {
        onboarding_->show(engine, std::move(onFinish));
    };
    showDevicesWindow = [this](MixerEngine& engine) { devicesWindow_->show(engine); };
}

AppShell::~AppShell() {
    accessChecks_.cancelAll();
    if (trustPoll_) trustPoll_->cancel();
    if (autoOpen_) autoOpen_->cancel();
    mediaKeys_->stop();
    // The control interface and the windows go before the engine they show.
    control_.reset();
    onboarding_.reset();
    devicesWindow_.reset();
    controller_.reset();
    delete adapter_;
    adapter_ = nullptr;
}

void AppShell::postWillTerminate() {
    if (terminated_) return;
    terminated_ = true;
    mediaKeys_->stop();
    services_.systemEvents.post(SystemEvent::willTerminate);
    // Changes still waiting to be coalesced reach the disk before the process ends.
    services_.defaults.flush();
}

void AppShell::start() {
    // 1. Termination signals quit the ordinary way; quitting tells the engine.
    signals_ = new TerminationSignals([](int) { QCoreApplication::quit(); }, this);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppShell::postWillTerminate);

    // 2. The engine.
    engine_ = std::make_unique<MixerEngine>(EngineServices{services_.server,
                                                           services_.scheduler,
                                                           services_.defaults,
                                                           services_.workspace,
                                                           services_.sounds,
                                                           services_.systemEvents,
                                                           {},
                                                           {},
                                                           services_.hotKeyGrabber});
    adapter_ = new EngineAdapter(*engine_);

    // 3. The tray item and the panel.
    controller_ = std::make_unique<StatusPanelController>(
        *adapter_, services_.scheduler, panelContent, trayAvailable_,
        StatusPanelController::TrayOptions{services_.sessionBus, autostartLogin(),
                                           [] { QCoreApplication::quit(); },
                                           [this] { openDevicesWindow(); }});
    mainMenu_->attachTo(controller_->panel());

    // 3a. The control interface for scripts and key bindings: what it does to the panel, it does
    // through the panel's controller.
    StatusPanelController* panel = controller_.get();
    control_ = std::make_unique<DBusService>(
        *engine_, DBusService::Panel{[panel] { panel->open(); }, [panel] { panel->close(); },
                                     [panel] { return panel->isOpen(); }});
    connect(panel, &StatusPanelController::openChanged, control_.get(),
            [control = control_.get()] { control->panelChanged(); });
    if (publishControl) publishControl(*control_);

    // 4. The volume keys.
    setUpVolumeKeys();

    // 5-7. The device priorities window and updates come from the panel's actions.
    updater_ = std::make_unique<Updater>();
    QPointer<AppShell> weak(this);

    // 8. The first-run window, or the panel.
    const bool completed = services_.defaults.boolean(onboardingCompletedKey).value_or(false);
    launchAction_ = decideLaunch(options_, completed, trayAvailable_);
    switch (launchAction_) {
    case LaunchAction::stayClosed:
        checkAccessQuietly();
        break;
    case LaunchAction::openPanelSoon:
        checkAccessQuietly();
        autoOpen_ = services_.scheduler.asyncAfter(autoOpenDelay, [weak] {
            if (weak && weak->controller_) weak->controller_->open();
        });
        break;
    case LaunchAction::showOnboarding:
        showOnboarding(*engine_, [weak] {
            if (!weak || !weak->engine_) return;
            weak->engine_->refreshAudioAccess();
            weak->checkAccessQuietly();
            weak->controller_->open();
        });
        break;
    }
}

void AppShell::checkAccessQuietly() {
    // Outside a sandbox every program may hear the others: there is nothing to ask the user,
    // and the check runs by itself until it once succeeded.
    if (DesktopSession::currentlySandboxed()) return;
    if (engine_->audioAccess() == AudioPermission::Status::unknown) engine_->requestAudioAccess();
}

void AppShell::reopen() {
    if (!controller_) return;
    if (trayAvailable_) {
        controller_->open();
    } else {
        controller_->toggle();
    }
}

void AppShell::openDevicesWindow() {
    if (controller_) controller_->close();
    if (showDevicesWindow && engine_) showDevicesWindow(*engine_);
}

PanelActions AppShell::panelActions() {
    QPointer<AppShell> weak(this);
    PanelActions actions;
    actions.openDevicesWindow = [weak] {
        if (weak) weak->openDevicesWindow();
    };
    actions.checkForUpdates = [weak] {
        if (!weak) return;
        weak->controller_->close();
        weak->updater_->checkForUpdates();
    };
    // There is no permission to ask for: a refused grab means another program holds the keys,
    // and the poll keeps trying.
    actions.enableVolumeKeys = [weak] {
        if (weak) weak->updateVolumeKeys();
    };
    return actions;
}

void AppShell::setUpVolumeKeys() {
    MixerEngine& engine = *engine_;
    QPointer<AppShell> weak(this);
    // A key the engine took (a software volume) shows the volume display.
    mediaKeys_->handler = [&engine, weak](MediaKey key, bool fine, bool) {
        if (!engine.handleVolumeKey(key, fine)) return false;
        if (weak) {
            if (const auto& output = engine.defaultOutput()) {
                weak->hud_->show(engine.masterVolume(), engine.masterMuted(), output->name,
                                 output->symbolName());
            }
        }
        return true;
    };
    const auto later = [this, weak] {
        services_.scheduler.async([weak] {
            if (weak) weak->updateVolumeKeys();
        });
    };
    connect(adapter_, &EngineAdapter::softVolumeActiveChanged, this, later);
    connect(adapter_, &EngineAdapter::audioAccessChanged, this, later);
    updateVolumeKeys();
}

void AppShell::updateVolumeKeys() {
    if (!engine_) return;
    // A grabbed key reaches no other program, so the keys are taken only while the engine can
    // handle them: software volume on, with audio access.
    const bool wanted =
        engine_->softVolumeActive() && engine_->audioAccess() == AudioPermission::Status::granted;
    if (!wanted) {
        mediaKeys_->stop();
    } else if (!mediaKeys_->isRunning()) {
        mediaKeys_->start();
        if (!mediaKeys_->isRunning() && !trustPoll_) {
            QPointer<AppShell> weak(this);
            trustPoll_ = services_.scheduler.repeating(trustPollInterval, [weak] {
                if (weak) weak->updateVolumeKeys();
            });
        }
    }
    if (trustPoll_ && (mediaKeys_->isRunning() || !wanted)) {
        trustPoll_->cancel();
        trustPoll_.reset();
    }
    engine_->setVolumeKeysReady(mediaKeys_->isRunning());
}

} // namespace voxlane
