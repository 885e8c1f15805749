// SPDX-License-Identifier: GPL-3.0-or-later
#include "coreaudio/CallDetector.h"

namespace voxlane::CallDetector {

// The one list of calling applications and browsers. Membership is exact and case-sensitive.
const std::set<std::string>& callApps() {
    static const std::set<std::string> apps{
        // Other platform
        "us.zoom.xos", "com.microsoft.teams2", "com.microsoft.teams", "com.apple.FaceTime",
        "com.apple.TelephonyUtilities", "com.tinyspeck.slackmacgap", "com.hnc.Discord",
        "com.cisco.webexmeetingsapp", "Cisco-Systems.Spark", "net.whatsapp.WhatsApp",
        "desktop.WhatsApp", "ru.keepcoder.Telegram", "com.tdesktop.Telegram", "com.skype.skype",
        "com.around.Around", "com.gather.Gather", "com.apple.avconferenced",
        // Zoom
        "us.zoom.Zoom", "Zoom", "zoom",
        // Microsoft Teams (the web-app wrappers of Linux)
        "com.microsoft.Teams", "teams", "teams-for-linux",
        "com.github.IsmaelMartinez.teams_for_linux",
        // Slack
        "com.slack.Slack", "slack",
        // Discord
        "com.discordapp.Discord", "discord",
        // WhatsApp
        "whatsapp-for-linux", "com.github.eneshecan.WhatsAppForLinux",
        "io.github.mimbrero.WhatsAppDesktop",
        // Telegram
        "org.telegram.desktop", "telegram-desktop", "telegramdesktop",
        // Skype
        "com.skype.Client", "skypeforlinux",
        // Signal
        "org.signal.Signal", "signal-desktop",
        // Element
        "im.riot.Riot", "element-desktop",
        // Jitsi Meet
        "org.jitsi.jitsi-meet", "jitsi-meet",
        // Webex
        "com.cisco.Webex", "webex",
        // Mumble
        "info.mumble.Mumble", "mumble"};
    return apps;
}

const std::set<std::string>& browsers() {
    static const std::set<std::string> apps{
        // Other platform
        "com.google.Chrome", "com.google.Chrome.canary", "com.apple.Safari",
        "company.thebrowser.Browser", "org.mozilla.firefox", "com.microsoft.edgemac",
        "com.brave.Browser", "com.vivaldi.Vivaldi", "com.operasoftware.Opera",
        // Firefox
        "firefox", "firefox-esr",
        // Chrome and Chromium
        "google-chrome", "google-chrome-beta", "google-chrome-unstable", "org.chromium.Chromium",
        "chromium", "chromium-browser",
        // Brave
        "brave-browser",
        // Vivaldi
        "vivaldi-stable",
        // Opera
        "com.opera.Opera", "opera",
        // Microsoft Edge
        "com.microsoft.Edge", "microsoft-edge",
        // GNOME Web
        "org.gnome.Epiphany"};
    return apps;
}

std::optional<AppGroup> activeCall(const std::vector<AppGroup>& apps) {
    for (const auto& app : apps) {
        if (!app.isRecording()) continue;
        if (callApps().count(app.id) || browsers().count(app.id)) return app;
    }
    return std::nullopt;
}

} // namespace voxlane::CallDetector
