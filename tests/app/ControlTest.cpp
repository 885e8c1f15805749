// SPDX-License-Identifier: GPL-3.0-or-later
// The control interface on a private session bus: the running shell (engine on the simulated
// server, panel, control service) in this process, `voxlane ctl` as a real program against it.
#include "ShellWorld.h"
#include "app/DBusService.h"
#include "app/NameMatch.h"
#include "app/StatusPanelController.h"

#include <QDBusArgument>
#include <cmath>
#include <nlohmann/json.hpp>

namespace voxlane {
namespace {

TEST(NameMatch, ExactKeyThenWholeNameThenUniqueBeginning) {
    using Kind = NameMatch::Result::Kind;
    const std::vector<NameMatch::Entry> apps{{"org.mozilla.firefox", "Firefox"},
                                             {"org.mozilla.firefox.nightly", "Firefox Nightly"},
                                             {"com.example.Notes", "Notes"},
                                             {"com.example.Notes2", "Notes"}};
    const auto find = [&](const char* word) { return NameMatch::find(apps, word); };
    // A whole name wins over the longer names it begins (whatever the case: ctl's tests); only
    // the id tells two apps of one name apart.
    EXPECT_EQ(find("firefox n").indices, std::vector<std::size_t>{1});
    EXPECT_EQ(find("com.example.Notes2").indices, std::vector<std::size_t>{3});
    EXPECT_EQ(find("notes").kind, Kind::ambiguous);
    EXPECT_EQ(find("nightly").kind, Kind::none); // no match within a name
    EXPECT_EQ(find("").kind, Kind::none);
    EXPECT_EQ(NameMatch::find({{"a", QString::fromUtf8("Ärger")}}, QString::fromUtf8("äRG")).kind,
              Kind::found);
}

// What one run of `voxlane ctl` did.
struct CtlRun {
    int status = -1;
    std::string out, err;
};

// Runs `voxlane ctl` on the bus at `address` while this thread keeps serving the bus.
CtlRun ctl(const std::string& address, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString(address));
    process.setProcessEnvironment(env);
    process.start(VOXLANE_PATH, QStringList{"ctl"} + arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 15000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// Collects the signals the interface sends.
class SignalLog : public QObject {
    Q_OBJECT
public:
    std::vector<QDBusMessage> messages;
    // The signals called `member`, in order.
    std::vector<QDBusMessage> named(const QString& member) const {
        std::vector<QDBusMessage> found;
        std::copy_if(messages.begin(), messages.end(), std::back_inserter(found),
                     [&](const QDBusMessage& m) { return m.member() == member; });
        return found;
    }
public slots:
    void received(const QDBusMessage& message) { messages.push_back(message); }
};

class Control : public ::testing::Test {
protected:
    static constexpr const char* firefox = "org.mozilla.firefox";
    static constexpr const char* nightly = "org.mozilla.firefox.nightly";
    void SetUp() override {
        SKIP_WITHOUT_BUS();
        ASSERT_TRUE(bus.start());
        speakers = world.sim.defaultDevice(Role::output);
        headphones = world.sim.addDevice(test::deviceSetup("headphones", "Headphones"));
        mic = world.sim.addDevice(
            test::deviceSetup("mic", "Microphone", Transport::builtIn, {}, {1}));
        world.addApp(701, firefox, "Firefox", SimServer::Signal::sine(0.5f));
        world.addApp(702, nightly, "Firefox Nightly", SimServer::Signal::silence(), false);
        // Discord plays on the headphones whatever the default is.
        discord = world.addApp(703, "com.discordapp.Discord", "Discord",
                               SimServer::Signal::sine(0.2f, 550), true, headphones);
        world.defaults->setBoolean(AppShell::onboardingCompletedKey, true);
        shell =
            std::make_unique<AppShell>(world.services(), LaunchOptions::parse({"--login"}), true);
        bool published = false;
        shell->publishControl = [&](DBusService& service) {
            service.publish(connection("voxlane-control-service"),
                            [&](bool owned) { published = owned; });
        };
        shell->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return published; }));
        world.settle();
    }
    void TearDown() override {
        shell.reset();
        QDBusConnection::disconnectFromBus("voxlane-control-service");
        QDBusConnection::disconnectFromBus("voxlane-control-client");
    }
    // The peak a device plays now.
    float playing(ObjectId device) {
        world.sim.advance(4096);
        return world.sim.peak(device);
    }
    // Runs `voxlane ctl`, then lets the server's notifications and the taps' gain glides run.
    CtlRun run(const QStringList& arguments) {
        CtlRun result = ctl(bus.address(), arguments);
        world.settle();
        return result;
    }
    QDBusConnection connection(const QString& name) {
        return QDBusConnection::connectToBus(QString::fromStdString(bus.address()), name);
    }
    // One call of the interface from this process (the service answers from this thread too).
    QDBusMessage call(const QString& method, const QVariantList& arguments,
                      const QString& interface = DBusService::interfaceName) {
        return test::callAndWait(connection("voxlane-control-client"), DBusService::serviceName,
                                 DBusService::objectPath, interface, method, arguments);
    }
    MixerEngine& engine() const { return *shell->engine(); }
    test::PrivateBus bus;
    test::ShellWorld world;
    ObjectId speakers = 0, headphones = 0, mic = 0, discord = 0;
    std::unique_ptr<AppShell> shell;
};

// Each command, by name and in steps, changes what the devices play: Firefox (0.5) plays on the
// speakers, Discord (0.2) on the headphones; the gain is the volume squared below 100 %.
TEST_F(Control, EveryCommandChangesWhatTheDevicesPlay) {
    ASSERT_NEAR(playing(speakers), 0.5f, 0.01f);
    ASSERT_NEAR(playing(headphones), 0.2f, 0.01f);
    struct Step {
        QStringList arguments;
        bool onHeadphones; // else the speakers
        float low, high;   // what the device plays after the command
    };
    for (const Step& step :
         std::vector<Step>{{{"volume", "firefox", "50"}, false, 0.115f, 0.135f},
                           {{"volume", "Firefox", "+10"}, false, 0.17f, 0.19f},
                           {{"mute", "discord"}, true, 0, 0.001f},
                           {{"mute", "discord", "toggle"}, true, 0.19f, 0.21f},
                           {{"solo", firefox}, true, 0, 0.001f},
                           {{"solo", "firefox", "off"}, true, 0.19f, 0.21f},
                           {{"output", "firefox", "head"}, false, 0, 0.001f},
                           {{"output", "firefox", "default"}, false, 0.17f, 0.19f},
                           // Twelve decibels on every band make it about four times louder.
                           {{"eq", "firefox", "12,12,12,12,12"}, false, 0.5f, 2},
                           {{"eq", "firefox", "Voice"}, false, 0, 0.5f},
                           {{"reset", "firefox"}, false, 0.49f, 0.51f},
                           {{"master", "40"}, false, 0, 0.49f}, // the device's own volume here
                           {{"master", "mute"}, false, 0, 0.001f},
                           {{"master", "toggle"}, false, 0.1f, 1},
                           // The default output: Firefox follows it.
                           {{"default-output", "Headphones"}, false, 0, 0.001f}}) {
        const CtlRun r = run(step.arguments);
        EXPECT_EQ(r.status, 0) << step.arguments.join(' ').toStdString() << ": " << r.err;
        const float peak = playing(step.onHeadphones ? headphones : speakers);
        EXPECT_TRUE(peak >= step.low && peak <= step.high)
            << step.arguments.join(' ').toStdString() << ": " << peak;
    }
    EXPECT_FLOAT_EQ(world.sim.deviceVolume(speakers), 0.4f);
    EXPECT_EQ(engine().allSettings().count(firefox), 0u) << "reset stores nothing";
    EXPECT_EQ(world.sim.defaultDevice(Role::output), headphones);
    const auto devices = nlohmann::json::parse(run({"devices", "--json"}).out, nullptr, false);
    ASSERT_EQ(devices.size(), 3u) << devices;
    EXPECT_EQ(devices[1], nlohmann::json::parse(R"({"uid": "headphones", "name": "Headphones",
        "output": true, "input": false, "defaultOutput": true, "defaultInput": false})"));
    // Every microphone; ducking, stored as if set by hand; the panel, and what a toggle says.
    EXPECT_EQ(run({"mic-mute"}).status, 0);
    EXPECT_TRUE(world.sim.deviceMuted(mic, Side::input));
    EXPECT_EQ(run({"ducking", "off"}).status, 0);
    EXPECT_EQ(world.defaults->boolean("duckingEnabled"), false);
    EXPECT_EQ(run({"panel", "show"}).status, 0);
    EXPECT_TRUE(shell->controller()->isOpen());
    EXPECT_EQ(run({"panel"}).out, "panel open: no\n");
}

TEST_F(Control, NamesAreMatchedAndBadArgumentsRefused) {
    // Two apps begin with "fire": refused, both named, nothing changed.
    CtlRun r = run({"volume", "fire", "30"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Firefox (org.mozilla.firefox)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Firefox Nightly (org.mozilla.firefox.nightly)"), std::string::npos);
    // Unknown apps and devices and usage errors: status 2 and one line on standard error (values
    // out of range: over the bus below).
    for (const QStringList& arguments : std::vector<QStringList>{
             {"volume", "spotify", "50"}, {"default-output", "Microphone"}, {"frobnicate"}}) {
        r = run(arguments);
        EXPECT_EQ(r.status, 2) << arguments.join(' ').toStdString() << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.err.rfind("voxlane ctl: ", 0), 0u) << r.err;
    }
    EXPECT_EQ(engine().settings(firefox), AppSettings{});
    // Over the bus itself: what the command line cannot send is refused as well.
    const QString invalid = QString(DBusService::errorPrefix) + "InvalidArgument";
    EXPECT_EQ(call("SetVolume", {"Firefox", std::nan("")}).errorName(), invalid);
    EXPECT_EQ(call("SetDuckLevel", {150.0}).errorName(), invalid);
    EXPECT_EQ(call("SetVolume", {"nobody", 50.0}).errorName(),
              QString(DBusService::errorPrefix) + "UnknownApp");
    EXPECT_EQ(engine().settings(firefox), AppSettings{});
    EXPECT_FLOAT_EQ(engine().duckLevel(), 0.3f);
    // A good call answers with the app's record.
    const QDBusMessage reply =
        call("SetEQGains", {"Firefox", QVariant::fromValue(QList<double>{3.3, 0, 0, 0, 0})});
    const auto record = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    EXPECT_EQ(record.value("eq-preset").toString(), "custom") << reply.errorMessage().toStdString();
    EXPECT_EQ(engine().settings(firefox).eq.gains, (std::vector<float>{3.5f, 0, 0, 0, 0}))
        << "rounded to half decibels as the editor does";
}

TEST_F(Control, ChangesAreAnnounced) {
    SignalLog log;
    QDBusConnection client = connection("voxlane-control-client");
    for (const char* member :
         {"AppAdded", "AppRemoved", "AppChanged", "DevicesChanged", "PropertiesChanged"}) {
        ASSERT_TRUE(client.connect(DBusService::serviceName, DBusService::objectPath,
                                   member[0] == 'P' ? "org.freedesktop.DBus.Properties"
                                                    : DBusService::interfaceName,
                                   member, &log, SLOT(received(QDBusMessage))));
    }
    call("ListApps", {}); // the subscriptions reach the bus before anything happens
    // Whether a `member` signal whose record (PropertiesChanged: the changed values) has the
    // `wanted` values comes after the first `from` ones.
    const auto announced = [&](const QString& member, const QVariantMap& wanted,
                               std::size_t from = 0) {
        return QTest::qWaitFor([&] {
            const auto found = log.named(member);
            return std::any_of(found.begin() + from, found.end(), [&](const QDBusMessage& m) {
                const auto record =
                    qdbus_cast<QVariantMap>(m.arguments().value(member[0] == 'P' ? 1 : 0));
                return std::all_of(wanted.keyBegin(), wanted.keyEnd(), [&](const QString& k) {
                    return record.value(k) == wanted.value(k);
                });
            });
        });
    };
    // A change made in the engine (as the panel makes it) is announced.
    engine().toggleMute(firefox);
    EXPECT_TRUE(announced("AppChanged", {{"id", firefox}, {"muted", true}}));
    // Microphones: a property change.
    ASSERT_EQ(run({"mic-mute", "on"}).status, 0);
    ASSERT_TRUE(announced("PropertiesChanged", {{"MicMuted", true}}));
    // The panel is the shell's: its opening and closing are announced all the same.
    ASSERT_EQ(run({"panel", "show"}).status, 0);
    EXPECT_TRUE(announced("PropertiesChanged", {{"PanelVisible", true}}));
    const std::size_t shown = log.named("PropertiesChanged").size();
    ASSERT_EQ(run({"panel", "hide"}).status, 0);
    EXPECT_TRUE(announced("PropertiesChanged", {{"PanelVisible", false}}, shown));
    // Apps and devices that come and go.
    world.addApp(704, "org.example.Radio", "Radio", SimServer::Signal::sine(0.1f));
    world.settle();
    EXPECT_TRUE(announced("AppAdded", {{"id", "org.example.Radio"}, {"name", "Radio"}}));
    world.sim.removeProcess(discord);
    world.settle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.named("AppRemoved").empty(); }));
    EXPECT_EQ(log.named("AppRemoved").back().arguments().value(0).toString(),
              "com.discordapp.Discord");
    world.sim.removeDevice(headphones);
    world.settle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !log.named("DevicesChanged").empty(); }));
}

// The program itself: `voxlane --demo` serves the interface on the session bus; without it the
// commands end with status 1.
TEST(ControlProgram, ServesTheDemoAndEndsWithStatusOneWhenGone) {
    SKIP_WITHOUT_BUS();
    test::PrivateBus bus;
    ASSERT_TRUE(bus.start());
    test::ProgramHome home;
    CtlRun r = ctl(bus.address(), {"apps"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not running"), std::string::npos) << r.err;
    QProcess voxlane;
    QProcessEnvironment env = home.environment(bus.address());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    voxlane.setProcessEnvironment(env);
    voxlane.start(VOXLANE_PATH, {"--demo"});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return ctl(bus.address(), {"volume", "firefox", "40"}).status == 0;
        },
        10000))
        << voxlane.readAllStandardError().toStdString();
    const auto ordered =
        nlohmann::ordered_json::parse(ctl(bus.address(), {"apps", "--json"}).out, nullptr, false);
    const auto app = std::find_if(ordered.begin(), ordered.end(),
                                  [](const auto& a) { return a["id"] == "org.mozilla.firefox"; });
    ASSERT_NE(app, ordered.end()) << ordered;
    // The documented form, members in this order.
    EXPECT_EQ(app->dump(), R"({"id":"org.mozilla.firefox","name":"Firefox","playing":true,)"
                           R"("volume":40,"muted":false,"solo":false,"output":null,)"
                           R"("eq":{"preset":"off","gains":[0,0,0,0,0]}})");
    EXPECT_TRUE(test::terminates(voxlane));
    // Stored like a change in the panel.
    EXPECT_NE(home.dir.read("config/voxlane/demo.json").find(R"("org.mozilla.firefox")"),
              std::string::npos);
    EXPECT_EQ(ctl(bus.address(), {"panel"}).status, 1);
}

} // namespace
} // namespace voxlane

#include "ControlTest.moc"
