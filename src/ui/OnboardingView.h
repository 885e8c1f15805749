// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/AudioPermission.h"

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
// features, the audio access card, "Open at login", and the main button, which completes the
// first run either way.
//
// The card and "Allow later" appear only where access can really be missing: inside a sandbox
// (from the start), or once a check heard nothing. On an ordinary session the window checks by
// itself as it opens, without a card, and the main button reads "Get started".
class OnboardingView : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 420;

    struct Feature {
        std::string_view symbol;
        std::string_view title; // the English texts; the view shows them translated
        std::string_view text;
    };
    static const std::array<Feature, 3> features;

    // What the window does outside itself.
    struct Actions {
        // Runs the access probe; the completion comes on the main thread with the answer.
        std::function<void(std::function<void(AudioPermission::Status)>)> checkAccess;
        // Opens the desktop's sound settings; false when no program for them is known.
        std::function<bool()> openSettings;
        // "Open at login": whether it is registered already, and registering it.
        std::function<bool()> loginEnabled;
        std::function<void()> registerLogin;
        // Inside a sandbox that may keep Voxlane from the audio server.
        bool sandboxed = false;
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
    bool cardShown() const { return cardShown_; }
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
    bool cardShown_ = false;
    PermissionCard* card_;
    OptionRow* login_;
    QPushButton* main_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace voxlane
