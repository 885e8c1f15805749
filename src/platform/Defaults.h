#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace voxlane {

// The user defaults: Boolean, number, data and dictionary values by key. A value stored under
// one type reads as absent under another.
//
// Minimal form: the in-memory store only.
class Defaults {
public:
    static Defaults inMemory() { return Defaults(); }

    std::optional<bool> boolean(const std::string& key) const;
    void setBoolean(const std::string& key, bool value);
    std::optional<double> number(const std::string& key) const;
    void setNumber(const std::string& key, double value);
    std::optional<std::string> data(const std::string& key) const;
    void setData(const std::string& key, std::string value);
    std::optional<nlohmann::json> dictionary(const std::string& key) const;
    void setDictionary(const std::string& key, nlohmann::json value);
    void remove(const std::string& key);

private:
    Defaults() = default;
    nlohmann::json values_ = nlohmann::json::object();
};

} // namespace voxlane
