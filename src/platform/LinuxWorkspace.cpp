// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LinuxWorkspace.h"

#include "platform/DesktopSession.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace voxlane {

namespace {

// Desktop entries and /proc files are small; anything larger is not one of them.
constexpr std::uintmax_t maxFileSize = 1 << 20;

// Only regular files, opened without blocking: a FIFO in a sandbox's root or among the desktop
// entries must not stall the main thread.
std::optional<std::string> readText(const std::filesystem::path& path) {
    auto read = RegularFile::read(path, maxFileSize);
    if (!read.ok()) return std::nullopt;
    return std::move(read.contents);
}

std::string baseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string lastComponent(std::string_view id) {
    const auto dot = id.rfind('.');
    return std::string(dot == std::string_view::npos ? id : id.substr(dot + 1));
}

std::optional<pid_t> parsePid(std::string_view text) {
    const auto start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    pid_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) return std::nullopt;
    return value;
}

void appendUnique(std::vector<std::filesystem::path>& list, std::filesystem::path path) {
    if (std::find(list.begin(), list.end(), path) == list.end()) list.push_back(std::move(path));
}

} // namespace

LinuxWorkspace::LinuxWorkspace() : LinuxWorkspace("/proc", defaultApplicationDirs()) {}

LinuxWorkspace::LinuxWorkspace(std::filesystem::path procRoot,
                               std::vector<std::filesystem::path> applicationDirs)
    : procRoot(std::move(procRoot)), applicationDirs(std::move(applicationDirs)) {}

std::filesystem::path LinuxWorkspace::procPath(pid_t pid, std::string_view file) const {
    return procRoot / std::to_string(pid) / file;
}

std::optional<std::string> LinuxWorkspace::processPath(std::int32_t pid) const {
    if (pid <= 0) return std::nullopt;
    std::error_code error;
    auto target = std::filesystem::read_symlink(procPath(pid, "exe"), error).string();
    if (error || target.empty()) return std::nullopt;
    constexpr std::string_view deleted = " (deleted)";
    if (target.ends_with(deleted)) target.resize(target.size() - deleted.size());
    return target;
}

std::optional<std::string> LinuxWorkspace::processName(std::int32_t pid) const {
    if (pid <= 0) return std::nullopt;
    auto name = readText(procPath(pid, "comm"));
    if (!name) return std::nullopt;
    while (!name->empty() && name->back() == '\n')
        name->pop_back();
    if (name->empty()) return std::nullopt;
    return name;
}

std::optional<pid_t> LinuxWorkspace::parentProcess(pid_t pid) const {
    if (pid <= 0) return std::nullopt;
    // "pid (comm) state ppid …"; the name may itself hold spaces and parentheses.
    if (const auto stat = readText(procPath(pid, "stat"))) {
        const auto close = stat->rfind(')');
        if (close != std::string::npos) {
            std::string_view rest = std::string_view(*stat).substr(close + 1);
            const auto state = rest.find_first_not_of(' ');
            if (state != std::string_view::npos) {
                if (auto parent = parsePid(rest.substr(state + 1))) return parent;
            }
        }
    }
    if (const auto status = readText(procPath(pid, "status"))) {
        const auto line = status->find("\nPPid:");
        if (line != std::string::npos) return parsePid(std::string_view(*status).substr(line + 6));
    }
    return std::nullopt;
}

pid_t LinuxWorkspace::responsibleProcess(pid_t pid) const {
    pid_t current = pid;
    // The depth bound guards against a parent chain that loops in a corrupt or racing /proc.
    for (int depth = 0; depth < 64 && current > 0; ++depth) {
        if (const auto app = desktopApplication(current); app && app->isRegular) return current;
        const auto parent = parentProcess(current);
        if (!parent || *parent <= 1 || *parent == current) break;
        current = *parent;
    }
    return pid;
}

std::optional<std::string> LinuxWorkspace::flatpakApplication(pid_t pid) const {
    const auto info = readText(procPath(pid, "root/.flatpak-info"));
    if (!info) return std::nullopt;
    const auto group = DesktopEntry::readGroup(*info, "Application");
    if (!group) return std::nullopt;
    const auto name = group->find("name");
    if (name == group->end() || name->second.empty()) return std::nullopt;
    return name->second;
}

std::optional<std::string> LinuxWorkspace::interpretedScript(pid_t pid) const {
    const auto cmdline = readText(procPath(pid, "cmdline"));
    if (!cmdline) return std::nullopt;
    std::vector<std::string> arguments;
    std::string_view rest = *cmdline;
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        arguments.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    auto script = DesktopEntry::interpretedProgram(arguments);
    if (script.empty()) return std::nullopt;
    return script;
}

std::optional<DesktopApplication> LinuxWorkspace::desktopApplication(pid_t pid) const {
    if (pid <= 0) return std::nullopt;
    if (const auto flatpak = flatpakApplication(pid)) {
        const auto& entries = index();
        const auto found = entries.byId.find(*flatpak);
        if (found != entries.byId.end()) return describe(entries.entries[found->second], pid);
        return DesktopApplication{*flatpak, lastComponent(*flatpak), *flatpak, false, pid};
    }
    if (const auto* indexed = match(pid)) return describe(*indexed, pid);
    return std::nullopt;
}

std::optional<DesktopApplication> LinuxWorkspace::application(std::string_view id) const {
    if (id.ends_with(".desktop")) id.remove_suffix(8);
    const auto& entries = index();
    const auto found = entries.byId.find(id);
    if (found == entries.byId.end()) return std::nullopt;
    return describe(entries.entries[found->second], 0);
}

DesktopApplication LinuxWorkspace::describe(const IndexedEntry& indexed, pid_t pid) const {
    return DesktopApplication{indexed.id,
                              indexed.entry.name.empty() ? indexed.id : indexed.entry.name,
                              indexed.entry.icon, indexed.entry.isVisible(), pid};
}

const LinuxWorkspace::IndexedEntry* LinuxWorkspace::match(pid_t pid) const {
    const auto exe = processPath(pid);
    const auto comm = processName(pid);
    if (!exe && !comm) return nullptr; // gone, or not ours to look at

    std::string exePath = exe.value_or("");
    std::string exeName = baseName(exePath);
    if (!exeName.empty() && DesktopEntry::isInterpreter(exeName)) {
        // The script names the application, not the interpreter.
        const auto script = interpretedScript(pid);
        exePath = script && script->starts_with('/') ? *script : "";
        exeName = script ? baseName(*script) : "";
    }
    // An interpreter's process is usually named after the interpreter: that names nothing.
    const std::string name = comm && !DesktopEntry::isInterpreter(*comm) ? *comm : std::string();
    const std::string lowerExe = lower(exeName);
    const std::string lowerName = lower(name);

    const auto sameName = [&](const std::string& candidate) {
        if (candidate.empty()) return false;
        const auto lowered = lower(candidate);
        return (!lowerExe.empty() && lowered == lowerExe) ||
               (!lowerName.empty() && lowered == lowerName);
    };
    const std::vector<std::function<bool(const IndexedEntry&)>> rules = {
        [&](const IndexedEntry& e) {
            return !exePath.empty() && (e.programPath == exePath || e.resolvedProgram == exePath ||
                                        e.entry.tryExec == exePath);
        },
        [&](const IndexedEntry& e) {
            return !exeName.empty() && (e.programName == exeName || e.tryExecName == exeName);
        },
        [&](const IndexedEntry& e) {
            return sameName(e.entry.startupWMClass) || sameName(e.id) ||
                   sameName(lastComponent(e.id));
        },
        [&](const IndexedEntry& e) {
            return !name.empty() && !e.programName.empty() &&
                   name == std::string_view(e.programName).substr(0, 15);
        },
    };

    const auto& entries = index().entries;
    for (const auto& rule : rules) {
        const IndexedEntry* hiddenMatch = nullptr;
        for (const auto& indexed : entries) {
            if (indexed.isFlatpakLauncher || !rule(indexed)) continue;
            if (indexed.entry.isVisible()) return &indexed;
            if (!hiddenMatch) hiddenMatch = &indexed;
        }
        if (hiddenMatch) return hiddenMatch;
    }
    return nullptr;
}

std::vector<std::filesystem::file_time_type> LinuxWorkspace::dirTimes() const {
    std::vector<std::filesystem::file_time_type> times;
    times.reserve(applicationDirs.size());
    for (const auto& dir : applicationDirs) {
        std::error_code error;
        const auto time = std::filesystem::last_write_time(dir, error);
        times.push_back(error ? std::filesystem::file_time_type::min() : time);
    }
    return times;
}

const LinuxWorkspace::Index& LinuxWorkspace::index() const {
    auto times = dirTimes();
    if (!cache || cache->dirTimes != times) {
        cache.emplace();
        cache->dirTimes = std::move(times);
        build(*cache);
    }
    return *cache;
}

void LinuxWorkspace::build(Index& index) const {
    namespace fs = std::filesystem;
    for (const auto& dir : applicationDirs) {
        std::vector<std::pair<std::string, fs::path>> files;
        std::error_code error;
        fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied,
                                            error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            const auto& path = it->path();
            if (path.extension() != ".desktop" || !it->is_regular_file(error)) continue;
            // The desktop id: the path below the applications directory, '/' turned into '-'.
            auto id = fs::relative(path, dir, error).generic_string();
            if (error) break;
            id.resize(id.size() - 8);
            std::replace(id.begin(), id.end(), '/', '-');
            files.emplace_back(std::move(id), path);
        }
        std::sort(files.begin(), files.end());

        for (auto& [id, path] : files) {
            if (index.byId.contains(id)) continue; // an earlier directory has this id
            const auto text = readText(path);
            if (!text) continue;
            auto entry = DesktopEntry::parse(*text);
            if (!entry || !entry->isApplication()) continue;

            IndexedEntry indexed;
            indexed.id = id;
            indexed.file = path;
            indexed.programPath = entry->program();
            indexed.programName = baseName(indexed.programPath);
            indexed.tryExecName = baseName(entry->tryExec);
            indexed.isFlatpakLauncher = indexed.programName == "flatpak";
            if (indexed.programPath.starts_with('/')) {
                std::error_code unresolved;
                const auto resolved = fs::canonical(indexed.programPath, unresolved);
                if (!unresolved) indexed.resolvedProgram = resolved.string();
            }
            indexed.entry = std::move(*entry);
            index.byId.emplace(id, index.entries.size());
            index.entries.push_back(std::move(indexed));
        }
    }
}

std::vector<std::filesystem::path> LinuxWorkspace::defaultApplicationDirs() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry && entry->pw_dir ? entry->pw_dir : "/";
    }
    return applicationDirsFor(std::getenv("XDG_DATA_HOME"), std::getenv("XDG_DATA_DIRS"), home);
}

std::vector<std::filesystem::path> LinuxWorkspace::applicationDirsFor(const char* xdgDataHome,
                                                                      const char* xdgDataDirs,
                                                                      const char* home) {
    const std::filesystem::path homeDir = home ? home : "/";
    std::vector<std::filesystem::path> dataDirs;
    if (xdgDataHome && *xdgDataHome == '/') {
        dataDirs.emplace_back(xdgDataHome);
    } else {
        dataDirs.push_back(homeDir / ".local/share");
    }

    std::vector<std::filesystem::path> system;
    std::string_view list = xdgDataDirs ? xdgDataDirs : "";
    while (!list.empty()) {
        const auto colon = list.find(':');
        const auto item = list.substr(0, colon);
        if (item.starts_with('/')) appendUnique(system, std::filesystem::path(item));
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    if (system.empty()) system = {"/usr/local/share", "/usr/share"};
    for (auto& dir : system)
        appendUnique(dataDirs, std::move(dir));

    appendUnique(dataDirs, homeDir / ".local/share/flatpak/exports/share");
    appendUnique(dataDirs, "/var/lib/flatpak/exports/share");

    std::vector<std::filesystem::path> result;
    for (const auto& dir : dataDirs)
        appendUnique(result, (dir / "applications").lexically_normal());
    return result;
}

} // namespace voxlane

namespace voxlane {

std::int32_t LinuxWorkspace::ownPid() const {
    return static_cast<std::int32_t>(getpid());
}

std::optional<RunningApplication> LinuxWorkspace::runningApplication(std::int32_t pid) const {
    const auto app = desktopApplication(pid);
    if (!app) return std::nullopt;
    RunningApplication running;
    running.appId = app->id;
    running.localizedName = app->name;
    running.icon = AppIcon{app->iconName, false};
    running.entryPath = applicationPath(app->id).value_or("");
    running.isRegular = app->isRegular;
    return running;
}

std::optional<std::string> LinuxWorkspace::applicationPath(const std::string& id) const {
    std::string_view key = id;
    if (key.ends_with(".desktop")) key.remove_suffix(8);
    const auto& entries = index();
    const auto found = entries.byId.find(key);
    if (found == entries.byId.end()) return std::nullopt;
    return entries.entries[found->second].file.string();
}

const LinuxWorkspace::IndexedEntry* LinuxWorkspace::entryForFile(const std::string& path) const {
    for (const auto& indexed : index().entries) {
        if (indexed.file == path) return &indexed;
    }
    return nullptr;
}

std::string LinuxWorkspace::displayName(const std::string& path) const {
    if (const auto* indexed = entryForFile(path); indexed && !indexed->entry.name.empty()) {
        return indexed->entry.name;
    }
    return std::filesystem::path(path).stem().string();
}

AppIcon LinuxWorkspace::iconForFile(const std::string& path) const {
    if (const auto* indexed = entryForFile(path)) return AppIcon{indexed->entry.icon, false};
    return {};
}

namespace {

// Runs `command` in the background through a short-lived shell, so nothing waits for it and no
// zombie stays behind; posix_spawn is safe in a threaded program where fork is not.
bool startDetached(const std::vector<std::string>& command) {
    std::vector<const char*> argv{"sh", "-c", "\"$@\" >/dev/null 2>&1 &", "sh"};
    for (const std::string& part : command)
        argv.push_back(part.c_str());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, "sh", nullptr, nullptr, const_cast<char* const*>(argv.data()),
                     environ) != 0)
        return false;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

bool LinuxWorkspace::openSoundSettings() {
    const auto command = DesktopSession::soundSettingsCommand(DesktopSession::currentDesktops(),
                                                              &DesktopSession::onPath);
    return !command.empty() && startDetached(command);
}

bool LinuxWorkspace::openURL(const std::string& url) {
    // A short-lived shell starts the handler in the background, so nothing waits for it and no
    // zombie stays behind; posix_spawn is safe in a threaded program where fork is not.
    const char* argv[] = {"sh", "-c",        "xdg-open \"$1\" >/dev/null 2>&1 &",
                          "sh", url.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return false;
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace voxlane
