// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A picture as every command's JSON names it, so a script reads the same fields from
// list, download and snapshot:
//   {"number": 3, "file": "/abs/path/00000003.jpg", "size": 10234, "zoomCode": 37,
//    "magnification": 52, "scale": 430.2}
// "file" is absolute; "size" is the picture's bytes (in the microscope's memory, or of
// the file written); "magnification" and "scale" (pixels per millimetre of the saved
// 320-pixel-wide picture, the user's calibration where there is one, as in the file) are
// null where the zoom code has none.

#include <cstdint>

#include <QJsonObject>
#include <QString>

namespace dm::cli {

QJsonObject PictureJson(uint32_t number, const QString& file, qint64 size, uint8_t zoomCode);

}  // namespace dm::cli
