// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Log.h"

#include "platform/AppIdentifier.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef VOXLANE_HAVE_SYSTEMD
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <sys/uio.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#endif

namespace voxlane {

namespace {

constexpr const char* journalSocket = "/run/systemd/journal/socket";

struct LogState {
    std::mutex mutex;
    bool configured = false;
    Log::Sink sink = Log::Sink::standardError;
    bool debug = false;
    std::vector<Log::Capture*> captures;
};

// Never destroyed, so that threads still running at exit can log.
LogState& state() {
    static LogState* s = new LogState;
    return *s;
}

bool journalSocketExists() {
    struct stat info;
    return ::stat(journalSocket, &info) == 0 && S_ISSOCK(info.st_mode);
}

// Called with the mutex held.
void configureFromEnvironment(LogState& s) {
    if (s.configured) return;
    struct stat info;
    const bool socketExists = ::stat(journalSocket, &info) == 0 && S_ISSOCK(info.st_mode);
    s.sink =
        Log::chooseSink(std::getenv("VOXLANE_LOG"), ::isatty(STDERR_FILENO) == 1, socketExists);
    s.debug = Log::debugEnabled(std::getenv("VOXLANE_DEBUG"));
    s.configured = true;
}

#ifdef VOXLANE_HAVE_SYSTEMD
int priority(Log::Level level) {
    switch (level) {
    case Log::Level::debug:
        return LOG_DEBUG;
    case Log::Level::info:
        return LOG_INFO;
    case Log::Level::notice:
        return LOG_NOTICE;
    case Log::Level::error:
        return LOG_ERR;
    }
    return LOG_NOTICE;
}

bool sendToJournal(Log::Level level, std::string_view category, std::string_view message) {
    // Without a journal, sd_journal_sendv reports success and drops the entry.
    if (!journalSocketExists()) return false;
    // sd_journal_sendv takes the fields as they are: no format string, line breaks allowed.
    std::string fields[] = {
        "MESSAGE=" + std::string(message),
        "PRIORITY=" + std::to_string(priority(level)),
        "SYSLOG_IDENTIFIER=" + std::string(AppIdentifier),
        "VOXLANE_CATEGORY=" + std::string(category),
    };
    iovec vectors[std::size(fields)];
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        vectors[i].iov_base = fields[i].data();
        vectors[i].iov_len = fields[i].size();
    }
    return sd_journal_sendv(vectors, static_cast<int>(std::size(vectors))) >= 0;
}
#endif

} // namespace

void Log::error(std::string_view category, std::string_view message) {
    write(Level::error, category, message);
}

void Log::info(std::string_view category, std::string_view message) {
    write(Level::info, category, message);
}

void Log::notice(std::string_view category, std::string_view message) {
    write(Level::notice, category, message);
}

void Log::debug(std::string_view category, std::string_view message) {
    write(Level::debug, category, message);
}

void Log::write(Level level, std::string_view category, std::string_view message) {
    auto& s = state();
    Sink sink;
    {
        std::lock_guard lock(s.mutex);
        if (!s.captures.empty()) {
            for (auto* capture : s.captures) {
                capture->collected.push_back(
                    Entry{std::string(category), level, std::string(message)});
            }
            return;
        }
        configureFromEnvironment(s);
        if (level == Level::debug && !s.debug) return;
        sink = s.sink;
    }
#ifdef VOXLANE_HAVE_SYSTEMD
    if (sink == Sink::journal && sendToJournal(level, category, message)) return;
#else
    (void)sink;
#endif
    const auto line = formatLine(level, category, message) + '\n';
    // One write per line, under the lock, so that lines from several threads never interleave.
    std::lock_guard lock(s.mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void Log::configure(Sink sink, bool debugEnabled) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.sink = sink;
    s.debug = debugEnabled;
    s.configured = true;
}

Log::Sink Log::chooseSink(const char* override, bool stderrIsTerminal, bool journalSocketExists) {
    if (override) {
        const std::string_view value(override);
        if (value == "stderr") return Sink::standardError;
        if (value == "journal") return Sink::journal;
    }
    return !stderrIsTerminal && journalSocketExists ? Sink::journal : Sink::standardError;
}

bool Log::debugEnabled(const char* value) {
    if (!value) return false;
    for (const char* accepted : {"1", "true", "yes", "on"}) {
        if (::strcasecmp(value, accepted) == 0) return true;
    }
    return false;
}

std::string_view Log::levelName(Level level) {
    switch (level) {
    case Level::debug:
        return "debug";
    case Level::info:
        return "info";
    case Level::notice:
        return "notice";
    case Level::error:
        return "error";
    }
    return "notice";
}

std::string Log::formatLine(Level level, std::string_view category, std::string_view message) {
    std::string line;
    line.reserve(AppIdentifier.size() + category.size() + message.size() + 16);
    line.append(AppIdentifier).append(" [").append(category).append("] ");
    line.append(levelName(level)).append(": ").append(message);
    return line;
}

Log::Capture::Capture() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.captures.push_back(this);
}

Log::Capture::~Capture() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.captures.erase(std::remove(s.captures.begin(), s.captures.end(), this), s.captures.end());
}

std::vector<Log::Entry> Log::Capture::entries() const {
    std::lock_guard lock(state().mutex);
    return collected;
}

std::vector<Log::Entry> Log::Capture::entries(std::string_view category) const {
    std::lock_guard lock(state().mutex);
    std::vector<Entry> result;
    for (const auto& entry : collected) {
        if (entry.category == category) result.push_back(entry);
    }
    return result;
}

std::vector<std::string> Log::Capture::messages(std::string_view category) const {
    std::vector<std::string> found;
    for (const auto& entry : entries(category))
        found.push_back(entry.message);
    return found;
}

bool Log::Capture::contains(Level level, std::string_view category,
                            std::string_view message) const {
    std::lock_guard lock(state().mutex);
    return std::any_of(collected.begin(), collected.end(), [&](const Entry& entry) {
        return entry.level == level && entry.category == category && entry.message == message;
    });
}

} // namespace voxlane
