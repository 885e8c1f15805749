// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace voxlane {

std::string translate(const char* context, const char* source, const char* disambiguation, int n) {
    return QCoreApplication::translate(context, source, disambiguation, n).toStdString();
}

namespace {

QString fromView(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

std::string arg(const std::string& text, std::string_view value) {
    return QString::fromStdString(text).arg(fromView(value)).toStdString();
}

std::string arg(const std::string& text, std::string_view first, std::string_view second) {
    return QString::fromStdString(text).arg(fromView(first), fromView(second)).toStdString();
}

Translations::Translations(const QLocale& locale) {
    auto english = std::make_unique<QTranslator>();
    if (english->load(QStringLiteral(":/i18n/voxlane_en.qm"))) install(std::move(english));
    auto own = std::make_unique<QTranslator>();
    if (own->load(locale, QStringLiteral("voxlane"), QStringLiteral("_"),
                  QStringLiteral(":/i18n")) &&
        own->language() != QLatin1String("en")) {
        language_ = own->language();
        install(std::move(own));
        // Qt's own texts (standard buttons, the text fields' menus) in the same language, where
        // the system has them.
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QLocale(language_), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            install(std::move(qt));
    }
}

Translations::~Translations() {
    for (const auto& translator : installed_)
        QCoreApplication::removeTranslator(translator.get());
}

bool Translations::install(std::unique_ptr<QTranslator> translator) {
    if (!QCoreApplication::installTranslator(translator.get())) return false;
    installed_.push_back(std::move(translator));
    return true;
}

} // namespace voxlane
