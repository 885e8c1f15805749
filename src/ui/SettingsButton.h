// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/GlassModule.h"
#include "ui/LoginItem.h"
#include "ui/PanelActions.h"

#include <functional>

class QMenu;

namespace voxlane {

class MixerEngine;

// The "…" button and its menu: lowering during calls and its level, opening at login, the
// device priorities, the update check and Quit.
class SettingsButton : public GlassModule {
    Q_OBJECT
public:
    static constexpr int side = 58;

    SettingsButton(MixerEngine& engine, LoginItem loginItem, std::function<void()> quit,
                   PanelActions actions, QWidget* parent = nullptr);

    // "Open at login" as the menu shows it; read from the login item whenever the menu opens.
    bool launchAtLogin() const { return launchAtLogin_; }
    // The menu as it would open now; the caller owns it.
    QMenu* menu();
    // "Open at login" turned on or off: a beep when that failed; the toggle then shows the real
    // state.
    void setLaunchAtLogin(bool on);
    // Where a failure to change the login item is signalled (a beep by default).
    std::function<void()> beep;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void openMenu();

    MixerEngine& engine_;
    LoginItem loginItem_;
    std::function<void()> quit_;
    PanelActions actions_;
    bool launchAtLogin_ = false;
};

} // namespace voxlane
