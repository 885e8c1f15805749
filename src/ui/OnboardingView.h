// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coreaudio/AudioPermission.h"

#include <QIcon>
#include <QWidget>
#include <array>
#include <functional>
#include <string_view>

class QPushButton;

namespace voxlane {

class Defaults;
class OptionRow;
class PermissionCard;

// The first-run window's content, 420 wide: the application icon, the welcome, the three main
// features, the system audio access card, "Open at login", and the main button ("Get started"
// once access is granted, else "Allow later"), which completes the first run either way.
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 420;

    struct Feature {
        std::string_view symbol;
        std::string_view title;
        std::string_view text;
    };
    static const std::array<Feature, 3> features;

    // What the window does outside itself.
    struct Actions {
        // Runs the access probe; the completion comes on the main thread with the answer.
        std::function<void(std::function<void(AudioPermission::Status)>)> checkAccess;
        // Opens the desktop's settings where access is granted.
        std::function<void()> openSettings;
        // "Open at login": whether it is registered already, and registering it.
        std::function<bool()> loginEnabled;
        std::function<void()> registerLogin;
    };

    // The status starts as granted when a check succeeded before ("audioAccessGranted").
    OnboardingView(const Defaults& defaults, QIcon icon, Actions actions,
                   std::function<void()> finish, QWidget* parent = nullptr);

    AudioPermission::Status status() const { return status_; }
    bool launchAtLogin() const { return launchAtLogin_; }
    void setLaunchAtLogin(bool on);
    // The main button: registers the login item when asked to, then finishes.
    void complete();

    PermissionCard* card() const { return card_; }
    OptionRow* loginOption() const { return login_; }
    QPushButton* mainButton() const { return main_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void setStatus(AudioPermission::Status status);
    void check();

    Actions actions_;
    std::function<void()> finish_;
    AudioPermission::Status status_;
    bool launchAtLogin_ = true;
    PermissionCard* card_;
    OptionRow* login_;
    QPushButton* main_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace voxlane
