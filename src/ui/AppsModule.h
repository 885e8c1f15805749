// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/GlassModule.h"

#include <QAbstractButton>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace voxlane {

class Animated;
class AppRow;
class CapsuleButton;
class MixerEngine;
class OpenEditor;
class ScrollList;
class SilentAppsButton;

// The apps: a row per playing app (or "No apps are playing sound."), "End solo" in the header
// while an app is soloed, and the silent apps behind a disclosure button, in compact rows. The
// rows and the disclosure scroll under the header where the panel gives them less height than
// they ask for (setListMaximumHeight). One playing app's row at a time shows its equaliser
// editor (openEditor()); it closes when that app's row goes.
class AppsModule : public GlassModule {
    Q_OBJECT
public:
    explicit AppsModule(MixerEngine& engine, QWidget* parent = nullptr);

    void refresh();
    void refreshMeters();

    bool showSilent() const { return showSilent_; }
    void setShowSilent(bool show);

    // The rows top to bottom: playing apps, then (expanded) silent ones.
    std::vector<AppRow*> rows() const;
    AppRow* row(const std::string& appID) const;
    // Which app's editor is open; the rows open and close it, the module follows.
    OpenEditor& openEditor() const { return *openEditor_; }
    CapsuleButton* endSoloButton() const { return endSolo_; }
    ScrollList* list() const { return list_; }
    // The height the list of rows is given at most; beyond it, it scrolls.
    void setListMaximumHeight(int height);
    // The height the list takes now, within its maximum.
    int listHeight() const;
    // The module's controls in the order Tab visits them.
    std::vector<QWidget*> focusChain() const;

    QLabel* emptyLabel() const { return empty_; }
    SilentAppsButton* silentButton() const { return silentButton_; }

signals:
    // Rows came, went or changed their controls (an editor opened or closed).
    void rowsChanged();

private:
    // Scrolls the list so that the open editor of `appID` shows, at its full height.
    void scrollEditorIntoView(const std::string& appID);
    // Scrolls to the followed editor on the next turn of the event loop.
    void queueScrollToEditor();
    // Keeps one row per app in `apps` in that order, reusing rows that are there.
    void syncRows(std::vector<AppRow*>& rows, QVBoxLayout* layout,
                  const std::vector<struct AppGroup>& apps, bool compact);

    MixerEngine& engine_;
    OpenEditor* openEditor_;
    bool showSilent_ = false;
    CapsuleButton* endSolo_;
    QLabel* empty_;
    ScrollList* list_;
    QVBoxLayout* playing_;
    QVBoxLayout* silent_;
    SilentAppsButton* silentButton_;
    std::vector<AppRow*> playingRows_;
    std::vector<AppRow*> silentRows_;
    std::optional<std::string> scrolledToEditor_;
    // The editor kept in view while the panel makes room for it.
    std::optional<std::string> followedEditor_;
    bool scrollQueued_ = false;
};

// The silent apps' disclosure: "<n> silent apps" or "Show less", with a chevron that turns
// half round as it expands.
class SilentAppsButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SilentAppsButton(QWidget* parent = nullptr);
    void setState(std::size_t count, bool expanded);
    std::size_t count() const { return count_; }
    bool isExpanded() const { return expanded_; }
    // How far the chevron is turned, in radians: it springs to π while expanded, back to 0.
    qreal chevronAngle() const;
    QSize sizeHint() const override;

    // Room on either side of the text for the focus ring.
    static constexpr int ringRoom = 6;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Animated* chevronAngle_;
    bool expanded_ = false;
    std::size_t count_ = 0;
};

} // namespace voxlane
