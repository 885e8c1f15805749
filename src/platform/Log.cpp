#include "platform/Log.h"

#include "platform/AppIdentifier.h"

#include <cstdio>
#include <mutex>

namespace voxlane {

namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

Log::Sink& currentSink() {
    static Log::Sink sink;
    return sink;
}

void write(Log::Level level, std::string_view category, std::string_view message) {
    std::lock_guard lock(sinkMutex());
    if (auto& sink = currentSink()) {
        sink(level, category, message);
        return;
    }
    if (level == Log::Level::debug) return;
    std::fprintf(stderr, "%.*s [%.*s] %.*s\n", int(AppIdentifier.size()), AppIdentifier.data(),
                 int(category.size()), category.data(), int(message.size()), message.data());
}

} // namespace

void Log::debug(std::string_view category, std::string_view message) {
    write(Level::debug, category, message);
}
void Log::info(std::string_view category, std::string_view message) {
    write(Level::info, category, message);
}
void Log::notice(std::string_view category, std::string_view message) {
    write(Level::notice, category, message);
}
void Log::error(std::string_view category, std::string_view message) {
    write(Level::error, category, message);
}

void Log::setSink(Sink sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

} // namespace voxlane
