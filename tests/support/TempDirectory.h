#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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
    std::filesystem::path operator/(std::string_view relative) const { return root / relative; }

    // Writes `contents` to `relative`, creating the directories on the way.
    std::filesystem::path write(std::string_view relative, std::string_view contents) const;
    std::string read(std::string_view relative) const;

private:
    std::filesystem::path root;
};

} // namespace voxlane::test
