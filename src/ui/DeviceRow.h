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
// buttons are faint until the pointer is over the row.
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
    // The rank as drawn: empty while not shown.
    QString shownRank() const;
    std::string symbolName() const;

    GhostButton* exclusionButton() const { return exclusion_; }
    // Shown only when the row offers to forget its device.
    QPushButton* forgetButton() const { return forget_; }
    bool offersForget() const { return bool(forgetAction_); }
    bool isHovering() const { return hovering_; }
    double buttonsOpacity() const;

    // Set by the section while this row is being dragged: drawn lifted.
    void setLifted(bool lifted);

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    void updateButtons();

    Content content_;
    std::function<void()> toggleNever_;
    std::function<void()> forgetAction_;
    QWidget* buttons_;
    QGraphicsOpacityEffect* buttonsEffect_;
    GhostButton* exclusion_;
    QPushButton* forget_;
    bool hovering_ = false;
    bool lifted_ = false;
};

} // namespace voxlane
