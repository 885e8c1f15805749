// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Defaults.h"

#include "platform/Log.h"
#include "platform/RegularFile.h"
#include "platform/Scheduler.h"
#include "platform/SettingsFile.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace voxlane {

namespace {

constexpr std::string_view category = "defaults";

// The first layout's base64 form of data that was not UTF-8 text.
int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

std::optional<std::string> base64Decode(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int padding = 0;
        unsigned v = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            if (c == '=' && last && j >= 2 && (j == 3 || text[i + 3] == '=')) {
                ++padding;
                v <<= 6;
                continue;
            }
            const int digit = base64Value(c);
            if (digit < 0 || padding > 0) return std::nullopt;
            v = v << 6 | static_cast<unsigned>(digit);
        }
        out += static_cast<char>(v >> 16 & 0xff);
        if (padding < 2) out += static_cast<char>(v >> 8 & 0xff);
        if (padding < 1) out += static_cast<char>(v & 0xff);
    }
    return out;
}

// Whether arrays and objects in `text` nest deeper than `limit`. Deep nesting would exhaust the
// stack when the value is written out or compared.
bool nestsDeeperThan(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

// Why `value` cannot be stored, if it cannot.
std::optional<std::string> unstorable(const nlohmann::json& value, int depth) {
    if (depth > Defaults::maxDepth) return "zu tief verschachtelt";
    if (value.is_number_float() && !std::isfinite(value.get<double>())) {
        return "Zahl ist nicht endlich";
    }
    if (value.is_string() && !Utf8::isValid(value.get_ref<const std::string&>())) {
        return "Text ist kein UTF-8";
    }
    if (value.is_object()) {
        for (const auto& [key, member] : value.items()) {
            if (!Utf8::isValid(key)) return "Text ist kein UTF-8";
            if (auto reason = unstorable(member, depth + 1)) return reason;
        }
    } else if (value.is_array()) {
        for (const auto& element : value) {
            if (auto reason = unstorable(element, depth + 1)) return reason;
        }
    }
    return std::nullopt;
}

// JSON text as a value, when it is JSON within the depth limit.
std::optional<nlohmann::json> parsedText(std::string_view text) {
    if (nestsDeeperThan(text, Defaults::maxDepth)) return std::nullopt;
    auto value = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

// One entry of the first layout in the new one; unknown shapes stay as they are.
nlohmann::json converted(nlohmann::json entry) {
    if (!entry.is_object() || entry.size() != 1) return entry;
    const std::string tag = entry.begin().key();
    const nlohmann::json inner = entry.begin().value();
    if ((tag == "boolean" && inner.is_boolean()) || (tag == "number" && inner.is_number()) ||
        (tag == "dictionary" && inner.is_object())) {
        return inner;
    }
    if (tag == "data" && inner.is_string()) {
        const auto& text = inner.get_ref<const std::string&>();
        // Structured values were JSON text; text that is not JSON stays text, so its reader
        // can set it aside.
        if (auto value = parsedText(text)) return *value;
        return inner;
    }
    if (tag == "base64" && inner.is_string()) {
        const auto bytes = base64Decode(inner.get_ref<const std::string&>());
        if (bytes && Utf8::isValid(*bytes)) {
            if (auto value = parsedText(*bytes)) return *value;
            return *bytes;
        }
    }
    return entry;
}

} // namespace

// The thread that writes the file for a store opened with a scheduler. It holds the latest text
// handed to it; texts handed over while it writes replace each other, so it never falls behind.
class Defaults::Writer {
public:
    // Called on the worker with the log's message, or none, after each write.
    using Result = std::function<void(std::optional<std::string> failure)>;

    Writer(std::filesystem::path file, Result onResult)
        : file_(std::move(file)), onResult_(std::move(onResult)) {}

    ~Writer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void submit(std::string text) {
        {
            std::lock_guard lock(mutex_);
            next_ = std::move(text);
            ++submitted_;
            if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
        }
        changed_.notify_all();
    }

    // Until everything submitted so far is written (or failed).
    void waitIdle() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return finished_ >= submitted_; });
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return next_ || stop_; });
            if (!next_) return; // stopping with nothing left to write
            std::string text = std::move(*next_);
            next_.reset();
            const std::uint64_t generation = submitted_;
            lock.unlock();
            onResult_(SettingsFile::write(file_, text, maxFileSize));
            lock.lock();
            finished_ = generation;
            changed_.notify_all();
        }
    }

    const std::filesystem::path file_;
    const Result onResult_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<std::string> next_;
    std::uint64_t submitted_ = 0;
    std::uint64_t finished_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

Defaults::Defaults() : self_(std::make_shared<Defaults*>(this)) {}

Defaults::~Defaults() {
    flush();
    writer_.reset();
}

std::unique_ptr<Defaults> Defaults::inMemory() {
    return std::unique_ptr<Defaults>(new Defaults);
}

std::unique_ptr<Defaults> Defaults::openFile(std::filesystem::path path) {
    return open(std::move(path), nullptr);
}

std::unique_ptr<Defaults> Defaults::openFile(std::filesystem::path path, Scheduler& scheduler) {
    return open(std::move(path), &scheduler);
}

std::unique_ptr<Defaults> Defaults::open(std::filesystem::path path, Scheduler* scheduler) {
    auto defaults = std::unique_ptr<Defaults>(new Defaults);
    defaults->file_ = path;
    defaults->scheduler_ = scheduler;
    if (scheduler) {
        std::weak_ptr<Defaults*> weak = defaults->self_;
        defaults->writer_ =
            std::make_unique<Writer>(path, [scheduler, weak](std::optional<std::string> failure) {
                if (failure) Log::error(category, *failure);
                scheduler->async([weak, failure = std::move(failure)] {
                    if (auto self = weak.lock()) (*self)->report(failure);
                });
            });
    }
    SettingsFile::removeLeftovers(SettingsFile::linkTarget(path));

    const auto read = RegularFile::read(path, maxFileSize);
    if (read.status == RegularFile::Read::Status::missing) return defaults;
    bool convertedLayout = false;
    if (read.ok()) {
        if (auto parsed = parse(read.contents, &convertedLayout)) {
            defaults->entries_ = std::move(*parsed);
            if (convertedLayout) {
                Log::info(category,
                          "Einstellungsdatei " + path.string() + " ins neue Format übertragen");
                defaults->changed();
            }
            return defaults;
        }
    }
    const std::string reason = read.ok() ? "kein gültiges JSON" : read.reason();
    int error = 0;
    if (const auto aside = SettingsFile::moveAside(path, error)) {
        Log::error(category, "Einstellungsdatei " + path.string() + " unlesbar (" + reason +
                                 "), verschoben nach " + aside->string());
    } else {
        defaults->writable_ = false;
        Log::error(category, "Einstellungsdatei " + path.string() + " unlesbar (" + reason +
                                 ") und nicht verschiebbar (" + std::strerror(error) +
                                 "); Änderungen werden nicht gespeichert");
    }
    return defaults;
}

std::unique_ptr<Defaults> Defaults::readOnlyCopy(const std::filesystem::path& path) {
    auto defaults = inMemory();
    const auto read = RegularFile::read(path, maxFileSize);
    if (read.status == RegularFile::Read::Status::missing) return defaults;
    if (read.ok()) {
        if (auto parsed = parse(read.contents)) {
            defaults->entries_ = std::move(*parsed);
            return defaults;
        }
    }
    Log::error(category, "Einstellungsdatei " + path.string() + " unlesbar (" +
                             (read.ok() ? "kein gültiges JSON" : read.reason()) +
                             "); es gelten die Standardwerte");
    return defaults;
}

std::filesystem::path Defaults::defaultPath() {
    std::filesystem::path config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry && entry->pw_dir ? entry->pw_dir : "/";
        }
        config = std::filesystem::path(home) / ".config";
    }
    return config / "voxlane" / "defaults.json";
}

std::unique_ptr<Defaults> Defaults::fromText(std::string_view text) {
    auto parsed = parse(text);
    if (!parsed) return nullptr;
    auto defaults = inMemory();
    defaults->entries_ = std::move(*parsed);
    return defaults;
}

std::optional<Defaults::Entries> Defaults::parse(std::string_view text, bool* convertedLayout) {
    auto document = parsedText(text);
    if (!document || !document->is_object()) return std::nullopt;
    const auto format = document->find(formatKey);
    const bool firstLayout = format == document->end() || !format->is_number();
    if (format != document->end()) document->erase(format);
    if (convertedLayout) *convertedLayout = firstLayout;
    Entries parsed;
    for (auto& [key, value] : document->items()) {
        parsed.emplace(key, firstLayout ? converted(std::move(value)) : std::move(value));
    }
    return parsed;
}

const nlohmann::json* Defaults::value(std::string_view key) const {
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
}

std::optional<bool> Defaults::boolean(std::string_view key) const {
    const auto* stored = value(key);
    if (!stored || !stored->is_boolean()) return std::nullopt;
    return stored->get<bool>();
}

void Defaults::setBoolean(std::string_view key, bool value) {
    store(key, value);
}

std::optional<double> Defaults::number(std::string_view key) const {
    const auto* stored = value(key);
    if (!stored || !stored->is_number()) return std::nullopt;
    const double number = stored->get<double>();
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

void Defaults::setNumber(std::string_view key, double value) {
    if (!std::isfinite(value)) {
        Log::error(category,
                   "Einstellung " + std::string(key) + " nicht gesetzt: Zahl ist nicht endlich");
        return;
    }
    store(key, value);
}

std::optional<nlohmann::json> Defaults::dictionary(std::string_view key) const {
    const auto* stored = value(key);
    if (!stored || !stored->is_object()) return std::nullopt;
    return *stored;
}

bool Defaults::setDictionary(std::string_view key, nlohmann::json object) {
    if (!object.is_object()) {
        Log::error(category, "Einstellung " + std::string(key) + " nicht gesetzt: kein Objekt");
        return false;
    }
    return setValue(key, std::move(object));
}

bool Defaults::setValue(std::string_view key, nlohmann::json value) {
    if (auto reason = Utf8::isValid(key) ? unstorable(value, 0) : "Name ist kein UTF-8") {
        Log::error(category, "Einstellung " + Utf8::valid(key) + " nicht gesetzt: " + *reason);
        return false;
    }
    store(key, std::move(value));
    return true;
}

void Defaults::remove(std::string_view key) {
    const auto found = entries_.find(key);
    if (found == entries_.end()) return;
    entries_.erase(found);
    changed();
}

void Defaults::keepUnreadable(std::string_view key, nlohmann::json record,
                              std::string_view reason) {
    Log::error(category, "Unlesbarer Eintrag in " + std::string(key) + " übersprungen (" +
                             std::string(reason) + "), aufbewahrt unter \"" + unreadableKey + "\"");
    nlohmann::json area = entries_.count(unreadableKey) ? entries_.find(unreadableKey)->second
                                                        : nlohmann::json::object();
    // A hand-made entry of another shape is kept inside the new one.
    if (!area.is_object()) area = nlohmann::json{{unreadableKey, nlohmann::json::array({area})}};
    auto& list = area[std::string(key)];
    if (!list.is_array()) {
        nlohmann::json earlier = std::move(list);
        list = nlohmann::json::array();
        if (!earlier.is_null()) list.push_back(std::move(earlier));
    }
    if (std::find(list.begin(), list.end(), record) != list.end()) return;
    list.push_back(std::move(record));
    store(unreadableKey, std::move(area));
}

std::vector<std::string> Defaults::keys() const {
    std::vector<std::string> result;
    result.reserve(entries_.size());
    for (const auto& entry : entries_)
        result.push_back(entry.first);
    return result;
}

std::string Defaults::text() const {
    nlohmann::json document = nlohmann::json::object();
    document[formatKey] = fileFormat;
    for (const auto& [key, value] : entries_)
        document[key] = value;
    return document.dump(2) + '\n';
}

void Defaults::store(std::string_view key, nlohmann::json value) {
    const auto found = entries_.find(key);
    if (found != entries_.end()) {
        if (found->second == value) return;
        found->second = std::move(value);
    } else {
        entries_.emplace(std::string(key), std::move(value));
    }
    changed();
}

void Defaults::changed() {
    if (!file_ || !writable_) return;
    dirty_ = true;
    if (!scheduler_) {
        submit();
        return;
    }
    if (writeTimer_) return; // the write already waiting takes this change along
    writeTimer_ = scheduler_->asyncAfter(writeDelay, [weak = std::weak_ptr<Defaults*>(self_)] {
        auto self = weak.lock();
        if (!self) return;
        (*self)->writeTimer_.reset();
        (*self)->submit();
    });
}

void Defaults::submit() {
    if (!dirty_) return;
    dirty_ = false;
    ++saves_;
    if (writer_) {
        writer_->submit(text());
        return;
    }
    auto failure = SettingsFile::write(*file_, text(), maxFileSize);
    if (failure) Log::error(category, *failure);
    report(std::move(failure));
}

void Defaults::report(SaveResult result) {
    const bool failed = result.has_value();
    if (!failed && !lastSaveFailed_) return;
    lastSaveFailed_ = failed;
    saveResults_.notify(result);
}

void Defaults::flush() {
    if (writeTimer_) {
        writeTimer_->cancel();
        writeTimer_.reset();
    }
    submit();
    if (writer_) writer_->waitIdle();
}

Subscription Defaults::observeSaveResults(std::function<void(const SaveResult&)> handler) {
    return saveResults_.subscribe(std::move(handler));
}

} // namespace voxlane
