// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads back what a saved picture says about itself, with exiv2 (as an image viewer
// would): EXIF keys ("Exif.Image.XResolution") to their values as text, rationals as
// "n/d". Empty when the file has no EXIF (or XMP) or cannot be read.

#include <map>
#include <string>

#include <QByteArray>
#include <QString>

namespace dm::test {

std::map<std::string, std::string> ReadExif(const QString& path);
// The same for XMP keys ("Xmp.dm.ZoomCode").
std::map<std::string, std::string> ReadXmp(const QString& path);

// A JPEG from its quantisation tables on: the encoder's own bytes, without the EXIF block
// a save puts in front of them. Empty when the bytes hold no tables.
QByteArray CompressedPart(const QByteArray& jpeg);

// The rational "n/d" as a number; 0 when it is none.
double RationalValue(const std::string& text);

}  // namespace dm::test
