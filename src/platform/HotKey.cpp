// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HotKey.h"

#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <cstdlib>
#include <map>

namespace voxlane {
namespace {

constexpr const char* kCategory = "keys";

std::string failureMessage(KeyGrabber::Status status, const KeyCombination& combination) {
    const std::string keys = combination.description();
    switch (status) {
    case KeyGrabber::Status::taken:
        return "Tastenkürzel " + keys +
               " ist schon von einem anderen Programm belegt – es bleibt ohne Funktion";
    case KeyGrabber::Status::unknownKey:
        return "Tastenkürzel " + keys + ": die Taste fehlt auf dieser Tastatur";
    case KeyGrabber::Status::unavailable:
        return "Tastenkürzel " + keys + " nicht verfügbar: keine Verbindung zum X-Server";
    default:
        return "Tastenkürzel " + keys + " konnte nicht registriert werden";
    }
}

} // namespace

// The state every HotKey on one grabber shares. It lives in the grabber, so it ends with it.
struct HotKey::Registry {
    std::map<std::uint32_t, std::function<void()>> handlers;
    std::uint32_t nextID = 1;
    bool handlerInstalled = false;
    Subscription handler;
    Scheduler* mainQueue = nullptr;
};

HotKey::HotKey(KeyGrabber& grabber, Scheduler& mainQueue, KeyCombination combination,
               std::function<void()> action)
    : grabber_(grabber) {
    if (!grabber.hotKeys_) grabber.hotKeys_ = std::make_shared<Registry>();
    registry_ = std::static_pointer_cast<Registry>(grabber.hotKeys_);
    Registry& registry = *registry_;

    if (registry.nextID == 0) {
        Log::error(kCategory, "Keine Kennungen für Tastenkürzel mehr frei");
        std::abort();
    }
    id_ = registry.nextID++;
    registry.handlers[id_] = std::move(action);

    if (!registry.handlerInstalled) {
        registry.handlerInstalled = true;
        registry.mainQueue = &mainQueue;
        std::weak_ptr<Registry> weak = registry_;
        registry.handler = grabber.installHandler([weak](const KeyPress& press) {
            auto registry = weak.lock();
            if (!registry || press.repeat || press.grab.signature != signature) return;
            registry->mainQueue->async([weak, id = press.grab.id] {
                auto registry = weak.lock();
                if (!registry) return;
                const auto it = registry->handlers.find(id);
                if (it == registry->handlers.end()) return;
                // A copy: the action may release its own HotKey.
                const auto action = it->second;
                if (action) action();
            });
        });
    }

    status_ = grabber.grab(combination, GrabID{signature, id_});
    registered_ = status_ == KeyGrabber::Status::grabbed;
    if (!registered_) Log::error(kCategory, failureMessage(status_, combination));
}

HotKey::~HotKey() {
    if (registered_) grabber_.ungrab(GrabID{signature, id_});
    registry_->handlers.erase(id_);
}

} // namespace voxlane
