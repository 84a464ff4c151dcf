// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The system's default language as a four-digit hexadecimal language identifier, the form
// the language table matches ("0411" Japanese, "0409" US English).

#include <QString>

namespace dm {

// Windows: the language of the system default locale. POSIX: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty, mapped by LocaleIdForPosixLocale.
QString SystemLanguageId();

// Maps a POSIX locale name ("ja_JP.UTF-8", "zh_TW", "ru") to the identifier of its
// language; names without a language of the table (C, POSIX, en_GB ...) give "0409".
QString LocaleIdForPosixLocale(const QString& localeName);

}  // namespace dm
