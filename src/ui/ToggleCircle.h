// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

namespace voxlane {

class Animated;

// A round toggle: its 14-pixel symbol white on a circle of `onTint` while on, else in the
// primary style on a faint circle (primary at opacity 0.12). The owner sets `isOn` from the
// state it shows; pressing (click, Space, Enter) only emits clicked().
class ToggleCircle : public QAbstractButton {
    Q_OBJECT
public:
    ToggleCircle(const QString& symbol, const QColor& onTint, int diameter = 34,
                 QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    bool isOn() const { return on_; }
    void setOn(bool on);
    QColor onTint() const { return onTint_; }

    QSize sizeHint() const override { return {diameter_, diameter_}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    QColor onTint_;
    int diameter_;
    bool on_ = false;
    Animated* progress_;
};

} // namespace voxlane
