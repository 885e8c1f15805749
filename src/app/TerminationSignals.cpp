// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TerminationSignals.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace voxlane {
namespace {

constexpr std::array<int, 3> handledSignals{SIGTERM, SIGINT, SIGHUP};
int pipeFds[2] = {-1, -1};
struct sigaction previous[3];

void handler(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pipe already holds a pending signal; dropping this one loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &number, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (pipeFds[0] >= 0) return; // another instance is installed
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
    for (std::size_t i = 0; i < handledSignals.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(handledSignals[i], &action, &previous[i]);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        sigaction(handledSignals[i], &previous[i], nullptr);
    delete notifier_;
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void TerminationSignals::readPending() {
    unsigned char number = 0;
    int last = 0;
    while (::read(pipeFds[0], &number, 1) == 1)
        last = number;
    if (last && onSignal_) onSignal_(last);
}

} // namespace voxlane
