// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results table as a CSV file (RFC 4180: comma-separated, fields with a comma, quote
// or line break quoted, CRLF line ends, UTF-8): first a few "# key,value" header lines
// naming the picture file, zoom code, magnification, pixels per millimetre and the scale's
// source, then a column header, then one row per measurement: number, tool key, each
// value with its unit (in the unit the table shows), and the points in picture pixels.
// Any thread.

#include <QString>

#include "measure/measurement_sheet.h"
#include "measure/units.h"

namespace dm::measure {

QString ResultsCsv(const MeasurementSheet& sheet, const UnitChoice& units);

}  // namespace dm::measure
