// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/system_language.h"

#include <array>

#ifdef _WIN32
#include <windows.h>
#endif

#include <QByteArray>

namespace dm {

namespace {

constexpr const char* kEnglishLocaleId = "0409";

struct PosixMapping {
    const char* language;   // ISO 639 code
    const char* territory;  // ISO 3166 code, or nullptr for any
    const char* localeId;
};

// Checked in order: the Chinese scripts follow the territory, plain "zh" is simplified.
constexpr std::array<PosixMapping, 7> kPosixMappings{{
    {"zh", "TW", "0404"},
    {"zh", "HK", "0404"},
    {"zh", "MO", "0404"},
    {"zh", nullptr, "0804"},
    {"ja", nullptr, "0411"},
    {"tr", nullptr, "041f"},
    {"ru", nullptr, "0419"},
}};

#ifndef _WIN32
QString FirstSetLocaleVariable() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty()) {
            return QString::fromLocal8Bit(value);
        }
    }
    return {};
}
#endif

}  // namespace

QString LocaleIdForPosixLocale(const QString& localeName) {
    // language[_territory][.codeset][@modifier]
    QString name = localeName.section(u'.', 0, 0).section(u'@', 0, 0);
    const QString language = name.section(u'_', 0, 0).toLower();
    const QString territory = name.section(u'_', 1, 1).toUpper();
    for (const PosixMapping& mapping : kPosixMappings) {
        if (language != QLatin1String(mapping.language)) {
            continue;
        }
        if (mapping.territory == nullptr || territory == QLatin1String(mapping.territory)) {
            return QString::fromLatin1(mapping.localeId);
        }
    }
    return QString::fromLatin1(kEnglishLocaleId);
}

QString SystemLanguageId() {
#ifdef _WIN32
    const LCID locale = GetSystemDefaultLCID();
    const int length = GetLocaleInfoA(locale, LOCALE_ILANGUAGE, nullptr, 0);
    if (length <= 0) {
        return QString::fromLatin1(kEnglishLocaleId);
    }
    QByteArray buffer(length, '\0');
    GetLocaleInfoA(locale, LOCALE_ILANGUAGE, buffer.data(), length);
    return QString::fromLatin1(buffer.constData());
#else
    return LocaleIdForPosixLocale(FirstSetLocaleVariable());
#endif
}

}  // namespace dm
