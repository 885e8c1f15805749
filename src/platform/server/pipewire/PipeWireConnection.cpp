// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireConnection.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <pipewire/extensions/metadata.h>
#include <pipewire/pipewire.h>
#include <spa/param/audio/raw.h>
#include <spa/param/format.h>
#include <spa/param/props.h>
#include <spa/pod/builder.h>
#include <spa/pod/iter.h>
#include <spa/utils/result.h>
#include <time.h>

namespace voxlane {

namespace {

PipeWireProps toProps(const spa_dict* dict) {
    PipeWireProps props;
    if (!dict) return props;
    const spa_dict_item* item;
    spa_dict_for_each(item, dict) {
        props[item->key] = item->value ? item->value : "";
    }
    return props;
}

std::string lookup(const PipeWireProps& props, const char* key) {
    auto it = props.find(key);
    return it == props.end() ? std::string() : it->second;
}

PipeWireEvent::NodeInfo::State toState(pw_node_state state) {
    using S = PipeWireEvent::NodeInfo::State;
    switch (state) {
    case PW_NODE_STATE_ERROR:
        return S::error;
    case PW_NODE_STATE_CREATING:
        return S::creating;
    case PW_NODE_STATE_SUSPENDED:
        return S::suspended;
    case PW_NODE_STATE_IDLE:
        return S::idle;
    case PW_NODE_STATE_RUNNING:
        return S::running;
    }
    return S::error;
}

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

} // namespace

struct PipeWireConnection::Impl {
    struct Interface;

    // One bound registry object and its listeners.
    struct Bound {
        Impl* impl = nullptr;
        std::uint32_t id = 0;
        const Interface* interface = nullptr;
        PipeWireEvent::Kind kind = PipeWireEvent::Kind::other;
        bool deviceNode = false; // a node whose controls and format we follow
        std::string metadataName;
        pw_proxy* proxy = nullptr;
        spa_hook objectListener{};
        spa_source* rebind = nullptr; // metadata: binds once more a moment after the first
    };

    std::string applicationName;
    EventSink sink;
    EventSink observer;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    spa_hook coreListener{};
    spa_hook registryListener{};
    std::map<std::uint32_t, std::unique_ptr<Bound>> bound;
    int pendingSync = -1;
    int roundTripSync = -1;
    bool roundTripDone = false;
    int bindsSinceSync = 0;
    bool initialDone = false;
    bool broken = false;
    std::string error;
    std::string serverDescription;

    template <typename E>
    void emit(E&& event) {
        PipeWireEvent e{std::forward<E>(event)};
        if (observer) observer(e);
        if (sink) sink(std::move(e));
    }

    // ---- core ----
    static void onCoreInfo(void* data, const pw_core_info* info) {
        auto* self = static_cast<Impl*>(data);
        if (info && info->version)
            self->serverDescription = std::string("PipeWire ") + info->version;
    }
    static void onCoreDone(void* data, std::uint32_t id, int seq) {
        auto* self = static_cast<Impl*>(data);
        if (id == PW_ID_CORE && self->initialDone && seq == self->roundTripSync) {
            self->roundTripDone = true;
            pw_thread_loop_signal(self->loop, false);
            return;
        }
        if (id != PW_ID_CORE || seq != self->pendingSync || self->initialDone) return;
        if (self->bindsSinceSync > 0) {
            // Objects bound since the last round trip answer before the next one ends.
            self->bindsSinceSync = 0;
            self->pendingSync = pw_core_sync(self->core, PW_ID_CORE, self->pendingSync);
            return;
        }
        self->initialDone = true;
        self->emit(PipeWireEvent::Connected{});
        pw_thread_loop_signal(self->loop, false);
    }
    // A broken connection ends it: the socket closed (-EPIPE) or reset, or the protocol failed.
    // Other errors, also those about the core (a bind to an object that went meanwhile:
    // "unknown resource"), concern one request only.
    static void onCoreError(void* data, std::uint32_t id, int, int res, const char* message) {
        auto* self = static_cast<Impl*>(data);
        const bool fatal = res == -EPIPE || res == -ECONNRESET || res == -ENOTCONN ||
                           res == -EPROTO || res == -EBADF;
        if (id != PW_ID_CORE || !fatal || self->broken) return;
        self->broken = true;
        self->error = message ? message : spa_strerror(res);
        self->emit(PipeWireEvent::Disconnected{self->error});
        pw_thread_loop_signal(self->loop, false);
    }

    // ---- nodes ----
    static void onNodeInfo(void* data, const pw_node_info* info) {
        auto* b = static_cast<Bound*>(data);
        PipeWireEvent::NodeInfo e;
        e.id = b->id;
        e.state = toState(info->state);
        if (info->change_mask & PW_NODE_CHANGE_MASK_PROPS) e.props = toProps(info->props);
        bool paramsChanged = info->change_mask & PW_NODE_CHANGE_MASK_PARAMS;
        if (paramsChanged) {
            e.propsWritable = false;
            for (std::uint32_t i = 0; i < info->n_params; ++i) {
                if (info->params[i].id == SPA_PARAM_Props)
                    e.propsWritable = (info->params[i].flags & SPA_PARAM_INFO_WRITE) != 0;
            }
        }
        b->impl->emit(std::move(e));
        if (paramsChanged && b->deviceNode) {
            // The answers must be in before the first complete answer ends.
            ++b->impl->bindsSinceSync;
            pw_node_enum_params(reinterpret_cast<pw_node*>(b->proxy), 0, SPA_PARAM_Props, 0,
                                UINT32_MAX, nullptr);
            pw_node_enum_params(reinterpret_cast<pw_node*>(b->proxy), 0, SPA_PARAM_Format, 0,
                                UINT32_MAX, nullptr);
        }
    }
    static void onNodeParam(void* data, int, std::uint32_t id, std::uint32_t, std::uint32_t,
                            const spa_pod* param) {
        auto* b = static_cast<Bound*>(data);
        if (!param || !spa_pod_is_object(param)) return;
        const auto* object = reinterpret_cast<const spa_pod_object*>(param);
        const spa_pod_prop* prop;
        if (id == SPA_PARAM_Props) {
            PipeWireEvent::NodeControls e;
            e.id = b->id;
            SPA_POD_OBJECT_FOREACH(object, prop) {
                if (prop->key == SPA_PROP_channelVolumes) {
                    float values[SPA_AUDIO_MAX_CHANNELS];
                    const std::uint32_t n = spa_pod_copy_array(&prop->value, SPA_TYPE_Float, values,
                                                               SPA_AUDIO_MAX_CHANNELS);
                    e.channelVolumes = std::vector<float>(values, values + n);
                } else if (prop->key == SPA_PROP_mute) {
                    bool mute = false;
                    if (spa_pod_get_bool(&prop->value, &mute) == 0) e.mute = mute;
                }
            }
            b->impl->emit(std::move(e));
        } else if (id == SPA_PARAM_Format) {
            SPA_POD_OBJECT_FOREACH(object, prop) {
                if (prop->key != SPA_FORMAT_AUDIO_rate) continue;
                // A fixed format carries the rate as a plain Int (or a choice whose first
                // value is the preferred one).
                const spa_pod* value = &prop->value;
                std::uint32_t count = 0, choice = 0;
                const spa_pod* first = spa_pod_get_values(value, &count, &choice);
                std::int32_t rate = 0;
                if (first && spa_pod_get_int(first, &rate) == 0 && rate > 0)
                    b->impl->emit(PipeWireEvent::NodeFormat{b->id, std::uint32_t(rate)});
            }
        }
    }

    // ---- clients and devices ----
    static void onClientInfo(void* data, const pw_client_info* info) {
        auto* b = static_cast<Bound*>(data);
        if (info->change_mask & PW_CLIENT_CHANGE_MASK_PROPS)
            b->impl->emit(PipeWireEvent::ObjectProps{b->id, toProps(info->props)});
    }
    static void onDeviceInfo(void* data, const pw_device_info* info) {
        auto* b = static_cast<Bound*>(data);
        if (info->change_mask & PW_DEVICE_CHANGE_MASK_PROPS)
            b->impl->emit(PipeWireEvent::ObjectProps{b->id, toProps(info->props)});
    }

    // ---- metadata ----
    static int onMetadataProperty(void* data, std::uint32_t subject, const char* key,
                                  const char* type, const char* value) {
        auto* b = static_cast<Bound*>(data);
        PipeWireEvent::MetadataProperty e;
        e.metadata = b->metadataName;
        e.object = b->id;
        e.subject = subject;
        if (key) e.key = key;
        if (type) e.type = type;
        if (value) e.value = value;
        b->impl->emit(std::move(e));
        return 0;
    }

    // ---- registry ----

    // The interfaces followed: which of their objects are taken, and the events they are bound
    // for (none: the global says all that is needed and nothing is bound).
    struct Interface {
        const char* type;
        PipeWireEvent::Kind kind;
        std::uint32_t version;
        const void* (*events)();
        bool (*takes)(const PipeWireProps& props, Bound& b);
    };

    static const void* nodeEvents() {
        static const pw_node_events events = [] {
            pw_node_events e{};
            e.version = PW_VERSION_NODE_EVENTS;
            e.info = onNodeInfo;
            e.param = onNodeParam;
            return e;
        }();
        return &events;
    }
    static const void* clientEvents() {
        static const pw_client_events events = [] {
            pw_client_events e{};
            e.version = PW_VERSION_CLIENT_EVENTS;
            e.info = onClientInfo;
            return e;
        }();
        return &events;
    }
    static const void* deviceEvents() {
        static const pw_device_events events = [] {
            pw_device_events e{};
            e.version = PW_VERSION_DEVICE_EVENTS;
            e.info = onDeviceInfo;
            return e;
        }();
        return &events;
    }
    static const void* metadataEvents() {
        static const pw_metadata_events events = [] {
            pw_metadata_events e{};
            e.version = PW_VERSION_METADATA_EVENTS;
            e.property = onMetadataProperty;
            return e;
        }();
        return &events;
    }

    static bool anyObject(const PipeWireProps&, Bound&) { return true; }
    static bool audioObject(const PipeWireProps& props, Bound&) {
        return lookup(props, PW_KEY_MEDIA_CLASS).find("Audio") != std::string::npos;
    }
    static bool audioNode(const PipeWireProps& props, Bound& b) {
        b.deviceNode = lookup(props, PW_KEY_MEDIA_CLASS).rfind("Audio/", 0) == 0;
        return audioObject(props, b);
    }
    static bool defaultsMetadata(const PipeWireProps& props, Bound& b) {
        b.metadataName = lookup(props, PW_KEY_METADATA_NAME);
        return b.metadataName == "default" || b.metadataName == "settings";
    }

    // A session manager's metadata is written by its owner (WirePlumber exports it), and a
    // client that binds while the first entries are being written may never get those: seen
    // with WirePlumber restarting on PipeWire 0.3.65, where the default sink was missing for
    // good. A second bind, once that is over, is sent every entry there is; the entries it
    // repeats change nothing.
    static constexpr time_t metadataRebindSeconds = 1;

    void bindProxy(Bound& b) {
        b.proxy = static_cast<pw_proxy*>(
            pw_registry_bind(registry, b.id, b.interface->type, b.interface->version, 0));
        if (b.proxy)
            pw_proxy_add_object_listener(b.proxy, &b.objectListener, b.interface->events(), &b);
    }
    void dropProxy(Bound& b) {
        if (!b.proxy) return;
        spa_hook_remove(&b.objectListener);
        pw_proxy_destroy(b.proxy);
        b.proxy = nullptr;
    }
    static void onRebind(void* data, std::uint64_t) {
        auto* b = static_cast<Bound*>(data);
        b->impl->dropProxy(*b);
        b->impl->bindProxy(*b);
    }
    void scheduleRebind(Bound& b) {
        pw_loop* l = pw_thread_loop_get_loop(loop);
        b.rebind = pw_loop_add_timer(l, onRebind, &b);
        timespec after{metadataRebindSeconds, 0};
        if (b.rebind) pw_loop_update_timer(l, b.rebind, &after, nullptr, false);
    }
    void release(Bound& b) {
        if (b.rebind) pw_loop_destroy_source(pw_thread_loop_get_loop(loop), b.rebind);
        b.rebind = nullptr;
        dropProxy(b);
    }

    static const Interface* interfaceOf(const char* type) {
        static const Interface interfaces[] = {
            {PW_TYPE_INTERFACE_Node, PipeWireEvent::Kind::node, PW_VERSION_NODE, nodeEvents,
             audioNode},
            {PW_TYPE_INTERFACE_Client, PipeWireEvent::Kind::client, PW_VERSION_CLIENT, clientEvents,
             anyObject},
            {PW_TYPE_INTERFACE_Device, PipeWireEvent::Kind::device, PW_VERSION_DEVICE, deviceEvents,
             audioObject},
            {PW_TYPE_INTERFACE_Metadata, PipeWireEvent::Kind::metadata, PW_VERSION_METADATA,
             metadataEvents, defaultsMetadata},
            {PW_TYPE_INTERFACE_Port, PipeWireEvent::Kind::port, 0, nullptr, anyObject},
        };
        for (const auto& candidate : interfaces)
            if (std::strcmp(type, candidate.type) == 0) return &candidate;
        return nullptr;
    }

    static void onGlobal(void* data, std::uint32_t id, std::uint32_t permissions, const char* type,
                         std::uint32_t, const spa_dict* dict) {
        auto* self = static_cast<Impl*>(data);
        const Interface* followed = interfaceOf(type);
        if (!followed) return;
        PipeWireEvent::GlobalAdded e;
        e.id = id;
        e.permissions = permissions;
        e.props = toProps(dict);
        e.serial = std::strtoull(lookup(e.props, PW_KEY_OBJECT_SERIAL).c_str(), nullptr, 10);
        auto b = std::make_unique<Bound>();
        b->impl = self;
        b->id = id;
        b->interface = followed;
        b->kind = followed->kind;
        if (!followed->takes(e.props, *b)) return;
        e.kind = followed->kind;
        self->emit(std::move(e));
        if (followed->events) {
            self->bindProxy(*b);
            if (b->kind == PipeWireEvent::Kind::metadata) self->scheduleRebind(*b);
            ++self->bindsSinceSync;
        }
        self->unbind(id);
        self->bound[id] = std::move(b);
    }
    static void onGlobalRemove(void* data, std::uint32_t id) {
        auto* self = static_cast<Impl*>(data);
        if (self->unbind(id)) self->emit(PipeWireEvent::GlobalRemoved{id});
    }

    bool unbind(std::uint32_t id) {
        auto it = bound.find(id);
        if (it == bound.end()) return false;
        release(*it->second);
        bound.erase(it);
        return true;
    }

    Bound* find(std::uint32_t id, PipeWireEvent::Kind kind) {
        auto it = bound.find(id);
        if (it == bound.end() || it->second->kind != kind || !it->second->proxy) return nullptr;
        return it->second.get();
    }

    ~Impl() {
        if (loop) pw_thread_loop_stop(loop);
        for (auto& [_, b] : bound)
            release(*b);
        bound.clear();
        if (registry) {
            spa_hook_remove(&registryListener);
            pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        }
        if (core) {
            spa_hook_remove(&coreListener);
            pw_core_disconnect(core);
        }
        if (context) pw_context_destroy(context);
        if (loop) pw_thread_loop_destroy(loop);
    }
};

PipeWireConnection::PipeWireConnection(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

PipeWireConnection::~PipeWireConnection() = default;

std::unique_ptr<PipeWireConnection> PipeWireConnection::create(const Options& options,
                                                               std::string* error) {
    initOnce();
    auto fail = [&](std::string reason) -> std::unique_ptr<PipeWireConnection> {
        if (error) *error = std::move(reason);
        return nullptr;
    };
    auto impl = std::make_unique<Impl>();
    impl->applicationName = options.applicationName;
    impl->loop = pw_thread_loop_new("voxlane-pipewire", nullptr);
    if (!impl->loop) return fail("cannot make a PipeWire thread loop");
    impl->context = pw_context_new(pw_thread_loop_get_loop(impl->loop), nullptr, 0);
    if (!impl->context) return fail("cannot make a PipeWire context");
    if (pw_thread_loop_start(impl->loop) < 0) return fail("cannot start the PipeWire thread");
    return std::unique_ptr<PipeWireConnection>(new PipeWireConnection(std::move(impl)));
}

bool PipeWireConnection::connect(EventSink observer, EventSink sink, std::string* error) {
    pw_thread_loop_lock(impl_->loop);
    if (impl_->core) {
        pw_thread_loop_unlock(impl_->loop);
        if (error) *error = "already connected";
        return false;
    }
    impl_->core = pw_context_connect(
        impl_->context, pw_properties_new(PW_KEY_APP_NAME, impl_->applicationName.c_str(), nullptr),
        0);
    if (!impl_->core) {
        const int err = errno;
        pw_thread_loop_unlock(impl_->loop);
        if (error) *error = std::string("no PipeWire server: ") + std::strerror(err);
        return false;
    }
    static const pw_core_events coreEvents = [] {
        pw_core_events e{};
        e.version = PW_VERSION_CORE_EVENTS;
        e.info = Impl::onCoreInfo;
        e.done = Impl::onCoreDone;
        e.error = Impl::onCoreError;
        return e;
    }();
    pw_core_add_listener(impl_->core, &impl_->coreListener, &coreEvents, impl_.get());
    impl_->sink = std::move(sink);
    impl_->observer = std::move(observer);
    impl_->registry = pw_core_get_registry(impl_->core, PW_VERSION_REGISTRY, 0);
    static const pw_registry_events registryEvents = [] {
        pw_registry_events e{};
        e.version = PW_VERSION_REGISTRY_EVENTS;
        e.global = Impl::onGlobal;
        e.global_remove = Impl::onGlobalRemove;
        return e;
    }();
    pw_registry_add_listener(impl_->registry, &impl_->registryListener, &registryEvents,
                             impl_.get());
    impl_->pendingSync = pw_core_sync(impl_->core, PW_ID_CORE, 0);
    pw_thread_loop_unlock(impl_->loop);
    return true;
}

bool PipeWireConnection::waitUntilConnected(double seconds, std::string* error) {
    pw_thread_loop_lock(impl_->loop);
    timespec deadline{};
    pw_thread_loop_get_time(impl_->loop, &deadline, std::int64_t(seconds * SPA_NSEC_PER_SEC));
    while (impl_->core && !impl_->initialDone && !impl_->broken) {
        if (pw_thread_loop_timed_wait_full(impl_->loop, &deadline) == -ETIMEDOUT) break;
    }
    const bool ready = impl_->core && impl_->initialDone && !impl_->broken;
    std::string reason = !impl_->core    ? "not connected"
                         : impl_->broken ? "PipeWire closed the connection: " + impl_->error
                                         : "PipeWire did not answer in time";
    pw_thread_loop_unlock(impl_->loop);
    if (!ready && error) *error = std::move(reason);
    return ready;
}

int PipeWireConnection::setNodeControls(std::uint32_t node,
                                        const std::optional<std::vector<float>>& channelVolumes,
                                        std::optional<bool> mute) {
    if (channelVolumes && channelVolumes->size() > SPA_AUDIO_MAX_CHANNELS) return -EINVAL;
    pw_thread_loop_lock(impl_->loop);
    int result = -ENOENT;
    if (auto* b = impl_->find(node, PipeWireEvent::Kind::node)) {
        std::uint8_t buffer[1024];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        spa_pod_frame frame{};
        spa_pod_builder_push_object(&builder, &frame, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
        if (channelVolumes) {
            spa_pod_builder_prop(&builder, SPA_PROP_channelVolumes, 0);
            spa_pod_builder_array(&builder, sizeof(float), SPA_TYPE_Float,
                                  std::uint32_t(channelVolumes->size()), channelVolumes->data());
        }
        if (mute) {
            spa_pod_builder_prop(&builder, SPA_PROP_mute, 0);
            spa_pod_builder_bool(&builder, *mute);
        }
        auto* param = static_cast<spa_pod*>(spa_pod_builder_pop(&builder, &frame));
        result = pw_node_set_param(reinterpret_cast<pw_node*>(b->proxy), SPA_PARAM_Props, 0, param);
        result = result < 0 ? result : 0;
    }
    pw_thread_loop_unlock(impl_->loop);
    return result;
}

int PipeWireConnection::setMetadata(const std::string& metadata, std::uint32_t subject,
                                    const std::string& key, const std::string& type,
                                    const std::optional<std::string>& value) {
    pw_thread_loop_lock(impl_->loop);
    int result = -ENOENT;
    for (auto& [_, b] : impl_->bound) {
        if (b->kind != PipeWireEvent::Kind::metadata || b->metadataName != metadata || !b->proxy)
            continue;
        result = pw_metadata_set_property(
            reinterpret_cast<pw_metadata*>(b->proxy), subject, key.c_str(),
            value && !type.empty() ? type.c_str() : nullptr, value ? value->c_str() : nullptr);
        result = result < 0 ? result : 0;
        break;
    }
    pw_thread_loop_unlock(impl_->loop);
    return result;
}

pw_core* PipeWireConnection::core() const {
    return impl_->core;
}

bool PipeWireConnection::roundTrip(double seconds) {
    pw_thread_loop_lock(impl_->loop);
    bool done = false;
    if (impl_->core && !impl_->broken) {
        impl_->roundTripDone = false;
        impl_->roundTripSync = pw_core_sync(impl_->core, PW_ID_CORE, impl_->roundTripSync + 1);
        timespec deadline{};
        pw_thread_loop_get_time(impl_->loop, &deadline, std::int64_t(seconds * SPA_NSEC_PER_SEC));
        while (!impl_->roundTripDone && !impl_->broken) {
            if (pw_thread_loop_timed_wait_full(impl_->loop, &deadline) == -ETIMEDOUT) break;
        }
        done = impl_->roundTripDone;
    }
    pw_thread_loop_unlock(impl_->loop);
    return done;
}

pw_thread_loop* PipeWireConnection::threadLoop() const {
    return impl_->loop;
}

std::string PipeWireConnection::serverDescription() const {
    pw_thread_loop_lock(impl_->loop);
    std::string text = impl_->serverDescription.empty() ? "PipeWire" : impl_->serverDescription;
    pw_thread_loop_unlock(impl_->loop);
    return text;
}

} // namespace voxlane
