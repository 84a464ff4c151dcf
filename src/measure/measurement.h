// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One measurement on a picture: which tool made it, its points in picture pixels, and the
// values it shows. Any thread.

#include <optional>
#include <vector>

#include <QPointF>
#include <QString>

#include "view/picture_scale.h"

namespace dm::measure {

enum class Tool {
    kLine,       // 2 points
    kPolyline,   // 2 or more
    kAngle,      // 3: first arm end, vertex, second arm end
    kCircle,     // 3 points on the edge
    kRectangle,  // 2 opposite corners
    kPolygon,    // 3 or more
    kCount,      // 1 or more marks of one colour group
    kCalibrate,  // 2: a line over a known length (only while calibrating; never stored)
};

// Stable lower-case names for files ("line", "polyline", "angle", "circle", "rectangle",
// "polygon", "count"; "calibrate", which ToolFromKey refuses: it is never stored); none
// for an unknown name.
const char* ToolKey(Tool tool);
std::optional<Tool> ToolFromKey(const QString& key);
// Fewest points a finished measurement of the tool has.
int MinimumPoints(Tool tool);

struct Measurement {
    Tool tool = Tool::kLine;
    std::vector<QPointF> points;
    int group = 0;  // count tool: the colour group, 0..kCountGroups-1; 0 otherwise
    bool operator==(const Measurement&) const = default;
};
inline constexpr int kCountGroups = 6;

enum class Quantity { kLength, kArea, kAngle, kNumber, kCoordinate };

// A value as measured: lengths in millimetres and areas in square millimetres where the
// scale is known, else in pixels and square pixels; angles in degrees; counts as numbers;
// coordinates (a circle's centre) always in picture pixels, like the points.
struct Value {
    Quantity quantity = Quantity::kLength;
    double amount = 0.0;
    bool inPixels = false;  // no scale: the amount is pixels (or square pixels)
};

// Why a measurement shows no values.
enum class Problem {
    kNone,
    kTooFewPoints,
    kCollinear,      // circle: the three points lie on one line
    kNoAngle,        // angle: an arm of no length
    kCrossesItself,  // polygon: values shown, but the area is not the enclosed area
};

struct Values {
    // In table order; empty when the problem leaves nothing to show (too few points, no
    // angle, collinear). Line, polyline, calibrate: length. Angle: angle. Circle: diameter, radius,
    // area, centre x, centre y. Rectangle, polygon: area, perimeter. Count: number.
    std::vector<Value> values;
    Problem problem = Problem::kNone;
};

Values Evaluate(const Measurement& measurement, const PictureScale& scale);

}  // namespace dm::measure
