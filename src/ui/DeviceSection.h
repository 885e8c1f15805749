// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "devices/DeviceRule.h"

#include <QWidget>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace voxlane {

class DeviceRow;

// One priority list of the device window ("Output" or "Input"): the title, the hint, "Reset"
// while the list is ranked, and a row per rule in stored order. Dragging a row reorders the list
// and puts the order in force; each row can be excluded from automatic choice, and a device that
// is not connected can be forgotten.
//
// The section shows the state it is given; every change goes out through onChange with the new
// list and ranked flag, and the owner sets the state again.
class DeviceSection : public QWidget {
    Q_OBJECT
public:
    struct State {
        std::vector<DeviceRule> rules;
        bool ranked = false;
        std::set<std::string> connected; // uids
        std::optional<std::string> current;
    };

    DeviceSection(const QString& title, bool isInput, int rowHeight, QWidget* parent = nullptr);

    void setState(State state);
    const State& state() const { return state_; }
    void setOnChange(std::function<void(std::vector<DeviceRule>, bool ranked)> f) {
        onChange_ = std::move(f);
    }

    QString title() const;
    QString hint() const;
    std::string rankLabel(std::size_t index) const;
    void toggleNever(const std::string& uid);
    void forget(const std::string& uid);
    void reset();
    // Moves the rule at `from` into the gap before `toOffset`, as a finished drag does.
    void move(std::size_t from, std::size_t toOffset);
    // Alt+Up (-1) or Alt+Down (1) on `row`: one place up or down; the focus stays with it.
    void moveByKeys(DeviceRow* row, int by);

    QPushButton* resetButton() const { return reset_; }
    // The rows, top to bottom (as many as there are rules).
    std::vector<DeviceRow*> rows() const;
    DeviceRow* row(const std::string& uid) const;
    // While a row is dragged: the gap it would go into.
    std::optional<std::size_t> dropGap() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent*) override;

private:
    void change(std::vector<DeviceRule> rules, bool ranked);
    std::size_t gapAt(double y) const;

    bool isInput_;
    int rowHeight_;
    State state_;
    QLabel* title_;
    QLabel* hint_;
    QPushButton* reset_;
    QVBoxLayout* list_;
    std::vector<DeviceRow*> rows_;
    std::function<void(std::vector<DeviceRule>, bool)> onChange_;

    struct Drag {
        std::size_t from;
        double startY;
        double y;
        bool moving = false;
    };
    std::optional<Drag> drag_;
};

} // namespace voxlane
