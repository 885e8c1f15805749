// SPDX-License-Identifier: GPL-3.0-or-later
// voxlane-render: runs the tap signal chain over an audio file.
#include "FileRenderer.h"
#include "RenderOptions.h"

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t interruptSignal = 0;

void onInterrupt(int signal) {
    interruptSignal = signal;
}

} // namespace

int main(int argc, char** argv) {
    using voxlane::FileRenderer;
    using voxlane::RenderOptions;

    const RenderOptions::Parsed parsed = RenderOptions::parse(argc, argv);
    if (!parsed.options) {
        std::fprintf(stderr, "voxlane-render: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options->help) {
        std::fputs(RenderOptions::usage().data(), stdout);
        return 0;
    }

    // Interrupting stops between chunks so that the unfinished output is removed; a file size
    // limit makes the write fail (and the output get removed) instead of killing the process.
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);

    const FileRenderer::Result result =
        FileRenderer(*parsed.options).run([] { return interruptSignal != 0; });
    if (!result.ok) {
        std::fprintf(stderr, "voxlane-render: %s\n", result.error.c_str());
        return interruptSignal != 0 ? 128 + interruptSignal : 2;
    }
    std::printf("frames=%lld peak=%.9g limiterFloor=%.9g\n", static_cast<long long>(result.frames),
                static_cast<double>(result.peak), static_cast<double>(result.limiterFloor));
    return 0;
}
