#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace voxlane {

// The system log under the subsystem AppIdentifier, one category per source ("tap",
// "permission", "engine", "mic"). Messages are final text (formats already rendered).
// Thread-safe.
//
// Minimal form: writes to stderr, and to a sink a test may install.
class Log {
public:
    enum class Level { debug, info, notice, error };
    using Sink = std::function<void(Level, std::string_view category, std::string_view message)>;

    static void debug(std::string_view category, std::string_view message);
    static void info(std::string_view category, std::string_view message);
    static void notice(std::string_view category, std::string_view message);
    static void error(std::string_view category, std::string_view message);

    // Replaces where messages go (an empty sink restores stderr).
    static void setSink(Sink sink);
};

} // namespace voxlane
