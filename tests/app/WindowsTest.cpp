// SPDX-License-Identifier: GPL-3.0-or-later
// The device priorities window and the first-run window, on the simulated audio server.
#include "ShellWorld.h"
#include "app/AppShell.h"
#include "app/DevicesWindowController.h"
#include "app/LaunchOptions.h"
#include "app/OnboardingWindowController.h"
#include "engine/MixerEngine.h"
#include "support/TempDirectory.h"
#include "support/Widgets.h"
#include "ui/DeviceRow.h"
#include "ui/DeviceSection.h"
#include "ui/DevicesView.h"
#include "ui/GhostButton.h"
#include "ui/OnboardingView.h"
#include "ui/OptionRow.h"
#include "ui/Paragraph.h"
#include "ui/PermissionCard.h"
#include "ui/Switch.h"
#include "ui/Theme.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace voxlane {
namespace {

using test::ShellWorld;
using Status = AudioPermission::Status;

std::vector<std::string> uids(const std::vector<DeviceRule>& rules) {
    std::vector<std::string> out;
    for (const auto& r : rules)
        out.push_back(r.uid);
    return out;
}

using test::mouse;

// The shell's engine with ranked output rules A (connected, the speakers), B (never) and C (gone).
class DevicesWindow : public ::testing::Test {
protected:
    void SetUp() override {
        world.defaults->setBoolean(AppShell::onboardingCompletedKey, true);
        shell = std::make_unique<AppShell>(world.services(), LaunchOptions{}, true);
        shell->start();
        DeviceRules rules = engine().deviceRules();
        rules.outputs = {{"speakers", "Speakers", Transport::builtIn, false},
                         {"usb", "USB DAC", Transport::usb, true},
                         {"bt", "Headphones", Transport::bluetooth, false}};
        rules.outputsRanked = true;
        engine().setDeviceRules(rules);
    }
    MixerEngine& engine() { return *shell->engine(); }
    DevicesView* open() {
        shell->openDevicesWindow();
        return shell->devicesWindow().window();
    }
    ShellWorld world;
    std::unique_ptr<AppShell> shell;
};

TEST_F(DevicesWindow, ShowsTheEngineRulesAndDevices) {
    DevicesView* view = open();
    ASSERT_NE(view, nullptr);
    DeviceSection* outputs = view->outputs();
    ASSERT_EQ(outputs->rows().size(), 3u);
    EXPECT_TRUE(outputs->row("bt")->offersForget()) << "gone from the engine's devices";
    EXPECT_TRUE(view->keepBluetoothOption()->isOn());
    EXPECT_TRUE(view->alertsOption()->isOn());
    // "16 kHz" stays on one line at any width, in English and in German.
    const QString english = view->keepBluetoothOption()->detail();
    QString german;
    {
        Translations translations(QLocale(QLocale::German, QLocale::Germany));
        german = QCoreApplication::translate("voxlane::DevicesView", english.toUtf8().constData());
    }
    EXPECT_NE(german, english);
    for (const QString& detail : {english, german}) {
        EXPECT_TRUE(detail.contains(QString::fromUtf8("(16\u00a0kHz"))) << detail.toStdString();
        for (int width = 60; width < 460; width += 3)
            for (const QString& line : Paragraph::lines(detail, Theme::detail(), width))
                EXPECT_FALSE(line.endsWith("(16")) << width;
    }
}

TEST_F(DevicesWindow, EveryChangeGoesStraightIntoTheEngine) {
    DevicesView* view = open();
    DeviceSection* outputs = view->outputs();
    // Exclusion, from the row's button.
    outputs->row("speakers")->exclusionButton()->click();
    EXPECT_TRUE(engine().deviceRules().outputs[0].never);
    // It is stored, too (dragging to rank is DeviceSection's, through the same change).
    EXPECT_EQ(DeviceRules::load(*world.defaults), engine().deviceRules());
    // "Forget" is offered for the absent headphones only, and forgets them.
    outputs->row("bt")->forgetButton()->click();
    EXPECT_EQ(uids(engine().deviceRules().outputs), (std::vector<std::string>{"speakers", "usb"}));
    // "Reset": no ranking, no exclusions (DeviceSectionRules' withoutExclusions).
    outputs->resetButton()->click();
    EXPECT_FALSE(engine().deviceRules().outputsRanked);
    EXPECT_FALSE(engine().deviceRules().outputs[0].never);
    // The options.
    view->alertsOption()->toggle()->click();
    EXPECT_FALSE(engine().deviceRules().alertsFollowOutput);
    view->keepBluetoothOption()->toggle()->click();
    EXPECT_FALSE(engine().deviceRules().keepBluetoothHighQuality);

    // A change from elsewhere shows at once.
    DeviceRules rules = engine().deviceRules();
    rules.outputs.push_back({"hdmi", "Monitor", Transport::hdmi, false});
    engine().setDeviceRules(rules);
    EXPECT_NE(outputs->row("hdmi"), nullptr);
}

TEST_F(DevicesWindow, EscapeClosesItAndOpeningAgainBringsTheSameWindowToTheFront) {
    DevicesView* first = open();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isWindow());
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_FALSE(first->isVisible());
    // Another window in front of it.
    QWidget other;
    other.show();
    other.activateWindow();
    DevicesView* second = open();
    EXPECT_EQ(second, first);
    EXPECT_TRUE(second->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(second));
    int views = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<DevicesView*>(w)) ++views;
    EXPECT_EQ(views, 1);
}

// The first-run window with a permission check the test answers.
class Onboarding : public ::testing::Test {
protected:
    Onboarding() { setenv("XDG_CONFIG_HOME", config.path().c_str(), 1); }
    ~Onboarding() override { unsetenv("XDG_CONFIG_HOME"); }

    std::unique_ptr<OnboardingView> view(bool sandboxed = false) {
        OnboardingView::Actions actions;
        actions.checkAccess = [this](std::function<void(Status)> done) {
            ++checks;
            answer = std::move(done);
        };
        actions.openSettings = [this] {
            ++settingsOpened;
            return soundSettings;
        };
        actions.loginEnabled = [this] { return registered > 0; };
        actions.registerLogin = [this] { ++registered; };
        actions.sandboxed = sandboxed;
        return std::make_unique<OnboardingView>(*world.defaults, QIcon(), actions,
                                                [this] { ++finished; });
    }

    test::TempDirectory config;
    ShellWorld world;
    std::function<void(Status)> answer;
    bool soundSettings = true;
    int checks = 0, settingsOpened = 0, registered = 0, finished = 0;
};

TEST_F(Onboarding, StartsGrantedWhenAnEarlierCheckSucceeded) {
    // ShellWorld records an earlier success: nothing to check, nothing to show.
    auto v = view();
    EXPECT_EQ(v->status(), Status::granted);
    EXPECT_EQ(checks, 0);
    EXPECT_FALSE(v->cardShown());
}

TEST_F(Onboarding, OnAnOrdinarySessionTheCheckRunsQuietlyAndOnlyAFailureShowsTheCard) {
    world.defaults->remove(AudioPermission::grantedKey);
    auto v = view();
    EXPECT_EQ(checks, 1); // by itself, as the window opens
    EXPECT_EQ(v->status(), Status::checking);
    EXPECT_FALSE(v->cardShown());
    EXPECT_EQ(v->mainButton()->text(), "Get started");
    answer(Status::denied);
    ASSERT_TRUE(v->cardShown());
    EXPECT_EQ(v->card()->buttons(), (QStringList{"Open Settings", "Check again"}));
    EXPECT_EQ(v->mainButton()->text(), "Allow later");
    v->card()->button("Open Settings")->click();
    EXPECT_EQ(settingsOpened, 1);
    EXPECT_EQ(v->status(), Status::denied);
    // No settings program known: the card says what to open instead.
    soundSettings = false;
    v->card()->button("Open Settings")->click();
    EXPECT_TRUE(v->card()->text().startsWith("Open your desktop"));
    v->card()->button("Check again")->click();
    EXPECT_EQ(checks, 2);
    EXPECT_TRUE(v->cardShown());
    EXPECT_TRUE(v->card()->buttons().isEmpty());
    answer(Status::granted);
    EXPECT_EQ(v->card()->title(), "Access granted");
    EXPECT_EQ(v->mainButton()->text(), "Get started");
    // Finishing with the switch off registers nothing.
    v->loginOption()->toggle()->click();
    EXPECT_FALSE(v->launchAtLogin());
    v->mainButton()->click();
    EXPECT_EQ(registered, 0);
    EXPECT_EQ(finished, 1);
}

TEST_F(Onboarding, InASandboxTheCardAsksFirstAndSpeaksOfTheSandbox) {
    world.defaults->remove(AudioPermission::grantedKey);
    auto v = view(/*sandboxed=*/true);
    EXPECT_EQ(checks, 0);
    ASSERT_TRUE(v->cardShown());
    EXPECT_EQ(v->card()->title(), "Audio server access");
    EXPECT_EQ(v->card()->buttons(), QStringList{"Check"});
    EXPECT_EQ(v->mainButton()->text(), "Allow later");
    v->card()->button("Check")->click();
    EXPECT_EQ(v->card()->title(), QString::fromUtf8("Checking\u2026"));
    answer(Status::denied);
    EXPECT_TRUE(v->card()->text().contains("xdg-run/pipewire-0"));
    // The desktop's sound settings cannot open a sandbox.
    EXPECT_EQ(v->card()->buttons(), QStringList{"Check again"});
}

// Closed, the window leaves the first run to do: the next launch shows it again, and finishing it
// registers the login entry, completes the first run and opens the panel.
TEST_F(Onboarding, ClosingLeavesTheFirstRunToDoAndFinishingCompletesIt) {
    world.defaults->remove(AudioPermission::grantedKey);
    auto closed = std::make_unique<AppShell>(world.services(), LaunchOptions{}, true);
    closed->start();
    ASSERT_NE(closed->onboarding().window(), nullptr);
    closed->onboarding().window()->close();
    EXPECT_FALSE(world.defaults->boolean(AppShell::onboardingCompletedKey).has_value());
    EXPECT_FALSE(closed->controller()->isOpen());
    EXPECT_FALSE(std::filesystem::exists(config.path() / "autostart"));
    closed.reset();

    auto shell = std::make_unique<AppShell>(world.services(), LaunchOptions{}, true);
    shell->start();
    OnboardingView* window = shell->onboarding().window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(shell->controller()->isOpen());
    EXPECT_TRUE(window->launchAtLogin());
    // An ordinary session: the check runs by itself and asks nothing of the user.
    EXPECT_FALSE(window->cardShown());
    ASSERT_EQ(window->mainButton()->text(), "Get started");
    window->mainButton()->click();
    const auto entry = config.path() / "autostart" / "io.github.voxlane.Voxlane.desktop";
    ASSERT_TRUE(std::filesystem::exists(entry));
    EXPECT_NE(config.read("autostart/io.github.voxlane.Voxlane.desktop").find(" --login"),
              std::string::npos);
    EXPECT_EQ(world.defaults->boolean(AppShell::onboardingCompletedKey), true);
    EXPECT_EQ(shell->onboarding().window(), nullptr);
    EXPECT_TRUE(shell->controller()->isOpen());
    // The engine checks as well, without a notice in the panel while it does.
    EXPECT_EQ(shell->engine()->audioAccess(), Status::checking);
}

TEST_F(Onboarding, ShownAgainWithTheOptionAfterCompletion) {
    world.defaults->setBoolean(AppShell::onboardingCompletedKey, true);
    auto shell =
        std::make_unique<AppShell>(world.services(), LaunchOptions::parse({"--onboarding"}), true);
    shell->start();
    OnboardingView* window = shell->onboarding().window();
    ASSERT_NE(window, nullptr);
    // Access was granted before: no card, and the button reads "Get started".
    EXPECT_FALSE(window->cardShown());
    EXPECT_EQ(window->mainButton()->text(), "Get started");
    window->setLaunchAtLogin(false);
    window->mainButton()->click();
    EXPECT_EQ(world.defaults->boolean(AppShell::onboardingCompletedKey), true);
    EXPECT_TRUE(shell->controller()->isOpen());
    EXPECT_FALSE(std::filesystem::exists(config.path() / "autostart"));
}

} // namespace
} // namespace voxlane
