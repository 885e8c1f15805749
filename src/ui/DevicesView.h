// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ObserverList.h"

#include <QWidget>

class QLabel;

namespace voxlane {

class DeviceSection;
class MixerEngine;
class OptionRow;

// The device priorities window's content, 460 wide: the title and its explanation, the "Output"
// and "Input" priority lists and the two switching options. It shows the engine's device rules
// and devices as they are and writes every change straight into the engine's rules. Where the
// screen is lower than all of it, the content scrolls.
class DevicesView : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 460;
    static constexpr int rowHeight = 44;

    explicit DevicesView(MixerEngine& engine, QWidget* parent = nullptr);

    DeviceSection* outputs() const { return outputs_; }
    DeviceSection* inputs() const { return inputs_; }
    QString titleText() const;
    QString explanation() const;

protected:
    void paintEvent(QPaintEvent*) override;
    // Escape closes the window.
    void keyPressEvent(QKeyEvent*) override;

private:
    void layOut();
    void connectControls();
    void showEngineState();

    MixerEngine& engine_;
    QLabel* title_;
    QLabel* explanation_;
    DeviceSection* outputs_;
    DeviceSection* inputs_;
    OptionRow* keepBluetooth_;
    OptionRow* alerts_;
    Subscription subscription_;
};

} // namespace voxlane
