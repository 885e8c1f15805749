// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>

namespace voxlane {

class DevicesView;
class MixerEngine;

// The device priorities window: made on first use, afterwards only shown again and raised.
class DevicesWindowController {
public:
    DevicesWindowController() = default;
    ~DevicesWindowController();
    DevicesWindowController(const DevicesWindowController&) = delete;
    DevicesWindowController& operator=(const DevicesWindowController&) = delete;

    void show(MixerEngine& engine);
    // The window, once it was made.
    DevicesView* window() const;

private:
    QPointer<DevicesView> window_;
};

} // namespace voxlane
