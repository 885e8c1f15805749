// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TextCompare.h"

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
    return collate.compare(fa.data(), fa.data() + fa.size(), fb.data(), fb.data() + fb.size());
}

} // namespace voxlane
