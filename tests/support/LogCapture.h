#pragma once

#include "platform/Log.h"

#include <mutex>
#include <string>
#include <vector>

namespace voxlane::test {

// Collects every log message while alive (from any thread).
class LogCapture {
public:
    struct Entry {
        Log::Level level;
        std::string category;
        std::string message;
    };

    LogCapture() {
        Log::setSink([this](Log::Level level, std::string_view category, std::string_view message) {
            std::lock_guard lock(mutex_);
            entries_.push_back({level, std::string(category), std::string(message)});
        });
    }
    ~LogCapture() { Log::setSink({}); }

    std::vector<Entry> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    // Messages of one category, in order.
    std::vector<std::string> messages(const std::string& category) const {
        std::vector<std::string> found;
        for (const auto& e : entries())
            if (e.category == category) found.push_back(e.message);
        return found;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace voxlane::test
