// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>

namespace voxlane {

// A list that scrolls only where it must: as high as its content asks, up to the height it is
// given, beyond which it scrolls, with a thin bar at the right. It has no background of its own
// and takes no focus (Tab goes to what is in it, which the focus brings into view).
class ScrollList : public QScrollArea {
    Q_OBJECT
public:
    explicit ScrollList(QWidget* parent = nullptr);

    // Shows `content` in the list (QScrollArea::setWidget, without a background of its own).
    void setContent(QWidget* content);

    void setMaximumListHeight(int height);
    int maximumListHeight() const { return maximum_; }
    // The height the content asks for.
    int wanted() const;
    // The content's size hint changed (views came, went or changed theirs): the list asks for
    // its new height at once. A layout request of the content does the same, a pass later.
    void contentChanged();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int maximum_ = QWIDGETSIZE_MAX;
};

} // namespace voxlane
