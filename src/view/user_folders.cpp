// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/user_folders.h"

#include <QDir>
#include <QStandardPaths>

namespace dm {

namespace {
QString ProgramFolderIn(QStandardPaths::StandardLocation location) {
    return QDir(QStandardPaths::writableLocation(location))
        .filePath(QString::fromLatin1(kProgramFolderName));
}
}  // namespace

QString UserDataFolder() {
    return ProgramFolderIn(QStandardPaths::GenericDataLocation);
}

QString UserCacheFolder() {
    return ProgramFolderIn(QStandardPaths::GenericCacheLocation);
}

QString UserPicturesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
}

}  // namespace dm
