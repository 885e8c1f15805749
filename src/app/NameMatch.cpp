// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/NameMatch.h"

namespace voxlane::NameMatch {
namespace {

Result decide(std::vector<std::size_t> indices) {
    Result result;
    result.indices = std::move(indices);
    if (result.indices.size() == 1) {
        result.kind = Result::Kind::found;
    } else if (result.indices.size() > 1) {
        result.kind = Result::Kind::ambiguous;
    }
    return result;
}

} // namespace

Result find(const std::vector<Entry>& entries, const QString& word) {
    if (word.isEmpty()) return {};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].key == word) return decide({i});
    }
    const QString folded = word.toCaseFolded();
    std::vector<std::size_t> equal, prefix;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QString name = entries[i].name.toCaseFolded();
        if (name == folded || entries[i].key.toCaseFolded() == folded) {
            equal.push_back(i);
        } else if (name.startsWith(folded)) {
            prefix.push_back(i);
        }
    }
    return decide(equal.empty() ? std::move(prefix) : std::move(equal));
}

} // namespace voxlane::NameMatch
