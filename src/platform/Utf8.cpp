// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Utf8.h"

namespace voxlane::Utf8 {
namespace {

// The length of the valid sequence at the start of `bytes`, or 0.
std::size_t sequenceLength(std::string_view bytes) {
    const auto c = static_cast<unsigned char>(bytes[0]);
    if (c < 0x80) return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xbf;
    if (c >= 0xc2 && c <= 0xdf) {
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
        return 0;
    }
    if (bytes.size() < length) return 0;
    const auto second = static_cast<unsigned char>(bytes[1]);
    if (second < low || second > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        const auto next = static_cast<unsigned char>(bytes[k]);
        if (next < 0x80 || next > 0xbf) return 0;
    }
    return length;
}

} // namespace

bool isValid(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t length = sequenceLength(bytes);
        if (length == 0) return false;
        bytes.remove_prefix(length);
    }
    return true;
}

std::string valid(std::string_view bytes) {
    if (isValid(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 8);
    while (!bytes.empty()) {
        const std::size_t length = sequenceLength(bytes);
        if (length == 0) {
            out += "\xef\xbf\xbd"; // U+FFFD
            bytes.remove_prefix(1);
        } else {
            out.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return out;
}

} // namespace voxlane::Utf8
