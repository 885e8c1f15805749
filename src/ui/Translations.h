// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace voxlane {

// A text outside a QObject class (the rules, the tables of texts), in the user's language.
// Written translate("Context", "Source") with literals so that lupdate finds it; `n` picks the
// plural form of a text with "%n" and stands in for it.
std::string translate(const char* context, const char* source, const char* disambiguation = nullptr,
                      int n = -1);
// `text` with its place markers %1 (and %2) filled in, in one go as QString::arg does: a value
// that itself holds "%2" stays as it is.
std::string arg(const std::string& text, std::string_view value);
std::string arg(const std::string& text, std::string_view first, std::string_view second);

// Qt's and Voxlane's translations for a locale, installed into the application while this lives.
// Voxlane's English plural forms ("1 silent app") always come first; on top of them the first
// of the locale's languages (LANGUAGE, LC_ALL, LC_MESSAGES, LANG for QLocale::system()) that
// Voxlane has, and Qt's own texts for it where they are installed. The .qm files are compiled
// into the program (:/i18n).
class Translations {
public:
    explicit Translations(const QLocale& locale);
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

    // The language Voxlane shows: "de", or "en" for its own English.
    QString language() const { return language_; }

private:
    bool install(std::unique_ptr<QTranslator> translator);

    std::vector<std::unique_ptr<QTranslator>> installed_;
    QString language_ = QStringLiteral("en");
};

} // namespace voxlane
