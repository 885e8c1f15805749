// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/CallDetector.h"

namespace voxlane::CallDetector {

// The one list of calling applications and browsers. Membership is exact and case-sensitive.
const std::set<std::string>& callApps() {
    static const std::set<std::string> apps{
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
    static const std::set<std::string> apps{// Firefox
                                            "org.mozilla.firefox", "firefox", "firefox-esr",
                                            // Chrome and Chromium
                                            "com.google.Chrome", "google-chrome",
                                            "google-chrome-beta", "google-chrome-unstable",
                                            "org.chromium.Chromium", "chromium", "chromium-browser",
                                            // Brave
                                            "com.brave.Browser", "brave-browser",
                                            // Vivaldi
                                            "com.vivaldi.Vivaldi", "vivaldi-stable",
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
