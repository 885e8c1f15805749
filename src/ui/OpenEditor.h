// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <optional>
#include <string>

namespace voxlane {

// Which app's equaliser editor the panel has open: one at a time, or none. The panel's own
// state, kept by the apps' module for its rows; they open and close it, and the module follows
// the change (and closes it when the app's row goes).
class OpenEditor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const std::optional<std::string>& appID() const { return appID_; }
    bool isOpen(const std::string& id) const { return appID_ == id; }
    // Opens the editor of `id` in place of any other, or closes it (none).
    void set(std::optional<std::string> id);
    // The row's equaliser button: opens the app's editor, or closes it when it is the open one.
    void toggle(const std::string& id);

signals:
    // Only when another editor, or none, is open.
    void changed();

private:
    std::optional<std::string> appID_;
};

} // namespace voxlane
