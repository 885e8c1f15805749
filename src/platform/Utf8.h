// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace voxlane {

// Text from outside (process names cut at 15 bytes, desktop entries, the audio server's
// properties, hand-edited files) may hold bytes that are not UTF-8. Everything that reaches JSON,
// the log or a view goes through `Utf8::valid` first.
namespace Utf8 {

// RFC 3629 UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValid(std::string_view bytes);
// `bytes` with every byte that does not start or continue a valid sequence replaced by U+FFFD.
// The same input always gives the same text, so an id made from it is stable from run to run.
std::string valid(std::string_view bytes);

} // namespace Utf8
} // namespace voxlane
