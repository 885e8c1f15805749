// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

namespace voxlane {

class Animated;

// An on/off switch: a capsule that turns `Theme::live` with its knob on the right while on.
// Pressing it flips the state and emits toggled().
class Switch : public QAbstractButton {
    Q_OBJECT
public:
    explicit Switch(const QString& accessibleName, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {36, 20}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Animated* knob_;
};

} // namespace voxlane
