// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace voxlane {

class Animated;
class HUDModel;

// The volume display's content, 260 × 66: a glass rounded rectangle (radius 18) holding the
// speaker symbol for the level, the device's symbol and name, and a level bar whose fill
// follows the level with a spring and is dimmed while muted.
class HUDView : public QWidget {
    Q_OBJECT
public:
    explicit HUDView(HUDModel& model, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {260, 66}; }
    // The drawn fill, following the model's level.
    qreal drawnLevel() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void follow();

    HUDModel& model_;
    Animated* fill_;
};

} // namespace voxlane
