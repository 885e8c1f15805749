// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/Theme.h"

#include <QLayout>
#include <QList>
#include <map>

class QVariantAnimation;

namespace voxlane {

// A column of views `spacing` apart, each as wide as the column and as high as it asks, from the
// top. While the column is on screen its changes are animated with `spring`: when a view comes,
// goes or changes height, the views below glide to their new places, and a view that changes
// height is revealed or cut to its animated height (drawn within its mask, see GlassModule), so
// that its content stands where it will be. A view that comes enters in place (its own
// transition draws it in). The column asks for room for both its old and its new layout until
// the animation ends. Off screen every change applies at once.
class AnimatedStackLayout : public QLayout {
    Q_OBJECT
public:
    explicit AnimatedStackLayout(const Theme::Spring& spring, QWidget* parent = nullptr);
    ~AnimatedStackLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    QSize maximumSize() const override;
    void setGeometry(const QRect& rect) override;

    // The height the column asks for at `width` once every view stands where it goes (while an
    // animation runs, heightForWidth() also keeps room for the old layout).
    int targetHeight(int width) const;

    // The animation while views glide, else null.
    QVariantAnimation* animation() const { return animation_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Placement {
        QRect from;
        QRect to;
    };

    int heightOf(QLayoutItem* item, int width) const;
    // The height of the column's views at `width`, spacing included.
    int contentHeight(int width) const;
    QRect drawnRect(const Placement& placement) const;
    void apply();
    void stopAnimation();
    void finish();

    QList<QLayoutItem*> items_;
    const Theme::Spring& spring_;
    // The shown views and where they go, animated from where they were.
    std::map<QWidget*, Placement> placements_;
    QVariantAnimation* animation_ = nullptr;
    qreal progress_ = 1;
    // The lowest edge of the old layout while the animation runs.
    int extent_ = 0;
};

} // namespace voxlane
