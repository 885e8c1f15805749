#pragma once

#include "platform/Workspace.h"

#include <map>
#include <string>

namespace voxlane {

class SimHal;

// The demo world of `voxlane --demo` until the shared one replaces it: a few devices and
// applications on the simulated audio server, and a workspace that knows their names.
namespace InterimDemo {

// A workspace of named applications by id; every process is its own responsible process.
class DemoWorkspace final : public Workspace {
public:
    std::map<std::string, std::string> names; // application id → name

    std::int32_t ownPid() const override;
    std::optional<RunningApplication> runningApplication(std::int32_t) const override {
        return std::nullopt;
    }
    std::optional<std::string> applicationPath(const std::string& id) const override;
    std::string displayName(const std::string& path) const override;
    AppIcon iconForFile(const std::string&) const override { return {}; }
    std::optional<std::string> processPath(std::int32_t) const override { return std::nullopt; }
    std::optional<std::string> processName(std::int32_t) const override { return std::nullopt; }
    std::int32_t responsiblePid(std::int32_t pid) const override { return pid; }
    bool openURL(const std::string&) override { return false; }
};

// Adds the demo devices and applications, and this program as a process of its own.
void populate(SimHal& hal, DemoWorkspace& workspace);

} // namespace InterimDemo
} // namespace voxlane
