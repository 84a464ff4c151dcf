// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/message_catalogue.h"

#include "app/ini_file.h"
#include "base/message_numbers.h"

namespace dm {

namespace {

bool ValidLanguage(int language) {
    return language >= 0 && language < kLanguageCount;
}

}  // namespace

void MessageCatalogue::Load(int language, const IniFile& file) {
    if (!ValidLanguage(language)) {
        return;
    }
    const LanguageInfo& info = LanguageAt(language);
    const QString section = QString::fromLatin1(info.section);
    const QString prefix = QString::fromLatin1(info.keyPrefix);
    Table& table = tables_[static_cast<std::size_t>(language)];
    for (int number = 1; number <= kMessageCount; ++number) {
        const QString key = prefix + QStringLiteral("_Message") + QString::number(number);
        QString text = file.Value(section, key);
        if (number > kFileMessageCount && !file.HasKey(section, key)) {
            text = QString::fromUtf8(message::BuiltInEnglishText(number));
        }
        table.messages[static_cast<std::size_t>(number - 1)] = text;
    }
    table.title = file.Value(section, prefix + QStringLiteral("_Title"));
}

QString MessageCatalogue::Text(int language, int number) const {
    if (!ValidLanguage(language) || number < 1 || number > kMessageCount) {
        return {};
    }
    return tables_[static_cast<std::size_t>(language)]
        .messages[static_cast<std::size_t>(number - 1)];
}

QString MessageCatalogue::Title(int language) const {
    if (!ValidLanguage(language)) {
        return {};
    }
    return tables_[static_cast<std::size_t>(language)].title;
}

}  // namespace dm
