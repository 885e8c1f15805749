// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyGrabber.h"

#include <map>

namespace voxlane::test {

// A keyboard described by the test: grabs succeed (or answer `answer`) and are listed in
// `grabs`; `press` plays the user pressing a combination.
class FakeKeyGrabber final : public KeyGrabber {
public:
    Status answer = Status::grabbed;
    std::map<GrabID, KeyCombination> grabs;
    int ungrabCalls = 0;

    Status grab(const KeyCombination& combination, GrabID id) override {
        grabs.erase(id);
        if (answer != Status::grabbed) return answer;
        grabs[id] = combination;
        return Status::grabbed;
    }
    void ungrab(GrabID id) override {
        ++ungrabCalls;
        grabs.erase(id);
    }

    // Delivers a press to every grab of the combination; false when nothing has it grabbed.
    bool press(const KeyCombination& combination, bool repeat = false) {
        std::vector<GrabID> matching;
        for (const auto& [id, grabbed] : grabs)
            if (grabbed == combination) matching.push_back(id);
        for (GrabID id : matching)
            deliver(KeyPress{id, repeat});
        return !matching.empty();
    }
};

} // namespace voxlane::test
