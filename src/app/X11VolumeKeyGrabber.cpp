#include "app/X11VolumeKeyGrabber.h"

#include <cstdlib>
#include <xcb/xcb.h>

namespace voxlane {
namespace {

constexpr std::uint32_t XF86AudioLowerVolume = 0x1008FF11;
constexpr std::uint32_t XF86AudioMute = 0x1008FF12;
constexpr std::uint32_t XF86AudioRaiseVolume = 0x1008FF13;
constexpr std::uint32_t NumLockKeysym = 0xFF7F;

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

} // namespace

std::unique_ptr<X11VolumeKeyGrabber> X11VolumeKeyGrabber::connect(const char* display) {
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection) xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11VolumeKeyGrabber>(new X11VolumeKeyGrabber(connection));
}

X11VolumeKeyGrabber::X11VolumeKeyGrabber(xcb_connection_t* connection) : connection_(connection) {
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    lookUpKeys();
}

X11VolumeKeyGrabber::~X11VolumeKeyGrabber() {
    release();
    xcb_disconnect(connection_);
}

int X11VolumeKeyGrabber::fd() const {
    return xcb_get_file_descriptor(connection_);
}

void X11VolumeKeyGrabber::lookUpKeys() {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const std::uint8_t first = setup->min_keycode, last = setup->max_keycode;
    Reply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, first, std::uint8_t(last - first + 1)),
        nullptr));
    if (!mapping) return;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    const int count = xcb_get_keyboard_mapping_keysyms_length(mapping.get());
    const auto keycodeOf = [&](std::uint32_t keysym) -> std::uint8_t {
        for (int i = 0; i < count; ++i)
            if (syms[i] == keysym) return std::uint8_t(first + i / perCode);
        return 0;
    };
    for (auto [keysym, key] : {std::pair{XF86AudioRaiseVolume, MediaKey::volumeUp},
                               std::pair{XF86AudioLowerVolume, MediaKey::volumeDown},
                               std::pair{XF86AudioMute, MediaKey::mute}}) {
        if (const std::uint8_t code = keycodeOf(keysym)) keys_.push_back({key, code});
    }

    // Which modifier Num Lock is (Mod2 on common keymaps).
    numLock_ = XCB_MOD_MASK_2;
    const std::uint8_t numLockCode = keycodeOf(NumLockKeysym);
    Reply<xcb_get_modifier_mapping_reply_t> modifiers(xcb_get_modifier_mapping_reply(
        connection_, xcb_get_modifier_mapping(connection_), nullptr));
    if (modifiers && numLockCode) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modifiers.get());
        const int perModifier = modifiers->keycodes_per_modifier;
        for (int m = 0; m < 8; ++m)
            for (int k = 0; k < perModifier; ++k)
                if (codes[m * perModifier + k] == numLockCode) numLock_ = std::uint16_t(1 << m);
    }
}

bool X11VolumeKeyGrabber::grab() {
    if (grabbed_) return true;
    if (keys_.size() != 3) return false;
    std::vector<xcb_void_cookie_t> cookies;
    for (const Key& key : keys_) {
        for (int step : {0, int(XCB_MOD_MASK_1), int(XCB_MOD_MASK_SHIFT),
                         int(XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT)}) {
            for (std::uint16_t locks : {std::uint16_t(0), std::uint16_t(XCB_MOD_MASK_LOCK),
                                        numLock_, std::uint16_t(XCB_MOD_MASK_LOCK | numLock_)}) {
                cookies.push_back(xcb_grab_key_checked(connection_, 1, root_,
                                                       std::uint16_t(step | locks), key.keycode,
                                                       XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            }
        }
    }
    bool ok = true;
    for (const auto& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            ok = false;
            std::free(error);
        }
    }
    if (!ok) {
        ungrabAll();
        return false;
    }
    grabbed_ = true;
    return true;
}

void X11VolumeKeyGrabber::ungrabAll() {
    for (const Key& key : keys_)
        xcb_ungrab_key(connection_, key.keycode, root_, XCB_MOD_MASK_ANY);
    xcb_flush(connection_);
    down_.clear();
}

void X11VolumeKeyGrabber::release() {
    if (!grabbed_) return;
    grabbed_ = false;
    ungrabAll();
}

void X11VolumeKeyGrabber::dispatch() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
            auto* e = reinterpret_cast<xcb_key_press_event_t*>(event);
            for (const Key& key : keys_) {
                if (key.keycode != e->detail) continue;
                if (type == XCB_KEY_RELEASE) {
                    down_.erase(key.keycode);
                    break;
                }
                Press press{key.key};
                press.fine = (e->state & XCB_MOD_MASK_1) && (e->state & XCB_MOD_MASK_SHIFT);
                press.isRepeat = !down_.insert(key.keycode).second;
                if (grabbed_ && onPress) onPress(press);
                break;
            }
        }
        std::free(event);
    }
}

} // namespace voxlane
