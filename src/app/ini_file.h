// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// INI files as the configuration and language files use them: UTF-8 text, sections and
// keys matched without regard to case, a missing key read as the empty text.

#include <memory>

#include <QString>

namespace dm {

class IniFile {
  public:
    IniFile();
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the whole file; false when it cannot be read or parsed.
    bool Load(const QString& path);
    // The value as stored (blanks around it trimmed), or the empty text.
    QString Value(const QString& section, const QString& key) const;
    bool HasKey(const QString& section, const QString& key) const;

  private:
    struct Parsed;
    std::unique_ptr<Parsed> parsed_;
};

// Sets one key of an INI file and leaves every other byte of it as it was: comments,
// blank lines, other keys and sections, the spelling of names and the line endings.
// A key already present gets its value replaced after the '='; a missing key is added at
// the end of its section, a missing section at the end of the file. The file is replaced
// whole or not at all, so a failed write never leaves it cut short. On failure returns
// false and leaves a reason in *error (when given).
bool WriteIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value, QString* error = nullptr);

}  // namespace dm
