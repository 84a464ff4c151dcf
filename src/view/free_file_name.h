// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Names that never replace a file: when the proposed file exists, the next free number
// is taken. A name ending in "_<number>" (a snapshot's "P20261208_1.jpg") counts that
// number on; any other name gets "_2", "_3", ... before its extension
// ("00000012.jpg" becomes "00000012_2.jpg"). Any thread.

#include <QString>

namespace dm {

// The path itself when no file or folder of that name exists, else the first free one.
QString FreeFilePath(const QString& path);

}  // namespace dm
