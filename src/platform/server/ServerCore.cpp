// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/ServerCore.h"

#include <algorithm>

namespace voxlane {

// The subscriptions. A subscription is the handler's owner; the registry holds it weakly, so a
// dropped subscription ends by itself, also after the server has gone.
struct ServerCore::Registry {
    struct Entry {
        Change change;
        ObjectId object;
        std::weak_ptr<std::function<void()>> handler;
    };

    std::mutex mutex;
    std::vector<Entry> entries;

    void prune() {
        std::erase_if(entries, [](const Entry& e) { return e.handler.expired(); });
    }

    // The handlers of these changes, each once, held weakly: a subscription dropped before
    // they are called is not called.
    std::vector<std::weak_ptr<std::function<void()>>>
    handlersOf(const std::vector<std::pair<Change, ObjectId>>& changes) {
        std::lock_guard lock(mutex);
        prune();
        std::vector<std::weak_ptr<std::function<void()>>> result;
        for (const Entry& e : entries) {
            const bool hit = std::any_of(changes.begin(), changes.end(), [&](const auto& c) {
                return c.first == e.change && c.second == e.object;
            });
            if (hit) result.push_back(e.handler);
        }
        return result;
    }
};

ServerCore::ServerCore(Scheduler& mainQueue)
    : mainQueue_(mainQueue), registry_(std::make_shared<Registry>()) {}

ServerCore::~ServerCore() = default;

bool ServerCore::connected() {
    if (admit(Operation::connected, noObject) != ServerError::none) return false;
    std::lock_guard lock(mutex_);
    return model_.connected;
}

std::vector<ObjectId> ServerCore::devices() {
    if (admit(Operation::devices, noObject) != ServerError::none) return {};
    std::lock_guard lock(mutex_);
    std::vector<ObjectId> ids;
    for (const auto& [id, d] : model_.devices)
        if (d.listed) ids.push_back(id);
    return ids;
}

std::optional<DeviceInfo> ServerCore::device(ObjectId device) {
    if (admit(Operation::device, device) != ServerError::none) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto* d = model_.device(device);
    if (!d) return std::nullopt;
    return d->info;
}

std::optional<DeviceControl> ServerCore::control(ObjectId device, Side side) {
    if (admit(Operation::control, device) != ServerError::none) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto* d = model_.device(device);
    if (!d) return std::nullopt;
    return side == Side::output ? d->output : d->input;
}

std::vector<ObjectId> ServerCore::processes() {
    if (admit(Operation::processes, noObject) != ServerError::none) return {};
    std::lock_guard lock(mutex_);
    std::vector<ObjectId> ids;
    for (const auto& entry : model_.processes)
        ids.push_back(entry.first);
    return ids;
}

std::optional<ProcessInfo> ServerCore::process(ObjectId process) {
    if (admit(Operation::process, process) != ServerError::none) return std::nullopt;
    std::lock_guard lock(mutex_);
    auto it = model_.processes.find(process);
    if (it == model_.processes.end()) return std::nullopt;
    return it->second;
}

ObjectId ServerCore::processOf(std::int32_t pid) {
    if (admit(Operation::processOf, noObject) != ServerError::none) return noObject;
    std::lock_guard lock(mutex_);
    for (const auto& [id, p] : model_.processes)
        if (p.pid == pid) return id;
    return noObject;
}

ObjectId ServerCore::defaultDevice(Role role) {
    if (admit(Operation::defaultDevice, noObject) != ServerError::none) return noObject;
    std::lock_guard lock(mutex_);
    return model_.defaultFor(role);
}

Subscription ServerCore::subscribe(Change change, ObjectId object, std::function<void()> handler) {
    if (admit(Operation::subscribe, object) != ServerError::none) return nullptr;
    auto owned = std::make_shared<std::function<void()>>(std::move(handler));
    std::lock_guard lock(registry_->mutex);
    registry_->prune();
    registry_->entries.push_back({change, object, owned});
    return owned;
}

ServerModel ServerCore::model() const {
    std::lock_guard lock(mutex_);
    return model_;
}

std::size_t ServerCore::liveSubscriptions() const {
    std::lock_guard lock(registry_->mutex);
    return std::size_t(std::count_if(registry_->entries.begin(), registry_->entries.end(),
                                     [](const auto& e) { return !e.handler.expired(); }));
}

void ServerCore::publish(ServerModel next) {
    std::vector<std::pair<Change, ObjectId>> changes;
    {
        std::lock_guard lock(mutex_);
        changes = differences(model_, next);
        model_ = std::move(next);
    }
    if (changes.empty()) return;
    // Who hears of a change is settled now: a subscription made after it, while the
    // notification is still on its way, does not hear of it.
    auto handlers = registry_->handlersOf(changes);
    if (handlers.empty()) return;
    mainQueue_.async([weak = std::weak_ptr<Registry>(registry_), handlers = std::move(handlers)] {
        const auto registry = weak.lock();
        if (!registry) return; // the server has gone
        for (const auto& entry : handlers)
            if (auto handler = entry.lock()) (*handler)();
    });
}

namespace {

template <typename Map, typename Same>
bool sameEntries(const Map& a, const Map& b, Same same) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](const auto& x, const auto& y) {
               return x.first == y.first && same(x.second, y.second);
           });
}

// What the device list shows: our own aggregate devices coming and going are not its changes.
std::map<ObjectId, DeviceInfo> listedDevices(const ServerModel& model) {
    std::map<ObjectId, DeviceInfo> listed;
    for (const auto& [id, device] : model.devices)
        if (device.listed) listed.emplace(id, device.info);
    return listed;
}

// Each key of either map whose values differ (or that only one has).
template <typename Map, typename Differs, typename Emit>
void eachDifferent(const Map& a, const Map& b, Differs differs, Emit emit) {
    for (const auto& [id, value] : a) {
        auto other = b.find(id);
        if (other == b.end() || differs(value, other->second)) emit(id);
    }
    for (const auto& entry : b)
        if (!a.count(entry.first)) emit(entry.first);
}

} // namespace

std::vector<std::pair<Change, ObjectId>> ServerCore::differences(const ServerModel& before,
                                                                 const ServerModel& after) {
    std::vector<std::pair<Change, ObjectId>> changes;
    auto server = [&](Change change) { changes.emplace_back(change, noObject); };
    if (before.connected != after.connected) server(Change::connection);
    if (before.defaults != after.defaults) server(Change::defaults);
    if (listedDevices(before) != listedDevices(after)) server(Change::devices);
    if (!sameEntries(before.processes, after.processes, [](const auto& x, const auto& y) {
            return x.pid == y.pid && x.appId == y.appId;
        }))
        server(Change::processes);

    using Device = ServerModel::Device;
    eachDifferent(
        before.devices, after.devices,
        [](const Device& x, const Device& y) {
            return x.output.volume != y.output.volume || x.input.volume != y.input.volume ||
                   x.output.volumeSettable != y.output.volumeSettable ||
                   x.input.volumeSettable != y.input.volumeSettable;
        },
        [&](ObjectId id) { changes.emplace_back(Change::volume, id); });
    eachDifferent(
        before.devices, after.devices,
        [](const Device& x, const Device& y) {
            return x.output.mute != y.output.mute || x.input.mute != y.input.mute ||
                   x.output.muteSettable != y.output.muteSettable ||
                   x.input.muteSettable != y.input.muteSettable;
        },
        [&](ObjectId id) { changes.emplace_back(Change::mute, id); });
    eachDifferent(
        before.processes, after.processes,
        [](const ProcessInfo& x, const ProcessInfo& y) {
            return x.playing != y.playing || x.recording != y.recording;
        },
        [&](ObjectId id) { changes.emplace_back(Change::running, id); });
    return changes;
}

} // namespace voxlane
