// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opens a picture from disk for measuring: a JPEG, PNG or BMP, whoever wrote it, with the
// scale it can be measured at. Any thread.
//
// Where the scale comes from, first found wins:
//   1. a zoom code the file or its measurement sheet names (this program writes it into
//      every picture: XMP in a JPEG, a text chunk in a PNG): the scale of that zoom code
//      now (picture_scale.h), so a later calibration applies to old pictures too; a zoom
//      code whose scale is unknown leaves the picture uncalibrated, whatever follows;
//   2. the scale the measurement sheet recorded;
//   3. the EXIF resolution of a JPEG that names this program as its Software;
//   4. a PNG or BMP pixel density of at least kLeastMicroscopeDensity, which no printer
//      setting reaches (72 to 1200 dpi are 2.8 to 47 px/mm; this microscope's coarsest
//      nominal scale is 57.8 px/mm);
//   else the picture is uncalibrated (pixels only). 3 and 4 count as nominal.

#include <cstdint>
#include <optional>

#include <QDateTime>
#include <QImage>
#include <QString>

#include "measure/measurement_sheet.h"
#include "view/picture_scale.h"

namespace dm::measure {

inline constexpr double kLeastMicroscopeDensity = 50.0;  // pixels per millimetre

// A picture ready to measure, from a file, the live view or the device's directory.
struct MeasuredPicture {
    QImage image;
    std::optional<uint8_t> zoomCode;
    PictureScale scale;
    QDateTime taken;  // invalid when unknown
    QString path;     // the file it came from; empty for a live frame or a browsed picture
    QString name;     // shown in the title: the file name, or "00000012.jpg", or "Live"
};

enum class PictureOpening { kOpened, kUnreadable };
struct OpenedPicture {
    PictureOpening result = PictureOpening::kUnreadable;
    MeasuredPicture picture;
    SheetReading sheet;  // kMissing, kRead or kDamaged (the picture still opens)
};

OpenedPicture OpenPictureForMeasuring(const QString& path);

}  // namespace dm::measure
