// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppShell.h"
#include "app/VolumeKeyGrabber.h"
#include "engine/AudioPermission.h"
#include "engine/MixerEngine.h"
#include "platform/Defaults.h"
#include "platform/SystemEvents.h"
#include "platform/SystemSounds.h"
#include "support/FakeWorkspace.h"
#include "support/PrivateBus.h"
#include "support/SimObjects.h"
#include "support/SimRig.h"
#include "support/TempDirectory.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

#define SKIP_WITHOUT_BUS()                                                                         \
    if (!::voxlane::test::PrivateBus::available())                                                 \
    GTEST_SKIP() << "dbus-daemon is needed (scripts/deps.sh installs it)"

namespace voxlane::test {

// A volume-key grabber that grants or refuses its grab as the test says and reports the presses
// the test makes.
class FakeGrabber final : public VolumeKeyGrabber {
public:
    struct Control {
        bool refuse = false, grabbed = false;
        int grabs = 0;
    };
    explicit FakeGrabber(std::shared_ptr<Control> control) : control_(std::move(control)) {}
    bool grab() override {
        ++control_->grabs;
        return control_->grabbed = !control_->refuse;
    }
    void release() override { control_->grabbed = false; }
    bool isGrabbed() const override { return control_->grabbed; }
    int fd() const override { return -1; }
    void dispatch() override {}
    void press(MediaKey key, bool fine = false) {
        if (control_->grabbed && onPress) onPress({key, fine, false});
    }

private:
    std::shared_ptr<Control> control_;
};

// The simulated audio server with one output device, the fake clock and the other services the
// shell runs on.
struct ShellWorld : test::SimRig {
    FakeWorkspace workspace;
    std::unique_ptr<Defaults> defaults = Defaults::inMemory();
    SystemSounds sounds{sim};
    SystemEvents systemEvents;
    std::shared_ptr<FakeGrabber::Control> keys = std::make_shared<FakeGrabber::Control>();
    FakeGrabber* grabber = nullptr;

    // Runs the audio clock and the main queue together for 0.2 s, 25 ms at a time.
    void settle() {
        for (int i = 0; i < 8; ++i) {
            sim.advance(static_cast<std::uint32_t>(0.025 * sim.sampleRate()));
            scheduler.advance(0.025);
        }
    }

    // What an engine on this world runs on (no key grabber: no hot key).
    EngineServices engineServices() {
        return {sim, scheduler, *defaults, workspace, sounds, systemEvents, {}, {}};
    }

    // `hardwareVolume` false: the output has no volume of its own (software volume).
    explicit ShellWorld(bool hardwareVolume = true) {
        auto setup = deviceSetup("speakers", "Speakers");
        setup.output.hasVolume = setup.output.hasMute = hardwareVolume;
        sim.addDevice(setup);
        defaults->setBoolean(AudioPermission::grantedKey, true);
    }
    // A running app `id` called `name`, with a process that plays `signal` (or is stopped).
    ObjectId addApp(std::int32_t pid, const std::string& id, const std::string& name,
                    SimServer::Signal signal = SimServer::Signal::sine(0.25f), bool playing = true,
                    ObjectId device = noObject) {
        workspace.applications[pid] = RunningApplication{id, name, {}, "", true};
        auto setup = processSetup(pid, signal, id, device);
        setup.playing = playing;
        return sim.addProcess(setup);
    }
    // The shell on this world, started with `arguments`.
    std::unique_ptr<AppShell> launch(const std::vector<std::string>& arguments) {
        auto shell = std::make_unique<AppShell>(services(), LaunchOptions::parse(arguments), true);
        shell->start();
        return shell;
    }
    AppServices services() {
        return AppServices{sim, scheduler, *defaults, workspace, sounds, systemEvents, [this] {
                               auto g = std::make_unique<FakeGrabber>(keys);
                               grabber = g.get();
                               return std::unique_ptr<VolumeKeyGrabber>(std::move(g));
                           }};
    }
};

// A private session bus for one test with two connections: one for the program under test and
// one for the desktop the test plays (tray watcher, portal).
class DesktopBus {
public:
    DesktopBus() {
        static int instances = 0;
        const QString suffix = QString::number(++instances);
        if (!bus_.start()) return;
        const QString address = QString::fromStdString(bus_.address());
        app_ = QDBusConnection::connectToBus(address, "voxlane-test-app-" + suffix);
        desktop_ = QDBusConnection::connectToBus(address, "voxlane-test-desktop-" + suffix);
    }
    ~DesktopBus() {
        QDBusConnection::disconnectFromBus(app_.name());
        QDBusConnection::disconnectFromBus(desktop_.name());
    }
    bool ready() const { return app_.isConnected() && desktop_.isConnected(); }
    QDBusConnection& app() { return app_; }
    QDBusConnection& desktop() { return desktop_; }
    // Offers `object` at `path` under the name `service` on the desktop's connection.
    bool offer(QObject* object, const QString& path, const QString& service) {
        return desktop_.registerObject(path, object, QDBusConnection::ExportAllContents) &&
               desktop_.registerService(service);
    }

private:
    PrivateBus bus_;
    QDBusConnection app_{QString()};
    QDBusConnection desktop_{QString()};
};

// A home for the voxlane program: a private runtime directory and a configuration in which the
// first run is behind us.
struct ProgramHome {
    ProgramHome() {
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        dir.write("config/voxlane/demo.json", R"({"onboardingCompleted": {"boolean": true}})");
    }
    // The session's environment with this home; on `busAddress`, if given, as its session bus.
    QProcessEnvironment environment(const std::string& busAddress = {}) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime);
        env.insert("XDG_CONFIG_HOME", config);
        if (!busAddress.empty())
            env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString(busAddress));
        return env;
    }
    TempDirectory dir;
    QString runtime = QString::fromStdString(dir / "runtime");
    QString config = QString::fromStdString(dir / "config");
};

// Calls `method` on `from` and waits for the answer while the event loop runs (the service may
// live on this thread, where a blocking call would wait for itself).
inline QDBusMessage callAndWait(QDBusConnection from, const QString& service, const QString& path,
                                const QString& interface, const QString& method,
                                const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    QDBusPendingCall pending = from.asyncCall(message);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }));
    return pending.reply();
}

// Ends `process` by SIGTERM: success when it quits the ordinary way with status 0.
inline ::testing::AssertionResult terminates(QProcess& process) {
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000)) return ::testing::AssertionFailure() << "still running";
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return ::testing::AssertionFailure() << "ended with " << process.exitCode() << ": "
                                             << process.readAllStandardError().toStdString();
    return ::testing::AssertionSuccess();
}

} // namespace voxlane::test
