// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File names and file writing for pictures: the scratch pictures (320 x 240, 24-bit BMP
// in the scratch folder, named by picture number) and the JPEG files the user saves.
//
// The scratch picture of a picture is "<folder>/<number>.bmp". The program both writes
// and reads it, always with this one spelling, so case-sensitive file systems find it.
// Files are written whole or not at all (temporary file, then rename): a failure never
// leaves half a file behind. Any thread.

#include <cstdint>

#include <QByteArray>
#include <QImage>
#include <QString>

#include "view/picture_stamp.h"

namespace dm {

// number := bits 0-23 of info.
QString ScratchPicturePath(const QString& scratchFolder, uint32_t info);
// The picture number (bits 0-23) as "%08d.jpg", the same as the list's "Name" column.
QString DefaultJpegFileName(uint32_t info);

bool SaveScratchPicture(const QImage& picture, const QString& path);  // 24-bit BMP
QImage LoadScratchPicture(const QString& path);  // null when missing or unreadable
// Removes every scratch picture (*.bmp) in the folder, so a new download starts without
// the pictures of an earlier one. False when the folder is missing or a file stayed.
bool EmptyScratchFolder(const QString& folder);

// Writes the bytes as the whole file, replacing an existing one; false on any failure,
// with no file (or the old file untouched) left behind. The writers below tell why a
// write failed in `why` ("Permission denied", "No space left on device") when given.
bool WriteFileWhole(const QString& path, const QByteArray& bytes, QString* why = nullptr);
// Encodes the picture as JPEG with the quality, stamps the facts into it and writes it
// whole.
bool SaveJpegFile(const QImage& picture, const QString& path, int quality,
                  const PictureFacts& facts, QString* why = nullptr);
// Writes the picture whole in the format its file name ends with: ".bmp" a BMP, ".png" a
// PNG (either case), anything else a JPEG of the quality. A BMP or PNG carries the scale
// of the facts as its pixel density, a JPEG all of them.
bool SavePictureFile(const QImage& picture, const QString& path, int jpegQuality,
                     const PictureFacts& facts, QString* why = nullptr);

}  // namespace dm
