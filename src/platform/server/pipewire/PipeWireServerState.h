// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/server/PipeWireServer.h"
#include "platform/server/pipewire/PipeWireConnection.h"
#include "platform/server/pipewire/PipeWireModel.h"
#include "platform/server/pipewire/PipeWireTapHost.h"
#include "platform/server/pipewire/PipeWireTapObjects.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace voxlane {

// One connection to the server, with the tap host that works on it. Made whole and destroyed
// whole, never under the server's lock (the loop's thread takes that lock to report events).
struct PipeWireServer::Session {
    std::unique_ptr<PipeWireConnection> connection;
    std::unique_ptr<PipeWireTapHost> host; // none when read-only

    ~Session() {
        if (host) host->shutdown(); // our streams go, the applications go back to their devices
        connection.reset();         // stops the connection's thread: nothing more is received...
        host.reset();               // ...so the host, its observer, can go
    }
};

// What the PipeWire server holds, shared by the files that make it up: the connection's life
// (connecting, reconnecting with backoff, generations, events into the model and out to the
// readers: PipeWireServerSession.cpp), the writes (PipeWireServer.cpp), and taps, aggregate
// devices and render callbacks (PipeWireServerTaps.cpp).
struct PipeWireServer::State {
    State(Scheduler& queue, Options serverOptions, PipeWireModel::Options modelOptions)
        : mainQueue(queue), options(std::move(serverOptions)), model(std::move(modelOptions)) {}

    Scheduler& mainQueue;
    const Options options;
    std::weak_ptr<State> self;
    mutable std::mutex mutex;
    PipeWireModel model;
    PipeWireTapObjects objects;
    // The server that publishes the model; none once it is going.
    PipeWireServer* owner = nullptr;

    // The connection: replaced on the main queue, read (under the lock) from any thread.
    std::shared_ptr<Session> session;
    std::uint64_t generation = 0;        // of `session`; events of older ones are dropped
    bool ready = false;                  // its first answer is in the model
    std::vector<PipeWireEvent> buffered; // its first answer, until `Connected`

    // Main queue only.
    WorkItemRef retry;
    double retryDelay = firstRetryDelay;
    std::string lastFailure;
    bool waitingLogged = false;

    static constexpr double firstRetryDelay = 0.1;
    static constexpr double longestRetryDelay = 2.0;

    std::shared_ptr<Session> current() const {
        std::lock_guard lock(mutex);
        return live();
    }
    // The session whose first answer is in, or none. Under the lock.
    std::shared_ptr<Session> live() const { return ready ? session : nullptr; }

    // Under the lock: the model with our aggregate devices goes to the readers. Publishing
    // under the lock keeps the publications in the order of the changes.
    void publish();

    // On the connection's thread.
    void receive(std::uint64_t from, PipeWireEvent event);

    // On the main queue: a new connection to the server, waiting at most `wait` seconds for
    // its first answer (0: not at all; the answer comes through the main queue).
    bool connect(double wait);

    bool isReady(std::uint64_t from) const;

    // Takes the session of `from` out, if it is still the current one, and destroys it outside
    // the lock. Its render callbacks stop with it.
    void drop(std::uint64_t from);

    bool fail(const std::string& why);

    void scheduleRetry();

    // On the main queue: the first answer of `from` goes into the model.
    void flush(std::uint64_t from);

    // On the main queue: the connection of `from` ended. Everything of it goes; the model
    // empties (its subscribers hear that devices, processes and defaults went), and a new
    // connection is tried.
    void lose(std::uint64_t from, const std::string& reason);

    std::string serverDescription() const;

    // On the main queue: updates the model and publishes it. Events of a connection that is no
    // longer the current one are dropped (`from` 0: the server's own).
    void apply(std::uint64_t from, const std::vector<PipeWireEvent>& events);
};

} // namespace voxlane
