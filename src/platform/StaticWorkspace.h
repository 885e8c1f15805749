// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Workspace.h"

#include <map>
#include <string>
#include <vector>

namespace voxlane {

// A workspace described by its maps, filled directly: the simulated desktop of the demo mode and
// of the tests.
class StaticWorkspace final : public Workspace {
public:
    std::int32_t pid = 1000;
    std::map<std::int32_t, RunningApplication> applications;
    std::map<std::string, std::string> applicationPaths; // id → path
    std::map<std::string, std::string> displayNames;     // path → name
    std::map<std::string, AppIcon> fileIcons;            // path → icon
    std::map<std::int32_t, std::string> paths;
    std::map<std::int32_t, std::string> names;
    std::map<std::int32_t, std::int32_t> responsible;
    std::vector<std::string> openedURLs;
    int soundSettingsOpened = 0;
    bool hasSoundSettings = true;

    std::int32_t ownPid() const override { return pid; }
    std::optional<RunningApplication> runningApplication(std::int32_t p) const override {
        return find(applications, p);
    }
    std::optional<std::string> applicationPath(const std::string& id) const override {
        return find(applicationPaths, id);
    }
    std::string displayName(const std::string& path) const override {
        return find(displayNames, path).value_or(path);
    }
    AppIcon iconForFile(const std::string& path) const override {
        return find(fileIcons, path).value_or(AppIcon{});
    }
    std::optional<std::string> processPath(std::int32_t p) const override { return find(paths, p); }
    std::optional<std::string> processName(std::int32_t p) const override { return find(names, p); }
    std::int32_t responsiblePid(std::int32_t p) const override {
        return find(responsible, p).value_or(p);
    }
    bool openURL(const std::string& url) override {
        openedURLs.push_back(url);
        return true;
    }
    bool openSoundSettings() override {
        if (!hasSoundSettings) return false;
        ++soundSettingsOpened;
        return true;
    }

private:
    template <typename Map, typename Key>
    static std::optional<typename Map::mapped_type> find(const Map& map, const Key& key) {
        auto it = map.find(key);
        if (it == map.end()) return std::nullopt;
        return it->second;
    }
};

} // namespace voxlane
