// SPDX-License-Identifier: GPL-3.0-or-later
// The PipeWire server's connection over its life: made, waited for, lost and made again.
#include "platform/Log.h"
#include "platform/server/pipewire/PipeWireServerState.h"

#include <cstdlib>
#include <unistd.h>

namespace voxlane {

namespace {

constexpr const char* kCategory = "pipewire";

// Where libpipewire will look for the server's socket, when that can be told without it; a
// missing socket spares making a thread and a context only to be refused.
std::optional<std::string> serverSocket() {
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote && *remote ? remote : "pipewire-0";
    if (name.front() == '/') return name;
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR"}) {
        const char* dir = std::getenv(variable);
        if (dir && *dir) return std::string(dir) + "/" + name;
    }
    return std::nullopt;
}

} // namespace

void PipeWireServer::State::receive(std::uint64_t from, PipeWireEvent event) {
    std::lock_guard lock(mutex);
    if (from != generation) return;
    auto weak = self;
    if (auto* gone = std::get_if<PipeWireEvent::Disconnected>(&event.value)) {
        mainQueue.async([weak, from, reason = gone->reason] {
            if (auto state = weak.lock()) state->lose(from, reason);
        });
        return;
    }
    if (!ready) {
        const bool complete = std::holds_alternative<PipeWireEvent::Connected>(event.value);
        buffered.push_back(std::move(event));
        if (complete) {
            ready = true;
            mainQueue.async([weak, from] {
                if (auto state = weak.lock()) state->flush(from);
            });
        }
        return;
    }
    mainQueue.async([weak, from, event = std::move(event)] {
        if (auto state = weak.lock()) state->apply(from, {event});
    });
}

bool PipeWireServer::State::connect(double wait) {
    if (retry) retry->cancel();
    retry.reset();
    std::string why;
    if (const auto socket = serverSocket(); socket && ::access(socket->c_str(), F_OK) != 0)
        return fail("no PipeWire server at " + *socket);
    auto made = std::make_shared<Session>();
    made->connection = PipeWireConnection::create({options.applicationName}, &why);
    if (!made->connection) return fail(why);
    if (!options.readOnly) made->host = std::make_unique<PipeWireTapHost>(*made->connection);
    std::uint64_t from = 0;
    {
        std::lock_guard lock(mutex);
        from = ++generation;
        ready = false;
        buffered.clear();
        session = made;
    }
    PipeWireConnection::EventSink observer;
    if (auto* host = made->host.get())
        observer = [host](const PipeWireEvent& event) { host->observe(event); };
    auto sink = [weak = self, from](PipeWireEvent event) {
        if (auto state = weak.lock()) state->receive(from, std::move(event));
    };
    const bool reached = made->connection->connect(std::move(observer), sink, &why) &&
                         (wait <= 0 || made->connection->waitUntilConnected(wait, &why));
    if (!reached) {
        drop(from);
        return fail(why);
    }
    if (wait > 0) {
        flush(from); // the first answer goes into the model before anyone can ask
    } else {
        retry = mainQueue.asyncAfter(options.timeoutSeconds, [weak = self, from] {
            if (auto state = weak.lock(); state && !state->isReady(from))
                state->lose(from, "PipeWire did not answer in time");
        });
    }
    return true;
}

bool PipeWireServer::State::isReady(std::uint64_t from) const {
    std::lock_guard lock(mutex);
    return from == generation && ready;
}

void PipeWireServer::State::drop(std::uint64_t from) {
    std::shared_ptr<Session> old;
    {
        std::lock_guard lock(mutex);
        if (from != generation) return;
        old = std::move(session);
        ++generation;
        ready = false;
        buffered.clear();
        for (auto& [_, aggregate] : objects.aggregates)
            for (auto& render : aggregate.renders)
                render.run = 0;
    }
    old.reset();
}

bool PipeWireServer::State::fail(const std::string& why) {
    lastFailure = why;
    if (!waitingLogged && options.reconnect) {
        Log::notice(kCategory, "Warte auf den Audio-Server (" + why + ")");
        waitingLogged = true;
    }
    scheduleRetry();
    return false;
}

void PipeWireServer::State::scheduleRetry() {
    if (!options.reconnect) return;
    const double delay = retryDelay;
    retryDelay = std::min(longestRetryDelay, retryDelay * 2);
    retry = mainQueue.asyncAfter(delay, [weak = self] {
        if (auto state = weak.lock()) state->connect(0);
    });
}

void PipeWireServer::State::flush(std::uint64_t from) {
    std::vector<PipeWireEvent> first;
    {
        std::lock_guard lock(mutex);
        if (from != generation) return;
        first.swap(buffered);
    }
    if (first.empty()) return;
    if (retry) retry->cancel();
    retry.reset();
    retryDelay = firstRetryDelay;
    waitingLogged = false;
    Log::info(kCategory, "Mit " + serverDescription() + " verbunden");
    apply(from, first);
}

void PipeWireServer::State::lose(std::uint64_t from, const std::string& reason) {
    {
        std::lock_guard lock(mutex);
        if (from != generation) return;
    }
    drop(from);
    Log::notice(kCategory, "Verbindung zum Audio-Server verloren: " + reason);
    waitingLogged = true;
    apply(0, {PipeWireEvent{PipeWireEvent::Disconnected{reason}}});
    scheduleRetry();
}

std::string PipeWireServer::State::serverDescription() const {
    auto live = current();
    return live ? live->connection->serverDescription() : std::string("PipeWire");
}

void PipeWireServer::State::publish() {
    if (!owner) return;
    ServerModel next = model.model();
    objects.addTo(next);
    owner->publish(std::move(next));
}

void PipeWireServer::State::apply(std::uint64_t from, const std::vector<PipeWireEvent>& events) {
    std::vector<PipeWireModel::MetadataWrite> routing;
    {
        std::lock_guard lock(mutex);
        if (from != 0 && from != generation) return;
        for (const auto& event : events)
            model.apply(event);
        publish();
        if (ready && !options.readOnly) routing = model.alertRouting();
    }
    if (auto live = current()) {
        for (const auto& w : routing)
            live->connection->setMetadata("default", w.subject, w.key, w.type, w.value);
    }
}

} // namespace voxlane
