// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program remembers for the user between runs, apart from the language (which
// System.ini keeps): the folder the last picture was saved in, and whether snapshots are
// saved without asking, into which folder. Kept in an INI file in the user's data
// folder; a missing or unreadable file gives the defaults. Window thread only.

#include <memory>

#include <QString>

class QSettings;

namespace dm {

class UserPreferences {
  public:
    // `file` holds the preferences; `pictures` is where saving starts the first time.
    UserPreferences(const QString& file, const QString& pictures);
    ~UserPreferences();
    UserPreferences(const UserPreferences&) = delete;
    UserPreferences& operator=(const UserPreferences&) = delete;

    // The folder a save dialog opens in: the last one used while it exists, else the
    // pictures folder.
    QString SaveFolder() const;
    // Remembers the folder of a file just chosen for saving.
    void RememberSavedFile(const QString& path);

    // Off by default: the snapshot asks whether to save, then where.
    bool SnapshotsWithoutAsking() const;
    // The folder unasked snapshots go to; the save folder until one is chosen.
    QString SnapshotFolder() const;
    void SetSnapshotsWithoutAsking(bool on, const QString& folder);

  private:
    std::unique_ptr<QSettings> settings_;
    QString pictures_;
};

}  // namespace dm
