// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's folders in the user's account, by the platform's conventions:
//   data:     $XDG_DATA_HOME/digital-microscope (~/.local/share/...; Windows: the local
//             application-data folder), the start-up files and the preferences;
//   cache:    $XDG_CACHE_HOME/digital-microscope (~/.cache/...; Windows: the local
//             application-data folder's cache), the scratch pictures;
//   pictures: the user's pictures folder (~/Pictures), where saving starts.
// None of them is made here. Any thread.

#include <QString>

namespace dm {

inline constexpr char kProgramFolderName[] = "digital-microscope";

QString UserDataFolder();
QString UserCacheFolder();
QString UserPicturesFolder();

}  // namespace dm
