// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane::test {

// A fresh directory under the system's temporary directory, removed with everything in it when
// the object goes away.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::string operator/(std::string_view relative) const { return (root / relative).string(); }

    // Writes `contents` to `relative`, creating the directories on the way.
    std::filesystem::path write(std::string_view relative, std::string_view contents) const;
    std::string read(std::string_view relative) const;
    // Names of all entries (hidden ones too), sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path root;
};

} // namespace voxlane::test
