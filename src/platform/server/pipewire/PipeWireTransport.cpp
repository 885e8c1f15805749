// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/server/pipewire/PipeWireTransport.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace voxlane::PipeWireTransport {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The node's value for `key`, else the device's, lower-cased.
std::string value(const PipeWireProps& node, const PipeWireProps& device, const char* key) {
    if (auto it = node.find(key); it != node.end() && !it->second.empty()) return lower(it->second);
    if (auto it = device.find(key); it != device.end()) return lower(it->second);
    return {};
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

Transport transport(const PipeWireProps& node, const PipeWireProps& device) {
    const std::string api = value(node, device, "device.api");
    const std::string bus = value(node, device, "device.bus");
    if (api == "bluez5" || bus == "bluetooth") {
        const std::string profile = value(node, device, "api.bluez5.profile");
        const std::string codec = value(node, device, "api.bluez5.codec");
        if (startsWith(profile, "bap") || codec == "lc3") return Transport::bluetoothLE;
        return Transport::bluetooth;
    }

    const std::string profile = value(node, device, "device.profile.name");
    const std::string name = value(node, device, "node.name");
    if (contains(profile, "hdmi") || contains(name, "hdmi") || contains(profile, "displayport")) {
        const std::string words = value(node, device, "node.description") + " " +
                                  value(node, device, "device.profile.description") + " " +
                                  value(node, device, "api.alsa.pcm.name") + " " + profile;
        if (contains(words, "displayport") || contains(words, "display port"))
            return Transport::displayPort;
        return Transport::hdmi;
    }
    if (bus == "usb") return Transport::usb;
    if (bus == "pci" || bus == "isa" || value(node, device, "device.form-factor") == "internal")
        return Transport::builtIn;

    const std::string factory = value(node, device, "factory.name");
    const std::string mediaClass = value(node, device, "media.class");
    if (factory == "support.null-audio-sink" || contains(mediaClass, "/virtual") ||
        value(node, device, "node.virtual") == "true")
        return Transport::software;
    return Transport::unknown;
}

} // namespace voxlane::PipeWireTransport
