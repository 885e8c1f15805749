#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

// The user defaults: Boolean, number, data and dictionary values by key.
//
// A file-backed store reads its JSON file once when opened and writes the whole file again on
// every change, atomically: a temporary file in the same directory, fsync, rename over the old
// file, fsync of the directory. A write that fails leaves the old file as it was and is logged
// (category "defaults"); the value stays set in memory for the rest of the run. A file that
// cannot be read or parsed is moved aside to `<name>.corrupt-<UTC timestamp>`, logged, and the
// store starts empty; if it cannot be moved, the store keeps its changes in memory only, so the
// old file is never overwritten.
//
// The file is one JSON object from key to a tagged value:
//   {"duckingEnabled": {"boolean": true},
//    "duckLevel":      {"number": 0.25},
//    "appSettings":    {"data": "{\"firefox\":{…}}"},     data that is valid UTF-8, as text
//    "blob":           {"base64": "AAEC/w=="},            any other data
//    "softVolumeLevels": {"dictionary": {"speakers": 0.5}}}
// Entries of another shape (a newer version's) are kept and written back unchanged, and read as
// absent. Arrays and objects nested deeper than `maxDepth` make the file corrupt.
//
// A getter finds a value only when it has the getter's type; any other value reads as absent.
// Not thread-safe: used on the main thread only.
class Defaults {
public:
    static constexpr int maxDepth = 128;

    static std::unique_ptr<Defaults> inMemory();
    static std::unique_ptr<Defaults> openFile(std::filesystem::path path);
    // $XDG_CONFIG_HOME/voxlane/defaults.json; ~/.config/voxlane/defaults.json when
    // XDG_CONFIG_HOME is unset, empty or relative.
    static std::filesystem::path defaultPath();

    // An in-memory store holding what `text` (the file form) holds; none when `text` is not a
    // valid defaults file. The file reader's core, without the file.
    static std::unique_ptr<Defaults> fromText(std::string_view text);

    std::optional<bool> boolean(std::string_view key) const;
    void setBoolean(std::string_view key, bool value);

    // Numbers must be finite; a NaN or infinity is refused (logged, the stored value stays).
    std::optional<double> number(std::string_view key) const;
    void setNumber(std::string_view key, double value);

    // Opaque bytes.
    std::optional<std::string> data(std::string_view key) const;
    void setData(std::string_view key, std::string bytes);

    // A JSON object. Anything else, or an object holding text that is not UTF-8, is refused
    // (logged, the stored value stays).
    std::optional<nlohmann::json> dictionary(std::string_view key) const;
    void setDictionary(std::string_view key, nlohmann::json object);

    void remove(std::string_view key);

    // Every stored key, sorted, including those of unknown shape.
    std::vector<std::string> keys() const;
    // The file form of the whole store.
    std::string text() const;
    // The file behind the store; none for an in-memory store.
    const std::optional<std::filesystem::path>& path() const { return file; }

private:
    using Entries = std::map<std::string, nlohmann::json, std::less<>>;

    Defaults() = default;
    static std::optional<Entries> parse(std::string_view text);
    const nlohmann::json* tagged(std::string_view key, std::string_view tag) const;
    void store(std::string_view key, nlohmann::json value);
    void save();

    Entries entries;
    std::optional<std::filesystem::path> file;
    // False after a corrupt file could not be moved aside: it must not be overwritten.
    bool writable = true;
};

} // namespace voxlane
