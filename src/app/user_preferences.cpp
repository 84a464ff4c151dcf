// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/user_preferences.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace dm {

namespace {
const QString kSaveFolderKey = QStringLiteral("Saving/LastFolder");
const QString kUnaskedKey = QStringLiteral("Snapshots/SaveWithoutAsking");
const QString kSnapshotFolderKey = QStringLiteral("Snapshots/Folder");

bool IsFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}
}  // namespace

UserPreferences::UserPreferences(const QString& file, const QString& pictures)
    : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)), pictures_(pictures) {}

UserPreferences::~UserPreferences() = default;

QString UserPreferences::SaveFolder() const {
    const QString last = settings_->value(kSaveFolderKey).toString();
    return IsFolder(last) ? last : pictures_;
}

void UserPreferences::RememberSavedFile(const QString& path) {
    settings_->setValue(kSaveFolderKey, QFileInfo(path).absolutePath());
    settings_->sync();
}

bool UserPreferences::SnapshotsWithoutAsking() const {
    return settings_->value(kUnaskedKey, false).toBool();
}

QString UserPreferences::SnapshotFolder() const {
    const QString chosen = settings_->value(kSnapshotFolderKey).toString();
    return chosen.isEmpty() ? SaveFolder() : chosen;
}

void UserPreferences::SetSnapshotsWithoutAsking(bool on, const QString& folder) {
    settings_->setValue(kUnaskedKey, on);
    settings_->setValue(kSnapshotFolderKey, QDir::cleanPath(folder));
    settings_->sync();
}

}  // namespace dm
