// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/X11KeyGrabber.h"

#include "platform/Log.h"
#include "platform/Scheduler.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <xcb/xcb.h>

namespace voxlane {
namespace {

constexpr const char* kCategory = "keys";

// Key symbols of the modifier keys, to find which modifier bit carries which.
constexpr std::uint32_t kNumLock = 0xff7f;
constexpr std::uint32_t kAltL = 0xffe9, kAltR = 0xffea;
constexpr std::uint32_t kSuperL = 0xffeb, kSuperR = 0xffec;

// The bits of a key event's state that are modifiers (the higher ones are mouse buttons).
constexpr std::uint16_t kModifierBits = 0xff;

template <typename T>
struct Freed {
    T* value;
    explicit Freed(T* v) : value(v) {}
    ~Freed() { std::free(value); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return value; }
    explicit operator bool() const { return value != nullptr; }
};

} // namespace

std::unique_ptr<X11KeyGrabber> X11KeyGrabber::connect(Scheduler& mainQueue, const char* display) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        Log::notice(kCategory,
                    "Kein X-Display erreichbar – globale Tastenkürzel sind nicht verfügbar");
        return nullptr;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        Log::notice(kCategory, "X-Display ohne Bildschirm – globale Tastenkürzel sind nicht "
                               "verfügbar");
        return nullptr;
    }
    return std::unique_ptr<X11KeyGrabber>(
        new X11KeyGrabber(mainQueue, connection, screens.data->root));
}

X11KeyGrabber::X11KeyGrabber(Scheduler& mainQueue, xcb_connection_t* connection, std::uint32_t root)
    : mainQueue_(mainQueue), connection_(connection), root_(root),
      self_(std::make_shared<X11KeyGrabber*>(this)) {
    loadKeyboard();
}

X11KeyGrabber::~X11KeyGrabber() {
    // Closing the connection releases every grab.
    xcb_disconnect(connection_);
}

int X11KeyGrabber::fd() const {
    return xcb_get_file_descriptor(connection_);
}

bool X11KeyGrabber::isConnected() const {
    return !connectionLost_ && !xcb_connection_has_error(connection_);
}

bool X11KeyGrabber::checkConnection() {
    if (connectionLost_) return false;
    if (!xcb_connection_has_error(connection_)) return true;
    connectionLost_ = true;
    Log::error(kCategory, "Verbindung zum X-Server verloren – globale Tastenkürzel sind aus");
    return false;
}

void X11KeyGrabber::loadKeyboard() {
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    minKeycode_ = setup->min_keycode;
    keysymsPerKeycode_ = 0;
    keysyms_.clear();
    const int count = setup->max_keycode - setup->min_keycode + 1;
    if (count > 0) {
        Freed reply(xcb_get_keyboard_mapping_reply(
            connection_,
            xcb_get_keyboard_mapping(connection_, setup->min_keycode, std::uint8_t(count)),
            nullptr));
        if (reply) {
            keysymsPerKeycode_ = reply->keysyms_per_keycode;
            const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply.value);
            keysyms_.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(reply.value));
        }
    }

    numLockMask_ = altMask_ = superMask_ = 0;
    Freed modifiers(xcb_get_modifier_mapping_reply(connection_,
                                                   xcb_get_modifier_mapping(connection_), nullptr));
    if (modifiers) {
        const int perModifier = modifiers->keycodes_per_modifier;
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.value);
        // Shift, Lock and Control are fixed; Num Lock, Alt and Super live among Mod1…Mod5.
        for (int modifier = 3; modifier < 8; ++modifier) {
            for (int k = 0; k < perModifier; ++k) {
                const xcb_keycode_t keycode = keycodes[modifier * perModifier + k];
                if (keycode < minKeycode_ || !keysymsPerKeycode_) continue;
                const std::size_t first = std::size_t(keycode - minKeycode_) * keysymsPerKeycode_;
                for (std::size_t i = first; i < first + keysymsPerKeycode_ && i < keysyms_.size();
                     ++i) {
                    const std::uint16_t bit = std::uint16_t(1u << modifier);
                    if (keysyms_[i] == kNumLock) numLockMask_ |= bit;
                    if (keysyms_[i] == kAltL || keysyms_[i] == kAltR) altMask_ |= bit;
                    if (keysyms_[i] == kSuperL || keysyms_[i] == kSuperR) superMask_ |= bit;
                }
            }
        }
    }
    // The usual places when the keyboard does not say.
    if (!altMask_) altMask_ = XCB_MOD_MASK_1;
    if (!superMask_) superMask_ = XCB_MOD_MASK_4;
}

std::vector<std::uint8_t> X11KeyGrabber::keycodesFor(std::uint32_t keySym) const {
    std::vector<std::uint8_t> keycodes;
    if (!keysymsPerKeycode_) return keycodes;
    for (std::size_t i = 0; i < keysyms_.size(); ++i) {
        if (keysyms_[i] != keySym) continue;
        const auto keycode = std::uint8_t(minKeycode_ + i / keysymsPerKeycode_);
        if (keycodes.empty() || keycodes.back() != keycode) keycodes.push_back(keycode);
    }
    return keycodes;
}

std::uint16_t X11KeyGrabber::maskFor(std::uint16_t modifiers) const {
    std::uint16_t mask = 0;
    if (modifiers & keyModifierShift) mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & keyModifierControl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & keyModifierAlt) mask |= altMask_;
    if (modifiers & keyModifierSuper) mask |= superMask_;
    return mask;
}

std::uint8_t X11KeyGrabber::grabKeys(const std::vector<std::uint8_t>& keycodes,
                                     std::uint16_t mask) {
    const std::uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, numLockMask_,
                                      std::uint16_t(XCB_MOD_MASK_LOCK | numLockMask_)};
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint8_t keycode : keycodes) {
        for (std::size_t v = 0; v < std::size(variants); ++v) {
            if (v >= 2 && !numLockMask_) break; // no Num Lock on this keyboard
            cookies.push_back(xcb_grab_key_checked(connection_, 1, root_,
                                                   std::uint16_t(mask | variants[v]), keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    std::uint8_t firstError = 0;
    for (const auto& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            if (!firstError) firstError = error->error_code;
            std::free(error);
        }
    }
    return firstError;
}

void X11KeyGrabber::ungrabKeys(const std::vector<std::uint8_t>& keycodes, std::uint16_t mask) {
    const std::uint16_t variants[] = {0, XCB_MOD_MASK_LOCK, numLockMask_,
                                      std::uint16_t(XCB_MOD_MASK_LOCK | numLockMask_)};
    for (std::uint8_t keycode : keycodes) {
        for (std::size_t v = 0; v < std::size(variants); ++v) {
            if (v >= 2 && !numLockMask_) break;
            xcb_ungrab_key(connection_, keycode, root_, std::uint16_t(mask | variants[v]));
        }
    }
    xcb_flush(connection_);
}

bool X11KeyGrabber::usedByOthers(GrabID id, std::uint8_t keycode, std::uint16_t mask) const {
    return std::any_of(grabs_.begin(), grabs_.end(), [&](const auto& entry) {
        const Grab& other = entry.second;
        return entry.first != id && other.mask == mask &&
               std::find(other.keycodes.begin(), other.keycodes.end(), keycode) !=
                   other.keycodes.end();
    });
}

KeyGrabber::Status X11KeyGrabber::grab(const KeyCombination& combination, GrabID id) {
    ungrab(id);
    if (!checkConnection()) return Status::unavailable;
    Grab grab{combination, keycodesFor(combination.keySym), maskFor(combination.modifiers)};
    if (grab.keycodes.empty()) return Status::unknownKey;

    const std::uint8_t error = grabKeys(grab.keycodes, grab.mask);
    dispatchSoon();
    if (!checkConnection()) return Status::unavailable;
    if (error) {
        // Undo the variants that did succeed, except where another grab of ours needs them.
        std::vector<std::uint8_t> undo;
        for (std::uint8_t keycode : grab.keycodes) {
            if (!usedByOthers(id, keycode, grab.mask)) undo.push_back(keycode);
        }
        ungrabKeys(undo, grab.mask);
        return error == XCB_ACCESS ? Status::taken : Status::failed;
    }
    grabs_[id] = std::move(grab);
    return Status::grabbed;
}

void X11KeyGrabber::ungrab(GrabID id) {
    const auto it = grabs_.find(id);
    if (it == grabs_.end()) return;
    std::vector<std::uint8_t> release;
    for (std::uint8_t keycode : it->second.keycodes) {
        if (!usedByOthers(id, keycode, it->second.mask)) release.push_back(keycode);
    }
    const std::uint16_t mask = it->second.mask;
    grabs_.erase(it);
    if (checkConnection()) ungrabKeys(release, mask);
}

void X11KeyGrabber::regrabAll() {
    for (const auto& [id, grab] : grabs_)
        ungrabKeys(grab.keycodes, grab.mask);
    loadKeyboard();
    for (auto it = grabs_.begin(); it != grabs_.end();) {
        Grab& grab = it->second;
        grab.keycodes = keycodesFor(grab.combination.keySym);
        grab.mask = maskFor(grab.combination.modifiers);
        const std::uint8_t error = grab.keycodes.empty() ? 0 : grabKeys(grab.keycodes, grab.mask);
        if (grab.keycodes.empty() || error) {
            Log::error(kCategory, "Tastenkürzel " + grab.combination.description() +
                                      " nach Änderung der Tastaturbelegung verloren");
            ungrabKeys(grab.keycodes, grab.mask);
            it = grabs_.erase(it);
        } else {
            ++it;
        }
    }
    dispatchSoon();
}

void X11KeyGrabber::dispatchSoon() {
    mainQueue_.async([weak = std::weak_ptr(self_)] {
        if (auto grabber = weak.lock()) (*grabber)->dispatch();
    });
}

void X11KeyGrabber::dispatch() {
    if (!checkConnection()) return;
    bool mappingChanged = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        Freed owned(event);
        switch (event->response_type & 0x7f) {
        case XCB_KEY_PRESS:
        case XCB_KEY_RELEASE: {
            const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
            handleKey(key->detail, key->state, key->time,
                      (event->response_type & 0x7f) == XCB_KEY_PRESS);
            break;
        }
        case XCB_MAPPING_NOTIFY: {
            const auto* mapping = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
            if (mapping->request != XCB_MAPPING_POINTER) mappingChanged = true;
            break;
        }
        default: // errors of unchecked requests (an ungrab) and anything else: nothing to do
            break;
        }
    }
    if (!checkConnection()) return;
    if (mappingChanged) regrabAll();
}

void X11KeyGrabber::handleKey(std::uint8_t keycode, std::uint16_t state, std::uint32_t time,
                              bool press) {
    if (!press) {
        held_.erase(keycode);
        lastReleaseKeycode_ = keycode;
        lastReleaseTime_ = time;
        return;
    }
    // The keyboard's repeat comes either as presses without releases, or as release-press pairs
    // with one timestamp.
    const bool repeat =
        held_.count(keycode) != 0 || (keycode == lastReleaseKeycode_ && time == lastReleaseTime_);
    held_.insert(keycode);
    const std::uint16_t mask =
        state & kModifierBits & std::uint16_t(~(XCB_MOD_MASK_LOCK | numLockMask_));
    std::vector<GrabID> matches;
    for (const auto& [id, grab] : grabs_) {
        if (grab.mask == mask &&
            std::find(grab.keycodes.begin(), grab.keycodes.end(), keycode) != grab.keycodes.end()) {
            matches.push_back(id);
        }
    }
    for (GrabID id : matches) {
        ++presses_;
        deliver(KeyPress{id, repeat});
    }
}

bool X11KeyGrabber::waitAndDispatch(double seconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    const std::size_t before = presses_;
    dispatch();
    while (presses_ == before && isConnected()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        pollfd descriptor{fd(), POLLIN, 0};
        ::poll(&descriptor, 1, int(left));
        dispatch();
    }
    return presses_ != before;
}

} // namespace voxlane
