// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/system_parameters.h"

#include "app/ini_file.h"
#include "app/language.h"

namespace dm {

SystemParameters ReadSystemParameters(const IniFile& systemIni) {
    const QString section = QString::fromLatin1(kParametersSection);
    SystemParameters parameters;
    parameters.languageMode =
        ParseLanguageMode(systemIni.Value(section, QString::fromLatin1(kLanguageModeKey)));
    parameters.languagePicked =
        ParseLanguagePicked(systemIni.Value(section, QString::fromLatin1(kLanguagePickedKey)));
    parameters.iconFile = systemIni.Value(section, QStringLiteral("Icon_File"));
    parameters.companyTitle = systemIni.Value(section, QStringLiteral("Company_Title"));
    parameters.versionInfo = systemIni.Value(section, QStringLiteral("Version_Info"));
    parameters.startupBmp = systemIni.Value(section, QStringLiteral("Startup_BMP"));
    parameters.smallLogo = systemIni.Value(section, QStringLiteral("SmallLogo"));
    return parameters;
}

int ParseLanguageMode(const QString& text) {
    bool ok = false;
    const int language = text.trimmed().toInt(&ok, 10);
    if (!ok || language < 0 || language >= kLanguageCount) {
        return kEnglish;
    }
    return language;
}

bool ParseLanguagePicked(const QString& text) {
    bool ok = false;
    const int picked = text.trimmed().toInt(&ok, 10);
    return ok && picked == kLanguagePickedYes;
}

}  // namespace dm
