// SPDX-License-Identifier: GPL-3.0-or-later
// The PipeWire Hal's connection over its life: made, waited for, lost and made again.
#include "platform/Log.h"
#include "platform/hal/pipewire/PipeWireHalState.h"

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
constexpr AudioObjectPropertyElement elementWildcard = 0xFFFFFFFFu;

bool matches(const AudioObjectPropertyAddress& registered,
             const AudioObjectPropertyAddress& changed) {
    return (registered.mSelector == changed.mSelector ||
            registered.mSelector == kAudioObjectPropertySelectorWildcard) &&
           (registered.mScope == changed.mScope ||
            registered.mScope == kAudioObjectPropertyScopeWildcard) &&
           (registered.mElement == changed.mElement || registered.mElement == elementWildcard);
}

} // namespace

void PipeWireHal::State::receive(std::uint64_t from, PipeWireEvent event) {
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

bool PipeWireHal::State::connect(double wait) {
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

bool PipeWireHal::State::isReady(std::uint64_t from) const {
    std::lock_guard lock(mutex);
    return from == generation && ready;
}

void PipeWireHal::State::drop(std::uint64_t from) {
    std::shared_ptr<Session> old;
    {
        std::lock_guard lock(mutex);
        if (from != generation) return;
        old = std::move(session);
        ++generation;
        ready = false;
        buffered.clear();
        for (auto& [_, aggregate] : objects.aggregates)
            for (auto& proc : aggregate.procs)
                proc.run = 0;
    }
    old.reset();
}

bool PipeWireHal::State::fail(const std::string& why) {
    lastFailure = why;
    if (!waitingLogged && options.reconnect) {
        Log::notice(kCategory, "Warte auf den Audio-Server (" + why + ")");
        waitingLogged = true;
    }
    scheduleRetry();
    return false;
}

void PipeWireHal::State::scheduleRetry() {
    if (!options.reconnect) return;
    const double delay = retryDelay;
    retryDelay = std::min(longestRetryDelay, retryDelay * 2);
    retry = mainQueue.asyncAfter(delay, [weak = self] {
        if (auto state = weak.lock()) state->connect(0);
    });
}

void PipeWireHal::State::flush(std::uint64_t from) {
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

void PipeWireHal::State::lose(std::uint64_t from, const std::string& reason) {
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

std::string PipeWireHal::State::serverDescription() const {
    auto live = current();
    return live ? live->connection->serverDescription() : std::string("PipeWire");
}

void PipeWireHal::State::apply(std::uint64_t from, const std::vector<PipeWireEvent>& events) {
    std::vector<std::pair<std::uint64_t, PipeWireModel::Change>> calls;
    std::vector<PipeWireModel::MetadataWrite> routing;
    {
        std::lock_guard lock(mutex);
        if (from != 0 && from != generation) return;
        for (const auto& event : events) {
            for (const auto& change : model.apply(event)) {
                for (const auto& [id, r] : registrations) {
                    if (r.object == change.object && matches(r.address, change.address))
                        calls.emplace_back(id, change);
                }
            }
        }
        if (ready && !options.readOnly) routing = model.alertRouting();
    }
    if (auto live = current()) {
        for (const auto& w : routing)
            live->connection->setMetadata("default", w.subject, w.key, w.type, w.value);
    }
    for (const auto& [id, change] : calls) {
        AudioObjectPropertyListenerBlockRef block;
        {
            // A listener removed by an earlier one in this round is not called.
            std::lock_guard lock(mutex);
            auto it = registrations.find(id);
            if (it == registrations.end()) continue;
            block = it->second.block;
        }
        (*block)(1, &change.address);
    }
}

} // namespace voxlane
