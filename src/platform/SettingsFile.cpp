// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SettingsFile.h"

#include "platform/Log.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace voxlane::SettingsFile {

namespace {

constexpr std::string_view category = "defaults";
constexpr std::string_view temporaryInfix = ".tmp-";

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string utcTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

std::filesystem::path directoryOf(const std::filesystem::path& file) {
    std::filesystem::path directory = file.parent_path();
    return directory.empty() ? "." : directory;
}

} // namespace

// Renames `path` (itself, not what a link points to) to `<name>.corrupt-<timestamp>` (with a
// counter when that exists already).
std::optional<std::filesystem::path> moveAside(const std::filesystem::path& path, int& error) {
    const std::string base = path.string() + ".corrupt-" + utcTimestamp();
    for (int attempt = 1; attempt < 1000; ++attempt) {
        std::filesystem::path target = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        struct stat info;
        if (::lstat(target.c_str(), &info) == 0) continue;
        if (::rename(path.c_str(), target.c_str()) == 0) return target;
        error = errno;
        return std::nullopt;
    }
    error = EEXIST;
    return std::nullopt;
}

// What `path` names after following symbolic links: the file that is read and replaced, so that
// a link stays a link.
std::filesystem::path linkTarget(const std::filesystem::path& path) {
    std::filesystem::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::error_code error;
        const auto target = std::filesystem::read_symlink(current, error);
        if (error) return current;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current;
}

// Removes `<name>.tmp-XXXXXX` files that saves interrupted by a crash or kill left behind.
void removeLeftovers(const std::filesystem::path& file) {
    const std::string prefix = file.filename().string() + std::string(temporaryInfix);
    std::error_code error;
    int removed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directoryOf(file), error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        struct stat info;
        if (::lstat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::unlink(entry.path().c_str()) == 0) {
            ++removed;
        }
    }
    if (removed > 0) {
        Log::info(category, std::to_string(removed) + " temporäre Datei(en) abgebrochener "
                                                      "Speichervorgänge entfernt");
    }
}

// Writes `contents` atomically over `file` (through a symbolic link); the log message on
// failure.
std::optional<std::string> write(const std::filesystem::path& file, const std::string& contents,
                                 std::size_t maxSize) {
    const std::filesystem::path target = linkTarget(file);
    const auto fail = [&](std::string_view step, const std::string& reason) {
        return "Einstellungen nicht gespeichert (" + file.string() + ", " + std::string(step) +
               "): " + reason;
    };
    if (contents.size() > maxSize) return fail("schreiben", "zu groß");
    struct stat info;
    if (::lstat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return fail("ersetzen", "keine reguläre Datei");
    }

    const std::filesystem::path directory = directoryOf(target);
    std::error_code created;
    std::filesystem::create_directories(directory, created);
    if (created) return fail("Verzeichnis anlegen", std::strerror(created.value()));

    std::string temporary =
        (directory / (target.filename().string() + std::string(temporaryInfix) + "XXXXXX"))
            .string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return fail("temporäre Datei anlegen", std::strerror(errno));

    int error = 0;
    const char* step = nullptr;
    if (!writeAll(fd, contents)) {
        error = errno;
        step = "schreiben";
    } else if (::fsync(fd) != 0) {
        error = errno;
        step = "fsync";
    }
    if (::close(fd) != 0 && !step) {
        error = errno;
        step = "schließen";
    }
    if (!step && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        step = "umbenennen";
    }
    if (step) {
        ::unlink(temporary.c_str());
        return fail(step, std::strerror(error));
    }

    // The rename is durable only once the directory is on disk.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return fail("Verzeichnis öffnen", std::strerror(errno));
    if (::fsync(dirFd) != 0) error = errno;
    ::close(dirFd);
    if (error != 0) return fail("Verzeichnis fsync", std::strerror(error));
    return std::nullopt;
}

} // namespace voxlane::SettingsFile
