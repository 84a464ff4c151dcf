// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plane geometry of measurements, in picture pixels (x to the right, y down, sub-pixel
// floating point). Nothing here knows a scale: lengths are pixels, areas square pixels,
// angles degrees. Any thread.

#include <optional>
#include <vector>

#include <QPointF>

namespace dm::measure {

double Distance(QPointF a, QPointF b);
// Sum of the segments' lengths; 0 for fewer than two points.
double PolylineLength(const std::vector<QPointF>& points);

// The angle at `vertex` from the ray to `first` to the ray to `second`, in degrees,
// 0..180 (the smaller one; the reflex angle is 360 minus it). None when either arm has
// no length.
std::optional<double> AngleDegrees(QPointF first, QPointF vertex, QPointF second);

struct Circle {
    QPointF centre;
    double radius = 0.0;
};
// The circle through three points on its edge. None when the points are on one line
// (or two coincide): no circle passes through them.
std::optional<Circle> CircleThrough(QPointF a, QPointF b, QPointF c);

// Closed polygon (the last point joins the first). Area by the shoelace formula, always
// positive; for a self-crossing polygon this is the signed-area sum, which is not the
// enclosed area, so callers say so (PolygonCrossesItself).
double PolygonArea(const std::vector<QPointF>& points);
double PolygonPerimeter(const std::vector<QPointF>& points);
bool PolygonCrossesItself(const std::vector<QPointF>& points);

// The end point of a line from `start` towards `towards`, turned to the nearest multiple
// of 45 degrees, keeping the length of its projection on that direction (Shift held).
QPointF SnapTo45Degrees(QPointF start, QPointF towards);

}  // namespace dm::measure
