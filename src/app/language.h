// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The six languages of the window texts: where each one's texts live and which system
// locale selects it. Language numbers are what System.ini stores as LanguageMode.

#include <QString>

namespace dm {

inline constexpr int kLanguageCount = 6;
inline constexpr int kEnglish = 0;
inline constexpr int kTraditionalChinese = 1;
inline constexpr int kJapanese = 2;
inline constexpr int kSimplifiedChinese = 3;
inline constexpr int kTurkish = 4;
inline constexpr int kRussian = 5;

struct LanguageInfo {
    const char* fileName;     // language file in the start-up folder
    const char* section;      // section holding the texts
    const char* keyPrefix;    // "<prefix>_Message<n>", "<prefix>_Title"
    const char* localeId;     // system language identifier that selects it; English: none
    const char* menuCaption;  // caption of its Language menu item, the same in every language
};

// Language 0..5; any other number gives English.
const LanguageInfo& LanguageAt(int language);

// The language a system language identifier ("0411") selects: an exact, case-sensitive
// match against the table, English when nothing matches.
int LanguageForLocaleId(const QString& localeId);

}  // namespace dm
