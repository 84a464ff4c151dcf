// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/startup_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "view/user_folders.h"

namespace dm {

namespace {

constexpr char kSystemIniName[] = "System.ini";

bool HoldsSystemIni(const QString& folder) {
    return !folder.isEmpty() && QFileInfo(QDir(folder).filePath(kSystemIniName)).isFile();
}

QString InstalledDataFolder() {
    const QString executableFolder = QCoreApplication::applicationDirPath();
#ifdef _WIN32
    return executableFolder;
#else
    return QDir(executableFolder)
        .absoluteFilePath(QStringLiteral("../share/") + QLatin1String(kProgramFolderName));
#endif
}

// Copies what the user does not have yet; a copied file is made writable, since the
// installed one may not be and the language choice is written into System.ini.
void FillMissingFiles(const QString& from, const QString& to) {
    const QDir source(from);
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = QDir(to).filePath(source.relativeFilePath(file));
        if (QFileInfo::exists(target)) {
            continue;
        }
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (QFile::copy(file, target)) {
            QFile::setPermissions(
                target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
        }
    }
}

}  // namespace

StartupFolderPlaces StartupFolderPlacesOfThisRun() {
    return {QDir::currentPath(), UserDataFolder(), QDir::cleanPath(InstalledDataFolder())};
}

QString ChooseStartupFolder(const StartupFolderPlaces& places) {
    if (HoldsSystemIni(places.workingFolder)) {
        return places.workingFolder;
    }
    if (places.userFolder.isEmpty()) {
        return places.workingFolder;
    }
    if (HoldsSystemIni(places.installedFolder) &&
        QDir(places.installedFolder) != QDir(places.userFolder)) {
        QDir().mkpath(places.userFolder);
        FillMissingFiles(places.installedFolder, places.userFolder);
    }
    return HoldsSystemIni(places.userFolder) ? places.userFolder : places.workingFolder;
}

}  // namespace dm
