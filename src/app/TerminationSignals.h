// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace voxlane {

// SIGTERM, SIGINT and SIGHUP end the program through its ordinary quit path: their handler
// only writes the signal's number into a pipe, and the main loop reads it there and runs
// `onSignal`. Only one instance may be installed at a time; the old dispositions come back
// when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void(int signal)> onSignal,
                                QObject* parent = nullptr);
    ~TerminationSignals() override;

    bool isInstalled() const { return notifier_ != nullptr; }

private:
    void readPending();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace voxlane
