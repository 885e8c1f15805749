// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TempDirectory.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>

namespace voxlane::test {

TempDirectory::TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "voxlane-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root = pattern;
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::filesystem::path TempDirectory::write(std::string_view relative,
                                           std::string_view contents) const {
    const auto path = root / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
    return path;
}

std::string TempDirectory::read(std::string_view relative) const {
    std::ifstream in(root / relative, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

std::vector<std::string> TempDirectory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace voxlane::test
