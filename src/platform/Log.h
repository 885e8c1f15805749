// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

// The system log. Every entry carries the subsystem `AppIdentifier`, a category naming the part
// of the program that wrote it ("engine", "tap", "permission", "mic", "defaults") and a level.
// Callers render their messages to plain text before handing them over.
//
// Where entries go:
//   - to every active `Log::Capture` (tests), and then nowhere else;
//   - otherwise to the process's sink: the systemd journal (SYSLOG_IDENTIFIER = `AppIdentifier`,
//     VOXLANE_CATEGORY = the category, PRIORITY = the level) or standard error, one line per
//     entry. VOXLANE_LOG=journal or VOXLANE_LOG=stderr decides; without it the journal is used
//     when standard error is not a terminal and the journal socket exists. An entry the journal
//     refuses goes to standard error.
// Debug entries are dropped unless VOXLANE_DEBUG=1 or a capture is active.
//
// Safe to call from any thread except the real-time audio thread (it locks and allocates).
class Log {
public:
    enum class Level { debug, info, notice, error };
    enum class Sink { standardError, journal };

    struct Entry {
        std::string category;
        Level level;
        std::string message;
        bool operator==(const Entry&) const = default;
    };

    static void error(std::string_view category, std::string_view message);
    static void info(std::string_view category, std::string_view message);
    // The "default" level of the system log.
    static void notice(std::string_view category, std::string_view message);
    static void debug(std::string_view category, std::string_view message);
    static void write(Level level, std::string_view category, std::string_view message);

    // Replaces the sink and debug choice made from the environment (command-line switches).
    static void configure(Sink sink, bool debugEnabled);

    // The choice made from the environment at the first entry. `override` is VOXLANE_LOG (may be
    // null); an unknown value counts as unset.
    static Sink chooseSink(const char* override, bool stderrIsTerminal, bool journalSocketExists);
    // VOXLANE_DEBUG: "1", "true", "yes" or "on" enable debug entries.
    static bool debugEnabled(const char* value);

    static std::string_view levelName(Level level);
    // The standard-error form of one entry, without the line break.
    static std::string formatLine(Level level, std::string_view category, std::string_view message);

    // Collects every entry written while it lives, from any thread. Captures may nest; each
    // active one receives every entry.
    class Capture {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        std::vector<Entry> entries() const;
        // Entries of one category, in the order they were written.
        std::vector<Entry> entries(std::string_view category) const;
        // The messages of one category, in order.
        std::vector<std::string> messages(std::string_view category) const;
        bool contains(Level level, std::string_view category, std::string_view message) const;

    private:
        friend class Log;
        std::vector<Entry> collected;
    };
};

} // namespace voxlane
