// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AppGroup.h"
#include "ui/AppRowRules.h"

#include <QWidget>
#include <vector>

class QLabel;
class QLayout;
class QMenu;

namespace voxlane {

class EQEditor;
class ElidedLabel;
class GhostButton;
class MeteredFader;
class MixerEngine;
class OpenEditor;

// One application in the panel: its icon and name, whether it is lowered for a call, whether
// its limiter is working, its equaliser preset, its volume fader with the live level, and
// buttons for the equaliser, solo and mute (a context menu adds the output device and reset).
// The app's equaliser editor opens inside the row. Muted, or while another app is soloed, the
// whole row is grey and faint and its meter empty. Compact rows stand for silent apps.
//
// The buttons stand at the trailing edge of the name's line, only those that are shown; they fade
// in and out as the pointer comes and goes, and the keyboard's focus in the row shows them too.
// Tab reaches the fader first, then the buttons, then the open editor's controls.
//
// The row keeps nothing of the app's state: refresh() reads it from the engine, and whether its
// editor is open from the panel's OpenEditor.
class AppRow : public QWidget {
    Q_OBJECT
public:
    // Room between the icon and the name's column (the master fader keeps to the same column).
    static constexpr int iconGap = 6;
    static constexpr int iconSize = 26;

    // The engine and `openEditor` must outlive the row.
    AppRow(MixerEngine& engine, OpenEditor& openEditor, AppGroup app, bool compact,
           QWidget* parent = nullptr);

    const AppGroup& app() const { return app_; }
    bool isCompact() const { return compact_; }
    // Shows the engine's current state of the app (given anew: its processes may change).
    void refresh(const AppGroup& app);
    void refresh() { refresh(app_); }
    // Shows the app's meter reading and whether its limiter works.
    void refreshMeter();

    // What the row shows, for the panel's tests and screenshots.
    AppRowRules::RowState state() const;
    bool isSilenced() const { return AppRowRules::silenced(state()); }
    // How the row is drawn.
    double opacity() const;
    bool isGrey() const;
    bool isEditing() const { return editing_; }
    MeteredFader* fader() const { return fader_; }
    GhostButton* eqButton() const { return eq_; }
    GhostButton* soloButton() const { return solo_; }
    GhostButton* muteButton() const { return mute_; }
    EQEditor* editor() const { return editor_; }
    // The row's controls in the order Tab visits them.
    std::vector<QWidget*> focusChain() const;
    bool showsLowered() const;
    bool showsLimiter() const;
    // The context menu, as it would open now; the caller owns it.
    QMenu* contextMenu();

protected:
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLayout* nameAndFader();
    void toggleSolo();
    void toggleEditor();
    void updateButtons();
    void updateEditor();
    void updateLook();

    MixerEngine& engine_;
    OpenEditor& openEditor_;
    AppGroup app_;
    bool compact_;
    bool hovering_ = false;
    bool editing_ = false;
    bool focusedWithin_ = false;
    QLabel* icon_;
    ElidedLabel* name_;
    QLabel* lowered_;
    QWidget* limiter_;
    QLabel* preset_;
    QLabel* percent_;
    GhostButton* eq_;
    GhostButton* solo_;
    GhostButton* mute_;
    MeteredFader* fader_;
    EQEditor* editor_ = nullptr;
    class TransitionEffect* effect_;
};

} // namespace voxlane
