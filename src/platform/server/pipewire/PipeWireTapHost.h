// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/pipewire/PipeWireEvent.h"
#include "platform/server/pipewire/PipeWireGraph.h"
#include "platform/server/pipewire/PipeWireRouting.h"
#include "platform/server/pipewire/PipeWireTapRunner.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pw_proxy;
struct spa_source;

namespace voxlane {

class PipeWireConnection;

// The side of Voxlane's taps that lives on the PipeWire connection's thread: the running IO
// procedures (PipeWireTapRunner), the routing of the tapped applications' streams into them,
// and the sounds Voxlane plays.
//
// It keeps its own mirror of the registry (fed by the connection's observer, on the loop
// thread) and, after every change and every start or stop, brings the routing in line with
// PipeWireRouting: streams to be taken in get `target.object` in the "default" metadata (the
// value there before is kept and put back when the stream is let go; a value that someone
// else put there meanwhile is left alone), metering taps get their links. New streams of
// tapped processes are taken in as soon as they appear.
//
// When Voxlane ends without stopping its taps (killed), its nodes go with its connection and
// the session manager sends the streams to their own devices again; the metadata keys that
// named our nodes stay behind and are cleared by the next Voxlane once its connection's first
// answer is in.
//
// A host works on one connection: it is made with it before it connects, shut down while it
// stands, and destroyed after the connection has stopped its thread (it is the connection's
// observer until then).
// Every member runs on the loop's thread or with the loop locked; the calls from other
// threads lock it themselves.
class PipeWireTapHost {
public:
    explicit PipeWireTapHost(PipeWireConnection& connection);
    ~PipeWireTapHost();
    PipeWireTapHost(const PipeWireTapHost&) = delete;
    PipeWireTapHost& operator=(const PipeWireTapHost&) = delete;

    // The connection's observer: one event from the server (loop thread).
    void observe(const PipeWireEvent& event);
    // Stops every run, puts every stream back and removes every sound; nothing starts after
    // it. Call while the connection stands, before the host goes.
    void shutdown();

    // Starts an render callback with the streams of `config`, capturing what `tap` says (its id
    // is assigned here). A run id (> 0), or 0 with a negative errno in *error.
    std::uint64_t start(PipeWireTapRunner::Config config, std::optional<PipeWireRouting::Tap> tap,
                        int* error);
    void stop(std::uint64_t run);
    // The run's tap is gone: its streams go back and it hears nothing more.
    void detachTap(std::uint64_t run);
    // Plays mono 48 kHz samples once, scaled by `volume`, to the default output. 0 or a
    // negative errno.
    int playSound(const std::string& name, std::shared_ptr<const std::vector<float>> samples,
                  float volume);

    // For tests and diagnostics: cycles a run has handed to its render block.
    std::uint64_t cycles(std::uint64_t run) const;

private:
    struct Run {
        std::optional<PipeWireRouting::Tap> tap;
        std::unique_ptr<PipeWireTapRunner> runner;
        std::map<PipeWireRouting::Link, pw_proxy*> links;
    };
    struct Moved {
        std::optional<PipeWireGraph::MetadataValue> original;
        std::string written;
    };
    struct Sound;

    void reconcile();
    void reconcileLinks(Run& run);
    void releaseLinks(Run& run);
    // Forgets the run's tap and links and sends its streams back.
    void unroute(Run& run);
    void sweepSounds(bool all);
    static void onSweep(void* data, std::uint64_t expirations);

    PipeWireConnection& connection_;
    bool attached_ = false; // the first answer is in: routing may be written
    bool shutDown_ = false;
    PipeWireGraph graph_;
    std::map<std::uint64_t, Run> runs_;
    std::map<std::uint32_t, Moved> moved_;
    std::vector<std::unique_ptr<Sound>> sounds_;
    spa_source* sweepTimer_ = nullptr;
    std::uint64_t nextRun_ = 1;
    std::uint64_t nextSound_ = 1;
};

} // namespace voxlane
