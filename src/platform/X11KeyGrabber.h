// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyGrabber.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace voxlane {

class Scheduler;

// Key grabs on an X11 display, over a connection of its own (xcb).
//
// Each combination is grabbed on the root window four times: as given, with Caps Lock, with
// Num Lock, and with both, so that it works whatever the lock keys say. A grab that another
// client holds fails with BadAccess and is reported as `taken`, with everything this grab did
// undone. A change of the keyboard mapping re-grabs every combination on its new key codes.
//
// Events are read only when the owner calls `dispatch()`: the main loop watches `fd()` and calls
// it whenever the descriptor is readable. Presses reach the handlers inside `dispatch()`, on the
// main thread. Once the connection to the server is lost, `isConnected()` turns false (the main
// loop should stop watching the descriptor) and every grab answers `unavailable`.
class X11KeyGrabber final : public KeyGrabber {
public:
    // Connects to `display` (null: $DISPLAY). Null, and a log line saying that global keys are
    // unavailable, when no X display can be reached.
    static std::unique_ptr<X11KeyGrabber> connect(Scheduler& mainQueue,
                                                  const char* display = nullptr);
    ~X11KeyGrabber() override;

    Status grab(const KeyCombination& combination, GrabID id) override;
    void ungrab(GrabID id) override;

    // The connection's file descriptor, readable when events may be waiting.
    int fd() const;
    // Handles every event that has arrived, without blocking.
    void dispatch();
    // Waits up to `seconds` for events and dispatches them, until at least one press was
    // delivered (for tests and tools without a main loop). True when one was.
    bool waitAndDispatch(double seconds);
    bool isConnected() const;

private:
    struct Grab {
        KeyCombination combination;
        std::vector<std::uint8_t> keycodes;
        std::uint16_t mask = 0; // the real modifier mask, without lock bits
    };

    X11KeyGrabber(Scheduler& mainQueue, xcb_connection_t* connection, std::uint32_t root);
    void loadKeyboard();
    std::vector<std::uint8_t> keycodesFor(std::uint32_t keySym) const;
    std::uint16_t maskFor(std::uint16_t modifiers) const;
    // Grabs (or with `grab` false, releases) every lock variant of mask on every keycode.
    // Returns the X error code of the first failure, 0 when every grab succeeded.
    std::uint8_t grabKeys(const std::vector<std::uint8_t>& keycodes, std::uint16_t mask);
    void ungrabKeys(const std::vector<std::uint8_t>& keycodes, std::uint16_t mask);
    bool usedByOthers(GrabID id, std::uint8_t keycode, std::uint16_t mask) const;
    void regrabAll();
    void handleKey(std::uint8_t keycode, std::uint16_t state, std::uint32_t time, bool press);
    // Runs dispatch() once from the main queue: replies waited for may have queued events that
    // the descriptor no longer announces.
    void dispatchSoon();
    bool checkConnection();

    Scheduler& mainQueue_;
    xcb_connection_t* connection_;
    std::uint32_t root_;
    std::shared_ptr<X11KeyGrabber*> self_;
    std::map<GrabID, Grab> grabs_;
    // The keyboard: key symbols by keycode, and the modifier bits of Num Lock, Alt and Super.
    std::uint8_t minKeycode_ = 8;
    std::uint8_t keysymsPerKeycode_ = 0;
    std::vector<std::uint32_t> keysyms_;
    std::uint16_t numLockMask_ = 0;
    std::uint16_t altMask_ = 0;
    std::uint16_t superMask_ = 0;
    // Keys held down, and the last release, to tell the keyboard's repeats from new presses.
    std::set<std::uint8_t> held_;
    std::uint8_t lastReleaseKeycode_ = 0;
    std::uint32_t lastReleaseTime_ = 0;
    std::size_t presses_ = 0; // delivered so far
    bool connectionLost_ = false;
};

} // namespace voxlane
