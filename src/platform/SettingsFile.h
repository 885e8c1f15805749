// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace voxlane::SettingsFile {

// Writes `contents` atomically over `file` (a temporary file beside it, fsync, rename, fsync of
// the directory), through a symbolic link so that a link stays a link. None, or the log's
// message on failure (also when `contents` is larger than `maxSize`).
std::optional<std::string> write(const std::filesystem::path& file, const std::string& contents,
                                 std::size_t maxSize);

// Renames `path` (itself, not what a link points to) to `<name>.corrupt-<timestamp>` (with a
// counter when that exists already); none with the errno in `error` when that fails.
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& path, int& error);

// What `path` names after following symbolic links: the file that is read and replaced.
std::filesystem::path linkTarget(const std::filesystem::path& path);

// Removes `<name>.tmp-XXXXXX` files that saves interrupted by a crash or kill left behind.
void removeLeftovers(const std::filesystem::path& file);

} // namespace voxlane::SettingsFile
