// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How a measured value is written for people: the unit (µm, mm or px, with the micro sign
// U+00B5 everywhere), a fixed number of decimals, and "≈" (U+2248) in front of a value read
// at a nominal scale. Numbers use the C locale's point so that tables paste the same way
// everywhere. Any thread.

#include <QString>

#include "measure/measurement.h"

namespace dm::measure {

enum class LengthUnit {
    kAuto,  // mm from 1 mm up, else µm: 1 to 4 digits stand before the point
    kMicrometre,
    kMillimetre,
    kPixel,
};

struct UnitChoice {
    LengthUnit unit = LengthUnit::kAuto;
    int decimals = 3;  // 0..6
};

struct ShownValue {
    QString number;  // "≈1.234" at a nominal scale, "1.234" otherwise
    QString unit;    // "mm", "µm", "mm²", "µm²", "px", "px²", "°", or empty for a count
};

// A value in the unit chosen. An area takes the square of the unit its square root would
// take. A value measured without a scale is always in pixels, whatever the choice; a
// value with a scale asked for in pixels is turned back into pixels by the scale.
ShownValue Show(const Value& value, const PictureScale& scale, const UnitChoice& choice);

}  // namespace dm::measure
