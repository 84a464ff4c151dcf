// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the program finds its configuration, language files and pictures (the start-up
// folder), and where the language choice is written back.
//
// A working folder that holds System.ini is used as it is: a portable copy, or a
// checkout's data folder. Otherwise the user's own data folder is used
// ($XDG_DATA_HOME/digital-microscope, by default ~/.local/share/digital-microscope; on
// Windows the user's local application-data folder), filled on first start from the
// installed data folder (share/digital-microscope beside the executable's bin folder; on
// Windows the executable's own folder). Files the user already has are never replaced,
// and nothing is ever written into the installed folder.

#include <QString>

namespace dm {

struct StartupFolderPlaces {
    QString workingFolder;    // the current directory
    QString userFolder;       // the user's own data folder for this program
    QString installedFolder;  // the data files that came with the program
};

// The places of this machine and this run.
StartupFolderPlaces StartupFolderPlacesOfThisRun();

// The start-up folder by the rule above: the working folder when it holds System.ini;
// else the user folder once filled, when it holds System.ini then; else the working
// folder (whose missing System.ini the start-up reports).
QString ChooseStartupFolder(const StartupFolderPlaces& places);

}  // namespace dm
