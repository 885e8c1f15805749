#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace voxlane::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    // Names of all entries (hidden ones too), sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

} // namespace voxlane::test
