// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/language.h"

#include <array>

namespace dm {

namespace {

const std::array<LanguageInfo, kLanguageCount> kLanguages{{
    {"System.ini", "English", "Eng", "", "English"},
    {"System_TC.ini", "TraditionalChinese", "TC", "0404", "繁體中文"},
    {"System_JPN.ini", "Japanese", "JPN", "0411", "日本語"},
    {"System_SC.ini", "SimpleChinese", "SC", "0804", "簡体中文"},
    {"System_TR.ini", "Turkish", "TR", "041f", "Türkçe"},
    {"System_RUS.ini", "Russian", "RUS", "0419", "Русский"},
}};

}  // namespace

const LanguageInfo& LanguageAt(int language) {
    if (language < 0 || language >= kLanguageCount) {
        return kLanguages[kEnglish];
    }
    return kLanguages[static_cast<std::size_t>(language)];
}

int LanguageForLocaleId(const QString& localeId) {
    for (int language = kEnglish + 1; language < kLanguageCount; ++language) {
        if (localeId == QLatin1String(kLanguages[static_cast<std::size_t>(language)].localeId)) {
            return language;
        }
    }
    return kEnglish;
}

}  // namespace dm
