// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <vector>

namespace voxlane {

// Finds the one entry a user means by a word typed on a command line or sent by a script: an
// application by its id or name, a device by its uid or name.
//
// In order: the exact key; then a key or name equal to the word without regard to case; then a
// name that begins with the word without regard to case. The first step that finds anything
// decides: one entry is the answer, several are ambiguous (and all of them are reported).
namespace NameMatch {

struct Entry {
    QString key;  // an id or uid: unique among the entries
    QString name; // what the user sees; may be shared
};

struct Result {
    enum class Kind { found, none, ambiguous };
    Kind kind = Kind::none;
    // The index of the entry found, or of every candidate when ambiguous (in entry order).
    std::vector<std::size_t> indices;
};

Result find(const std::vector<Entry>& entries, const QString& word);

} // namespace NameMatch
} // namespace voxlane
