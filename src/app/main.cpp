// SPDX-License-Identifier: GPL-3.0-or-later
// voxlane: the tray application. See AppShell for what a launch does.
#include "app/AppShell.h"
#include "app/AudioBackend.h"
#include "app/CtlCommand.h"
#include "app/DBusService.h"
#include "app/DesktopColorScheme.h"
#include "app/DesktopShortcuts.h"
#include "app/GlassPanel.h"
#include "app/KeyGrabberVolumeKeys.h"
#include "app/LaunchOptions.h"
#include "app/QtScheduler.h"
#include "app/SingleInstance.h"
#include "app/StatusCommand.h"
#include "app/StatusIcons.h"
#include "app/X11KeyEvents.h"
#include "platform/AppIdentifier.h"
#include "platform/Defaults.h"
#include "platform/DisplayPlatform.h"
#include "platform/Log.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "platform/X11KeyGrabber.h"
#include "ui/Theme.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QDBusConnection>
#include <QSystemTrayIcon>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <xcb/xcb.h>

using namespace voxlane;

namespace {

constexpr const char* usage =
    "Usage: voxlane [OPTION]...\n"
    "       voxlane ctl COMMAND [ARGUMENT]...\n"
    "Per-application volume, mute, equaliser and output device in the tray.\n"
    "\n"
    "  --status      print the audio server's devices and applications and Voxlane's\n"
    "                settings for them, then exit (needs no display)\n"
    "  --json        with --status: print the report as JSON\n"
    "  --demo        run on the simulated audio server with demo applications\n"
    "  --onboarding  show the first-run window even after it was completed\n"
    "  --login       started at login by the autostart entry: the panel stays closed\n"
    "  --help        show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "`voxlane ctl` controls the running Voxlane from scripts and key bindings;\n"
    "`voxlane ctl --help` lists its commands.\n"
    "\n"
    "Any option beginning with \"--\" keeps the panel from opening by itself.\n"
    "Settings are kept in $XDG_CONFIG_HOME/voxlane/ (~/.config/voxlane/).\n";

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool displayAvailable() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

// When the X server is the only way to show anything, whether it answers: the toolkit would
// otherwise abort the process on its own.
bool xServerMissing() {
    if (isSet("QT_QPA_PLATFORM") || isSet("WAYLAND_DISPLAY")) return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    return failed;
}

// The commands that answer on the terminal and end: `ctl`, `--help`, `--version`, `--status`.
// Their exit status, or nothing when this is a launch of the tray application.
std::optional<int> runTerminalCommand(const std::vector<std::string>& arguments) {
    // `voxlane ctl …` talks to the running Voxlane and has options of its own.
    if (!arguments.empty() && arguments.front() == "ctl")
        return runCtlCommand({arguments.begin() + 1, arguments.end()});
    for (const auto& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::printf("voxlane %s\n", VOXLANE_VERSION);
            return 0;
        }
    }
    // `--status` is a terminal command: no display, no tray, nothing changed.
    for (const auto& argument : arguments) {
        if (argument == "--status") return runStatusCommand(arguments);
    }
    return std::nullopt;
}

// Whether there is a display to show the tray item and panel on; says why not when there is none.
bool haveDisplay() {
    if (!displayAvailable()) {
        std::fprintf(stderr, "voxlane: no display to show the tray item and panel on (neither "
                             "DISPLAY nor WAYLAND_DISPLAY is set)\n");
        return false;
    }
    if (xServerMissing()) {
        std::fprintf(stderr, "voxlane: cannot connect to the X display \"%s\"\n",
                     std::getenv("DISPLAY"));
        return false;
    }
    return true;
}

// The toolkit's command line: ours, and the platform plugin the display asks for. In a Wayland
// session the windows go through XWayland where it exists (see DisplayPlatform); asked for on
// the command line, so that programs we start keep the session's own choice.
class QtArguments {
public:
    QtArguments(int argc, char** argv, std::string platform)
        : platform_(std::move(platform)), arguments_(argv, argv + argc) {
        if (!platform_.empty()) {
            arguments_.push_back(platformSwitch_.data());
            arguments_.push_back(platform_.data());
        }
        count_ = int(arguments_.size());
        arguments_.push_back(nullptr);
    }
    int& count() { return count_; }
    char** values() { return arguments_.data(); }

private:
    std::string platformSwitch_ = "-platform";
    std::string platform_;
    std::vector<char*> arguments_;
    int count_ = 0;
};

void describeApplication() {
    QApplication::setApplicationName("Voxlane");
    QApplication::setDesktopFileName(
        QString::fromLatin1(AppIdentifier.data(), AppIdentifier.size()));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(StatusIcons::applicationIcon());
    // Uncomposited, the panel is cut to its drawn shape once per layout: views that glide or
    // fade would leave that shape behind them.
    Theme::setReducedMotion(!GlassPanel::compositorActive());
}

// Light or dark glass after the desktop's preference, known before the first window shows
// (the portal answers within milliseconds where there is one) and followed from then on.
void followColorScheme(DesktopColorScheme& colorScheme) {
    colorScheme.waitUntilSettled(1000);
    auto applyScheme = [](bool dark) {
        Theme::setVariant(dark ? Theme::Variant::dark : Theme::Variant::light);
    };
    applyScheme(colorScheme.dark());
    QObject::connect(&colorScheme, &DesktopColorScheme::changed, applyScheme);
}

// The user's settings: the demo keeps its own apart from the real ones.
std::unique_ptr<Defaults> openDefaults(const AudioBackend& backend, Scheduler& scheduler) {
    auto defaults =
        Defaults::openFile(backend.isDemo() ? Defaults::defaultPath().parent_path() / "demo.json"
                                            : Defaults::defaultPath(),
                           scheduler);
    if (backend.isDemo() && !defaults->boolean("audioAccessGranted"))
        defaults->setBoolean("audioAccessGranted", true);
    return defaults;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const auto status = runTerminalCommand(arguments)) return *status;
    if (!haveDisplay()) return 1;
    // A write beyond a file size limit fails (and is logged) instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const LaunchOptions options = LaunchOptions::parse(arguments);

    const auto display = DisplayPlatform::choose(DisplayPlatform::Environment::current());
    QtArguments qtArguments(argc, argv, display.platform);
    QApplication app(qtArguments.count(), qtArguments.values());
    // The interface in the session's language where Voxlane has it (LANGUAGE, LC_ALL,
    // LC_MESSAGES, LANG), else in English.
    const Translations translations(QLocale::system());
    if (!display.limitation.empty()) Log::info("display", display.limitation);
    describeApplication();

    // A second launch opens the panel of the running one and ends.
    SingleInstance instance;
    if (!instance.claim()) return 0;

    QtScheduler scheduler;
    // Without a reachable PipeWire this waits for one (the log says so once).
    auto backend = AudioBackend::start(scheduler, options.demo);
    auto defaults = openDefaults(*backend, scheduler);
    SystemSounds sounds(backend->server());
    SystemEvents systemEvents;

    // One key grabber for the session serves the microphone hot key and the volume keys.
    std::unique_ptr<X11KeyGrabber> keys;
    if (QGuiApplication::platformName() == "xcb") keys = X11KeyGrabber::connect(scheduler);
    std::unique_ptr<X11KeyEvents> keyEvents;
    if (keys) keyEvents = std::make_unique<X11KeyEvents>(*keys);
    // The hot key goes through the desktop's GlobalShortcuts portal where it has one, else
    // through the X11 grab; the volume keys are X11 grabs only (see AppShell).
    QDBusConnection bus = QDBusConnection::sessionBus();
    DesktopShortcuts shortcuts(&bus, keys.get());
    DesktopColorScheme colorScheme(&bus);
    followColorScheme(colorScheme);

    // At login the desktop's tray may come up after us; the icon then appears when it does.
    const bool trayAvailable = QSystemTrayIcon::isSystemTrayAvailable() || options.login;
    // In a Wayland session an X11 grab sees only keys typed into XWayland windows, while the
    // compositor hands the volume keys to the desktop: they are not grabbed there at all.
    const bool volumeKeysGrabbable =
        keys && DisplayPlatform::Environment::current().waylandDisplay.empty();
    AppServices services{backend->server(),
                         scheduler,
                         *defaults,
                         backend->workspace(),
                         sounds,
                         systemEvents,
                         [grabber = volumeKeysGrabbable
                                        ? keys.get()
                                        : nullptr]() -> std::unique_ptr<VolumeKeyGrabber> {
                             if (!grabber) return nullptr;
                             return std::make_unique<KeyGrabberVolumeKeys>(*grabber);
                         },
                         &shortcuts,
                         &bus};
    AppShell shell(std::move(services), options, trayAvailable);
    shell.publishControl = [](DBusService& control) { control.publishOnSessionBus(); };
    QObject::connect(&instance, &SingleInstance::reopenRequested, &shell, &AppShell::reopen);
    QTimer::singleShot(0, &shell, &AppShell::start);
    return app.exec();
}
