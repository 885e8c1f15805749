// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace voxlane {

// A container drawn as a glass module: a rounded rectangle (radius 26 for the panel's large
// modules) in the glass look of Theme::glassModule. Lay its content out as with any widget. With a
// mask the module is drawn within it, its corners still round.
class GlassModule : public QWidget {
    Q_OBJECT
public:
    explicit GlassModule(QWidget* parent = nullptr, qreal radius = 26, bool interactive = false);

    qreal radius() const { return radius_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    qreal radius_;
    bool interactive_;
    bool hovering_ = false;
};

} // namespace voxlane
