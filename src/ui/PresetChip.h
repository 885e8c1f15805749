// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <functional>

namespace voxlane {

class Animated;

// One preset of the EQ editor: its title on a capsule, white when selected, else faint (brighter
// while hovered). `help` is its tooltip; `action` runs when it is pressed.
class PresetChip : public QAbstractButton {
    Q_OBJECT
public:
    PresetChip(const QString& title, const QString& help, bool selected,
               std::function<void()> action, QWidget* parent = nullptr);

    QString title() const { return text(); }
    QString help() const { return toolTip(); }
    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return {40, sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QFont font() const;

    bool selected_;
    bool hovering_ = false;
    std::function<void()> action_;
    Animated* hover_;
};

} // namespace voxlane
