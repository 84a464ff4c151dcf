// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Section Image_Envirnment of System.ini: the values read once at start-up.

#include <QString>

namespace dm {

class IniFile;

inline constexpr char kSystemIniName[] = "System.ini";
inline constexpr char kParametersSection[] = "Image_Envirnment";
inline constexpr char kLanguageModeKey[] = "LanguageMode";
inline constexpr char kLanguagePickedKey[] = "LanguagePicked";
inline constexpr int kLanguagePickedYes = 1;  // the value the menu stores

struct SystemParameters {
    int languageMode = 0;         // the language last picked in the Language menu
    bool languagePicked = false;  // languageMode outweighs the system locale at start-up
    QString iconFile;             // file name; replaced by its full path once loaded
    QString companyTitle;         // main window caption and the About dialog's product line
    QString versionInfo;          // shown after "Version  " in the About dialog
    QString startupBmp;           // picture shown in the live view at start-up
    QString smallLogo;            // the main window's logo
};

SystemParameters ReadSystemParameters(const IniFile& systemIni);

// A LanguageMode text as a language number; anything but a decimal 0..5 gives 0.
int ParseLanguageMode(const QString& text);

// A LanguagePicked text: only a decimal 1 means a language was picked.
bool ParseLanguagePicked(const QString& text);

}  // namespace dm
