// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Autostart.h"

#include "platform/AppIdentifier.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace voxlane {
namespace {

std::filesystem::path configHome() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg && std::filesystem::path(xdg).is_absolute()) return xdg;
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/") / ".config";
}

// A program path as one argument of an Exec line: quoted when it holds anything special, with
// the characters the desktop entry format escapes inside quotes.
std::string quoted(const std::string& program) {
    if (program.find_first_of(" \t\n\"'\\><~|&;$*?#()`%=") == std::string::npos) return program;
    std::string out = "\"";
    for (char c : program) {
        // The escape inside quotes is a backslash, itself escaped once more as a string value.
        if (c == '\\') {
            out += "\\\\\\\\";
            continue;
        }
        if (c == '"' || c == '`' || c == '$') out += "\\\\";
        if (c == '%') {
            out += "%%";
            continue;
        }
        if (c == '\n') continue;
        out += c;
    }
    return out + "\"";
}

} // namespace

Autostart::Autostart()
    : entry_(configHome() / "autostart" / (std::string(AppIdentifier) + ".desktop")) {}

std::string Autostart::entryText(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Voxlane\n"
           "Comment=Per-application volume in the tray\n"
           "Exec=" +
           quoted(program) +
           " --login\n"
           "Icon=" +
           std::string(AppIdentifier) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool Autostart::isEnabled() const {
    std::ifstream in(entry_);
    if (!in) return false;
    std::string line;
    bool inMain = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') inMain = line == "[Desktop Entry]";
        if (!inMain) continue;
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    }
    return true;
}

bool Autostart::enable(const std::string& program) {
    std::error_code error;
    std::filesystem::create_directories(entry_.parent_path(), error);
    const std::filesystem::path temporary = entry_.string() + ".tmp";
    const std::string text = entryText(program);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = std::rename(temporary.c_str(), entry_.c_str()) == 0;
    if (!ok) std::filesystem::remove(temporary, error);
    return ok;
}

bool Autostart::disable() {
    std::error_code error;
    std::filesystem::remove(entry_, error);
    return !std::filesystem::exists(entry_, error);
}

} // namespace voxlane
