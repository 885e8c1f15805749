// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/DeviceRule.h"

#include <QWidget>
#include <functional>

class QGraphicsOpacityEffect;
class QPushButton;

namespace voxlane {

class GhostButton;

// One device in a priority list: its rank (when the list is ranked), symbol, name and status
// line; the exclusion button, "Forget" for a device that is gone, and the drag handle. The
// buttons are faint until the pointer is over the row or the keyboard's focus is in it.
//
// Tab reaches the row itself; Alt+Up and Alt+Down move it in its list (onMove), as dragging
// does. Its tooltip has the whole name (a long one ends in "…" on the row) and that hint.
class DeviceRow : public QWidget {
    Q_OBJECT
public:
    struct Content {
        std::string rank;
        bool showRank = false;
        DeviceRule rule;
        bool isConnected = false;
        bool isCurrent = false;
        bool isInput = false;
    };

    DeviceRow(int height, QWidget* parent = nullptr);

    void setContent(Content content, std::function<void()> toggleNever,
                    std::function<void()> forget);
    const Content& content() const { return content_; }
    QString statusLine() const;
    std::string symbolName() const;

    GhostButton* exclusionButton() const { return exclusion_; }
    // Shown only when the row offers to forget its device.
    QPushButton* forgetButton() const { return forget_; }
    double buttonsOpacity() const;

    // Set by the section while this row is being dragged: drawn lifted.
    void setLifted(bool lifted);
    // Alt+Up (-1) or Alt+Down (1) on the focused row.
    void setOnMove(std::function<void(int)> f) { onMove_ = std::move(f); }
    // The name as drawn at the row's width.
    QString shownName() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    QRectF nameRect() const;
    void updateButtons();

    Content content_;
    std::function<void()> toggleNever_;
    std::function<void()> forgetAction_;
    std::function<void(int)> onMove_;
    QWidget* buttons_;
    QGraphicsOpacityEffect* buttonsEffect_;
    GhostButton* exclusion_;
    QPushButton* forget_;
    bool hovering_ = false;
    bool lifted_ = false;
};

} // namespace voxlane
