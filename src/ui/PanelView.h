// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopSession.h"
#include "platform/ObserverList.h"
#include "ui/LoginItem.h"
#include "ui/PanelActions.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

namespace voxlane {

class AccessModule;
class AnimatedStackLayout;
class AppsModule;
class CallModule;
class DuckingToggle;
class EngineAdapter;
class MicModule;
class SettingsButton;
class SoundModule;
class VolumeKeysModule;
class ErrorModule;

// The drop-down panel's content, 300 wide: a column of glass modules 12 apart that show the
// engine's state and call its operations. Top to bottom: sound; the volume keys notice (software
// volume without the keys); the audio access notice (until access is granted); what went wrong
// (while the engine has an error to tell); the call (during
// a call, while lowering is on); the apps; and a row of the microphone, the lowering toggle and
// the settings button. Follows the engine through the adapter's signals and the meters.
//
// Given the height the screen has room for (setAvailableHeight), the panel keeps within it: the
// apps' rows scroll, and everything else stays in view. Tab visits every control top to bottom.
class PanelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 300;
    static constexpr int spacing = 12;

    struct Services {
        LoginItem loginItem;
        std::function<void()> quit; // the application's ordinary quit
        // Inside a sandbox audio access can really be missing (the access notice says so).
        bool sandboxed = false;
        // Whether this session lets programs take the volume keys (X11), and who holds them.
        bool volumeKeysGrabbable = true;
        std::function<std::optional<DesktopSession::KeyHolder>()> volumeKeyHolder = {};
        PanelActions actions = {};
    };

    PanelView(EngineAdapter& adapter, Services services, QWidget* parent = nullptr);

    SoundModule* sound() const { return sound_; }
    VolumeKeysModule* volumeKeys() const { return volumeKeys_; }
    AccessModule* access() const { return access_; }
    ErrorModule* error() const { return error_; }
    CallModule* call() const { return call_; }
    AppsModule* apps() const { return apps_; }
    MicModule* mic() const { return mic_; }
    DuckingToggle* ducking() const { return ducking_; }
    SettingsButton* settings() const { return settings_; }
    AnimatedStackLayout* stack() const { return stack_; }

    // Reads everything from the engine again.
    void refresh();

    // The most the panel may be high (0: no limit); the apps' list scrolls beyond it.
    void setAvailableHeight(int height);
    int availableHeight() const { return availableHeight_; }
    // Every control of the panel in the order Tab visits them.
    std::vector<QWidget*> focusChain() const;

private:
    void fitHeight();
    void updateTabOrder();

    EngineAdapter& adapter_;
    AnimatedStackLayout* stack_;
    SoundModule* sound_;
    VolumeKeysModule* volumeKeys_;
    AccessModule* access_;
    ErrorModule* error_;
    CallModule* call_;
    AppsModule* apps_;
    MicModule* mic_;
    DuckingToggle* ducking_;
    SettingsButton* settings_;
    bool sandboxed_;
    bool accessShown_ = false;
    int availableHeight_ = 0;
    Subscription meters_;
};

} // namespace voxlane
