// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace voxlane {

// Updates come from wherever Voxlane was installed from; the updater only says where. It
// starts with the application and does nothing by itself.
class Updater {
public:
    enum class Source { package, source };

    // Installed by a package (the program lies under /usr or /opt) or built by hand.
    static Source sourceOf(const QString& programPath);
    // The text of the answer to "Check for Updates…".
    static QString advice(Source source);

    // Shows the answer in a small window of its own.
    void checkForUpdates(QWidget* parent = nullptr);
};

} // namespace voxlane
