// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TextCompare.h"

#include <algorithm>
#include <locale>
#include <stdexcept>
#include <string>

namespace voxlane {
namespace {

const std::locale& userLocale() {
    static const std::locale locale = [] {
        try {
            return std::locale("");
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    return locale;
}

// Decodes UTF-8 leniently (a malformed byte stands for itself) and lowers the case.
std::wstring folded(std::string_view text, const std::locale& locale) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = lead < 0x80 || (lead >= 0xC2 && lead < 0xF5 && i + extra < text.size());
        for (int k = 1; valid && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            cp = lead;
            extra = 0;
        }
        out.push_back(std::tolower(static_cast<wchar_t>(cp), locale));
        i += 1 + extra;
    }
    return out;
}

} // namespace

int localizedCaseInsensitiveCompare(std::string_view a, std::string_view b) {
    const std::locale& locale = userLocale();
    const std::wstring fa = folded(a, locale), fb = folded(b, locale);
    const auto& collate = std::use_facet<std::collate<wchar_t>>(locale);
    const auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    // A run of digits, or of anything else, from `i` on.
    const auto run = [&](const std::wstring& text, std::size_t i) {
        std::size_t end = i;
        const bool digits = isDigit(text[i]);
        while (end < text.size() && isDigit(text[end]) == digits)
            ++end;
        return std::wstring_view(text).substr(i, end - i);
    };
    std::size_t i = 0, j = 0;
    while (i < fa.size() && j < fb.size()) {
        const std::wstring_view ra = run(fa, i), rb = run(fb, j);
        i += ra.size();
        j += rb.size();
        if (isDigit(ra.front()) && isDigit(rb.front())) {
            // By value: without leading zeros, the longer number is the larger.
            const auto value = [](std::wstring_view digits) {
                return digits.substr(std::min(digits.find_first_not_of(L'0'), digits.size()));
            };
            const std::wstring_view va = value(ra), vb = value(rb);
            if (va.size() != vb.size()) return va.size() < vb.size() ? -1 : 1;
            if (const int order = va.compare(vb)) return order;
            continue;
        }
        if (const int order =
                collate.compare(ra.data(), ra.data() + ra.size(), rb.data(), rb.data() + rb.size()))
            return order;
    }
    if (i < fa.size()) return 1;
    if (j < fb.size()) return -1;
    return collate.compare(fa.data(), fa.data() + fa.size(), fb.data(), fb.data() + fb.size());
}

} // namespace voxlane
