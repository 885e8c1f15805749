// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ObserverList.h"

namespace voxlane {

// Application-wide events that the desktop shell reports and the engine reacts to.
enum class SystemEvent {
    willTerminate, // the application is about to quit (any way it quits normally)
    didWake,       // the machine woke from sleep
};

// Main thread only.
class SystemEvents {
public:
    [[nodiscard]] Subscription subscribe(ObserverList<SystemEvent>::Handler handler) {
        return observers_.subscribe(std::move(handler));
    }
    void post(SystemEvent event) { observers_.notify(event); }

private:
    ObserverList<SystemEvent> observers_;
};

} // namespace voxlane
