// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ObserverList.h"
#include "platform/WorkItem.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

class Scheduler;

// The user defaults: Boolean, number and structured (JSON) values by key.
//
// The file is one JSON object from key to value, the values plain JSON:
//   {"fileFormat": 2,
//    "duckingEnabled": true,
//    "duckLevel": 0.25,
//    "appSettings": {"firefox": {"volume": 0.5, "muted": false, "eq": {…}}},
//    "softVolumeLevels": {"speakers": 0.5},
//    "unreadable": {"appSettings": [{"firefox": {"muted": "yes"}}]}}
// A file without "fileFormat" is of the first layout, in which every value was tagged
// ({"boolean": true}, {"number": 0.25}, {"dictionary": {…}}) and structured values were JSON
// text inside a string ({"data": "{…}"}); it is read, converted, and written in the new layout.
// Entries of a shape nobody asks for are kept and written back unchanged.
//
// Records that their reader cannot decode are set aside under "unreadable" by `keepUnreadable`,
// so that no save ever loses what could not be read.
//
// Only a regular file (or a symbolic link to one, which is then written through) is read, and
// only up to `maxFileSize`: a FIFO, a device, anything larger or anything that does not parse is
// moved aside to `<name>.corrupt-<UTC timestamp>`, logged (category "defaults"), and the store
// starts empty; if it cannot be moved, changes are kept in memory only, so it is never
// overwritten. Temporary files that interrupted saves left beside the file are removed at open.
//
// Writes are atomic: a temporary file in the same directory, fsync, rename over the old file,
// fsync of the directory. A store opened with a scheduler writes at most once per `writeDelay`
// (the first change starts the delay, later ones join it) and does the writing on a worker
// thread; `flush()` writes what is pending and waits for it. A store opened without one writes
// at once on the calling thread. A write that fails leaves the old file as it was, is logged and
// reported to the save-failure observers; the value stays set in memory for the rest of the run.
//
// A getter finds a value only when it has the getter's type; any other value reads as absent.
// Used on the main thread only (the worker touches nothing of it but the text it was handed).
class Defaults {
public:
    static constexpr int maxDepth = 128;
    static constexpr std::size_t maxFileSize = std::size_t{16} << 20;
    static constexpr double writeDelay = 0.5;
    static constexpr int fileFormat = 2;
    static constexpr const char* formatKey = "fileFormat";
    static constexpr const char* unreadableKey = "unreadable";

    ~Defaults();
    Defaults(const Defaults&) = delete;
    Defaults& operator=(const Defaults&) = delete;

    static std::unique_ptr<Defaults> inMemory();
    // Every change is written at once.
    static std::unique_ptr<Defaults> openFile(std::filesystem::path path);
    // Changes are coalesced through `scheduler` (which must outlive the store) and written on a
    // worker thread.
    static std::unique_ptr<Defaults> openFile(std::filesystem::path path, Scheduler& scheduler);
    // An in-memory store holding what the file holds, read as `openFile` reads it but without
    // moving anything aside, removing anything or ever writing. Empty when the file cannot be
    // read (logged).
    static std::unique_ptr<Defaults> readOnlyCopy(const std::filesystem::path& path);
    // $XDG_CONFIG_HOME/voxlane/defaults.json; ~/.config/voxlane/defaults.json when
    // XDG_CONFIG_HOME is unset, empty or relative.
    static std::filesystem::path defaultPath();

    // An in-memory store holding what `text` (the file form, either layout) holds; none when
    // `text` is not a valid defaults file. The file reader's core, without the file.
    static std::unique_ptr<Defaults> fromText(std::string_view text);

    std::optional<bool> boolean(std::string_view key) const;
    void setBoolean(std::string_view key, bool value);

    // Numbers must be finite; a NaN or infinity is refused (logged, the stored value stays).
    std::optional<double> number(std::string_view key) const;
    void setNumber(std::string_view key, double value);

    // A JSON object.
    std::optional<nlohmann::json> dictionary(std::string_view key) const;
    // Refuses (logs, keeps the stored value, returns false) anything but an object.
    bool setDictionary(std::string_view key, nlohmann::json object);

    // Any stored value; null when there is none.
    const nlohmann::json* value(std::string_view key) const;
    // Refuses (logs, keeps the stored value, returns false) text that is not UTF-8, numbers
    // that are not finite and nesting deeper than `maxDepth`.
    bool setValue(std::string_view key, nlohmann::json value);

    void remove(std::string_view key);

    // Sets `record` aside under "unreadable" → `key` (once: an equal record already kept is not
    // added again) and logs that it was skipped and why.
    void keepUnreadable(std::string_view key, nlohmann::json record, std::string_view reason);

    // Every stored key, sorted, including those of unknown shape.
    std::vector<std::string> keys() const;
    // The file form of the whole store.
    std::string text() const;
    // The file behind the store; none for an in-memory store.
    const std::optional<std::filesystem::path>& path() const { return file_; }

    // Writes a pending change now and waits until it is on disk.
    void flush();
    // Called on the main thread with the log's message after a write failed, and with none
    // after the first write that succeeded again.
    using SaveResult = std::optional<std::string>;
    [[nodiscard]] Subscription observeSaveResults(std::function<void(const SaveResult&)> handler);
    // Saves started so far: each hands the whole file to be written. (Saves that queue up
    // behind a slow disk are folded into one write of the latest.)
    std::size_t saveCount() const { return saves_; }

private:
    class Writer;
    using Entries = std::map<std::string, nlohmann::json, std::less<>>;

    Defaults();
    static std::unique_ptr<Defaults> open(std::filesystem::path path, Scheduler* scheduler);
    // The entries of `text`, converted from the first layout when needed (`converted` then).
    static std::optional<Entries> parse(std::string_view text, bool* converted = nullptr);
    void store(std::string_view key, nlohmann::json value);
    void changed();
    void submit();
    void report(SaveResult result);

    Entries entries_;
    std::optional<std::filesystem::path> file_;
    // False after a bad file could not be moved aside: it must not be overwritten.
    bool writable_ = true;
    Scheduler* scheduler_ = nullptr;
    bool dirty_ = false;
    WorkItemRef writeTimer_;
    std::size_t saves_ = 0;
    ObserverList<SaveResult> saveResults_;
    bool lastSaveFailed_ = false;
    std::shared_ptr<Defaults*> self_;
    std::unique_ptr<Writer> writer_;
};

} // namespace voxlane
