// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace voxlane::RegularFile {

std::string Read::reason() const {
    switch (status) {
    case Status::read:
        return "gelesen";
    case Status::missing:
        return "nicht vorhanden";
    case Status::notRegular:
        return "keine reguläre Datei";
    case Status::tooLarge:
        return "zu groß";
    case Status::failed:
        break;
    }
    return std::strerror(error);
}

Read read(const std::filesystem::path& path, std::size_t limit) {
    Read result;
    // O_NONBLOCK: opening a FIFO without a writer, or a device, must not wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        result.status = result.error == ENOENT ? Read::Status::missing : Read::Status::failed;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.error = errno;
        ::close(fd);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        result.status = Read::Status::notRegular;
        return result;
    }
    if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > limit) {
        ::close(fd);
        result.status = Read::Status::tooLarge;
        return result;
    }
    // The size may change while reading (and files in /proc report none): read at most one
    // byte more than the limit to tell.
    std::string contents;
    contents.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const std::size_t room = limit + 1 - contents.size();
        const ssize_t n = ::read(fd, buffer, room < sizeof buffer ? room : sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            result.error = errno;
            ::close(fd);
            return result;
        }
        contents.append(buffer, static_cast<std::size_t>(n));
        if (contents.size() > limit) {
            ::close(fd);
            result.status = Read::Status::tooLarge;
            return result;
        }
    }
    ::close(fd);
    result.status = Read::Status::read;
    result.contents = std::move(contents);
    return result;
}

} // namespace voxlane::RegularFile
