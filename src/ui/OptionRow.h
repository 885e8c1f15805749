// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>

class QLabel;

namespace voxlane {

class Switch;

// One option of a window: its title, a line of detail below it (none when empty), and a switch.
// The owner sets the state it shows; flipping the switch calls onChange with the new state.
class OptionRow : public QWidget {
    Q_OBJECT
public:
    OptionRow(const QString& title, const QString& detail, QWidget* parent = nullptr);

    QString title() const;
    QString detail() const;
    bool isOn() const;
    void setOn(bool on);
    void setOnChange(std::function<void(bool)> f) { onChange_ = std::move(f); }
    Switch* toggle() const { return switch_; }

private:
    QLabel* title_;
    QLabel* detail_;
    Switch* switch_;
    std::function<void(bool)> onChange_;
};

} // namespace voxlane
