#include "platform/Defaults.h"

#include "platform/Log.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace voxlane {

namespace {

constexpr std::string_view category = "defaults";

constexpr char base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += base64Alphabet[v >> 18 & 63];
        out += base64Alphabet[v >> 12 & 63];
        out += base64Alphabet[v >> 6 & 63];
        out += base64Alphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += base64Alphabet[v >> 18 & 63];
        out += base64Alphabet[v >> 12 & 63];
        out += rest == 2 ? base64Alphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

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

// RFC 3629 UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. This is what the JSON
// writer accepts in a string.
bool isUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t length;
        unsigned char low = 0x80, high = 0xbf;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            if (c == 0xe0) low = 0xa0;
            if (c == 0xed) high = 0x9f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            if (c == 0xf0) low = 0x90;
            if (c == 0xf4) high = 0x8f;
        } else {
            return false;
        }
        if (bytes.size() - i < length) return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < low || second > high) return false;
        for (std::size_t k = 2; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (next < 0x80 || next > 0xbf) return false;
        }
        i += length;
    }
    return true;
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

std::string errorText(int error) {
    return std::strerror(error);
}

enum class ReadResult { read, missing, failed };

ReadResult readFile(const std::filesystem::path& path, std::string& contents, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return error == ENOENT ? ReadResult::missing : ReadResult::failed;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            ::close(fd);
            return ReadResult::failed;
        }
        contents.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::read;
}

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

// Renames `path` to `<name>.corrupt-<timestamp>` (with a counter when that exists already).
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

} // namespace

std::unique_ptr<Defaults> Defaults::inMemory() {
    return std::unique_ptr<Defaults>(new Defaults);
}

std::unique_ptr<Defaults> Defaults::openFile(std::filesystem::path path) {
    auto defaults = std::unique_ptr<Defaults>(new Defaults);
    defaults->file = path;

    std::string contents;
    int error = 0;
    const auto result = readFile(path, contents, error);
    if (result == ReadResult::missing) return defaults;
    if (result == ReadResult::read) {
        if (auto parsed = parse(contents)) {
            defaults->entries = std::move(*parsed);
            return defaults;
        }
    }
    const std::string reason =
        result == ReadResult::failed ? errorText(error) : "kein gültiges JSON";
    if (const auto aside = moveAside(path, error)) {
        Log::error(category, "Einstellungsdatei " + path.string() + " unlesbar (" + reason +
                                 "), verschoben nach " + aside->string());
    } else {
        defaults->writable = false;
        Log::error(category, "Einstellungsdatei " + path.string() + " unlesbar (" + reason +
                                 ") und nicht verschiebbar (" + errorText(error) +
                                 "); Änderungen werden nicht gespeichert");
    }
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
    defaults->entries = std::move(*parsed);
    return defaults;
}

std::optional<Defaults::Entries> Defaults::parse(std::string_view text) {
    if (nestsDeeperThan(text, maxDepth)) return std::nullopt;
    auto document = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (!document.is_object()) return std::nullopt; // also a parse error (discarded)
    Entries parsed;
    for (auto& [key, value] : document.items())
        parsed.emplace(key, std::move(value));
    return parsed;
}

const nlohmann::json* Defaults::tagged(std::string_view key, std::string_view tag) const {
    const auto found = entries.find(key);
    if (found == entries.end()) return nullptr;
    const auto& entry = found->second;
    if (!entry.is_object() || entry.size() != 1) return nullptr;
    const auto value = entry.find(tag);
    return value == entry.end() ? nullptr : &*value;
}

std::optional<bool> Defaults::boolean(std::string_view key) const {
    const auto* value = tagged(key, "boolean");
    if (!value || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

void Defaults::setBoolean(std::string_view key, bool value) {
    store(key, nlohmann::json{{"boolean", value}});
}

std::optional<double> Defaults::number(std::string_view key) const {
    const auto* value = tagged(key, "number");
    if (!value || !value->is_number()) return std::nullopt;
    const double number = value->get<double>();
    if (!std::isfinite(number)) return std::nullopt;
    return number;
}

void Defaults::setNumber(std::string_view key, double value) {
    if (!std::isfinite(value)) {
        Log::error(category,
                   "Einstellung " + std::string(key) + " nicht gesetzt: Zahl ist nicht endlich");
        return;
    }
    store(key, nlohmann::json{{"number", value}});
}

std::optional<std::string> Defaults::data(std::string_view key) const {
    if (const auto* text = tagged(key, "data")) {
        if (!text->is_string()) return std::nullopt;
        return text->get<std::string>();
    }
    if (const auto* encoded = tagged(key, "base64")) {
        if (!encoded->is_string()) return std::nullopt;
        return base64Decode(encoded->get_ref<const std::string&>());
    }
    return std::nullopt;
}

void Defaults::setData(std::string_view key, std::string bytes) {
    if (isUtf8(bytes)) {
        store(key, nlohmann::json{{"data", std::move(bytes)}});
    } else {
        store(key, nlohmann::json{{"base64", base64Encode(bytes)}});
    }
}

std::optional<nlohmann::json> Defaults::dictionary(std::string_view key) const {
    const auto* value = tagged(key, "dictionary");
    if (!value || !value->is_object()) return std::nullopt;
    return *value;
}

void Defaults::setDictionary(std::string_view key, nlohmann::json object) {
    bool valid = object.is_object();
    if (valid) {
        try {
            (void)object.dump();
        } catch (const nlohmann::json::exception&) {
            valid = false; // text that is not UTF-8
        }
    }
    if (!valid) {
        Log::error(category,
                   "Einstellung " + std::string(key) + " nicht gesetzt: kein gültiges JSON-Objekt");
        return;
    }
    store(key, nlohmann::json{{"dictionary", std::move(object)}});
}

void Defaults::remove(std::string_view key) {
    const auto found = entries.find(key);
    if (found == entries.end()) return;
    entries.erase(found);
    save();
}

std::vector<std::string> Defaults::keys() const {
    std::vector<std::string> result;
    result.reserve(entries.size());
    for (const auto& entry : entries)
        result.push_back(entry.first);
    return result;
}

std::string Defaults::text() const {
    nlohmann::json document = nlohmann::json::object();
    for (const auto& [key, value] : entries)
        document[key] = value;
    return document.dump(2) + '\n';
}

void Defaults::store(std::string_view key, nlohmann::json value) {
    const auto found = entries.find(key);
    if (found != entries.end()) {
        found->second = std::move(value);
    } else {
        entries.emplace(std::string(key), std::move(value));
    }
    save();
}

void Defaults::save() {
    if (!file || !writable) return;
    const auto fail = [&](std::string_view step, int error) {
        Log::error(category, "Einstellungen nicht gespeichert (" + file->string() + ", " +
                                 std::string(step) + "): " + errorText(error));
    };

    std::filesystem::path directory = file->parent_path();
    if (directory.empty()) directory = ".";
    std::error_code created;
    std::filesystem::create_directories(directory, created);
    if (created) return fail("Verzeichnis anlegen", created.value());

    const std::string contents = text();
    std::string temporary = (directory / (file->filename().string() + ".tmp-XXXXXX")).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return fail("temporäre Datei anlegen", errno);

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
    if (!step && ::rename(temporary.c_str(), file->c_str()) != 0) {
        error = errno;
        step = "umbenennen";
    }
    if (step) {
        ::unlink(temporary.c_str());
        return fail(step, error);
    }

    // The rename is durable only once the directory is on disk.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return fail("Verzeichnis öffnen", errno);
    if (::fsync(dirFd) != 0) error = errno;
    ::close(dirFd);
    if (error != 0) fail("Verzeichnis fsync", error);
}

} // namespace voxlane
