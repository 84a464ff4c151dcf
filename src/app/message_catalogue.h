#pragma once
// The texts of all six languages, 30 numbered messages and a title each, loaded once at
// start-up from the language files and read-only afterwards, so any thread may read them
// without a lock once loading is done.

#include <array>

#include <QString>

#include "app/language.h"

namespace dm {

class IniFile;

inline constexpr int kMessageCount = 30;

class MessageCatalogue {
  public:
    // Takes messages 1..30 and the title of `language` from its section of `file`;
    // missing keys give empty texts.
    void Load(int language, const IniFile& file);

    // Message 1..30 of a language; numbers outside give the empty text.
    QString Text(int language, int number) const;
    QString Title(int language) const;

  private:
    struct Table {
        std::array<QString, kMessageCount> messages;
        QString title;
    };
    std::array<Table, kLanguageCount> tables_;
};

}  // namespace dm
