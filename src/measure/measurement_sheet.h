// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measurements of one picture as kept beside its file: "NAME.measurements.json" next to
// "NAME.jpg" (or .png, .bmp), written whole or not at all. It holds the scale and where it
// came from, the zoom code where known, and every measurement with its points in picture
// pixels, so that opening the picture again brings them back, editable. Any thread.
//
// {"format": "digital-microscope-measurements", "version": 1,
//  "picture": "00000012.jpg", "width": 320, "height": 240, "zoomCode": 37,
//  "scale": {"source": "calibrated", "pixelsPerMillimetre": 590.2, "calibrated": "2026-12-08"},
//  "measurements": [{"tool": "line", "points": [[10.5, 20.25], [110.5, 20.25]]},
//                   {"tool": "count", "group": 2, "points": [[5, 5], [9, 9]]}]}

#include <cstdint>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

#include "measure/measurement.h"
#include "view/picture_scale.h"

namespace dm::measure {

struct MeasurementSheet {
    QString pictureFile;  // the picture's file name, without folder
    int width = 0;
    int height = 0;
    std::optional<uint8_t> zoomCode;
    PictureScale scale;
    std::vector<Measurement> measurements;
    bool operator==(const MeasurementSheet&) const = default;
};

// "/a/b/pic.jpg" -> "/a/b/pic.measurements.json".
QString SheetPathFor(const QString& picturePath);

QByteArray SheetToJson(const MeasurementSheet& sheet);

enum class SheetStatus { kRead, kMissing, kDamaged };
struct SheetReading {
    SheetStatus status = SheetStatus::kMissing;
    MeasurementSheet sheet;  // valid for kRead
    QString detail;          // for kDamaged: what is wrong, in plain English for the log
};
// A sheet with an unknown tool, a point that is not two numbers, too few points or a
// wrong format name is damaged as a whole: half a set of measurements would mislead.
SheetReading SheetFromJson(const QByteArray& json);
SheetReading ReadSheetBeside(const QString& picturePath);
bool WriteSheetBeside(const QString& picturePath, const MeasurementSheet& sheet,
                      QString* why = nullptr);

}  // namespace dm::measure
