// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace voxlane {

// Reading files that anyone could have put in place: a FIFO, a device, a link to /dev/zero or a
// huge file must neither block nor exhaust memory. A file is opened without blocking and read
// only when it is a regular file (a symbolic link to one is followed) within a size limit.
namespace RegularFile {

struct Read {
    enum class Status { read, missing, notRegular, tooLarge, failed };
    Status status = Status::failed;
    std::string contents; // only with `read`
    int error = 0;        // errno with `failed`

    bool ok() const { return status == Status::read; }
    // Why the file was not read, in the log's words.
    std::string reason() const;
};

Read read(const std::filesystem::path& path, std::size_t limit);

} // namespace RegularFile
} // namespace voxlane
