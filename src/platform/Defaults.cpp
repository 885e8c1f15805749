#include "platform/Defaults.h"

namespace voxlane {

namespace {
// Data values are kept tagged so that they never read as another type.
constexpr const char* dataTag = "data";
} // namespace

std::optional<bool> Defaults::boolean(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end() || !it->is_boolean()) return std::nullopt;
    return it->get<bool>();
}

void Defaults::setBoolean(const std::string& key, bool value) {
    values_[key] = value;
}

std::optional<double> Defaults::number(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end() || !it->is_number()) return std::nullopt;
    return it->get<double>();
}

void Defaults::setNumber(const std::string& key, double value) {
    values_[key] = value;
}

std::optional<std::string> Defaults::data(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end() || !it->is_array() || it->size() != 2 || (*it)[0] != dataTag ||
        !(*it)[1].is_string())
        return std::nullopt;
    return (*it)[1].get<std::string>();
}

void Defaults::setData(const std::string& key, std::string value) {
    values_[key] = nlohmann::json::array({dataTag, std::move(value)});
}

std::optional<nlohmann::json> Defaults::dictionary(const std::string& key) const {
    auto it = values_.find(key);
    if (it == values_.end() || !it->is_object()) return std::nullopt;
    return *it;
}

void Defaults::setDictionary(const std::string& key, nlohmann::json value) {
    if (value.is_object()) values_[key] = std::move(value);
}

void Defaults::remove(const std::string& key) {
    values_.erase(key);
}

} // namespace voxlane
