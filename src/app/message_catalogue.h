// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of all six languages, numbered messages and a title each, loaded once at
// start-up from the language files and read-only afterwards, so any thread may read them
// without a lock once loading is done.
//
// Messages 1..30 are the files' own: a missing key is the empty text. Messages 31 and up
// are this program's additions (message_numbers.h): a missing key gives the built-in
// English text, so language files written before them still work.

#include <array>

#include <QString>

#include "app/language.h"

namespace dm {

class IniFile;

inline constexpr int kFileMessageCount = 30;  // numbers every language file has
inline constexpr int kMessageCount = 136;     // with the program's additions

class MessageCatalogue {
  public:
    // Takes every message and the title of `language` from its section of `file`.
    void Load(int language, const IniFile& file);

    // Message 1..kMessageCount of a language; numbers outside give the empty text.
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
