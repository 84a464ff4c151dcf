// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/measurement.h"

#include <array>
#include <cmath>
#include <numbers>

#include "measure/geometry.h"

namespace dm::measure {

namespace {

struct ToolName {
    Tool tool;
    const char* key;
    int minimumPoints;
};

constexpr std::array<ToolName, 8> kTools = {{
    {Tool::kLine, "line", 2},
    {Tool::kPolyline, "polyline", 2},
    {Tool::kAngle, "angle", 3},
    {Tool::kCircle, "circle", 3},
    {Tool::kRectangle, "rectangle", 2},
    {Tool::kPolygon, "polygon", 3},
    {Tool::kCount, "count", 1},
    {Tool::kCalibrate, "calibrate", 2},
}};

const ToolName& NameOf(Tool tool) {
    for (const ToolName& name : kTools) {
        if (name.tool == tool) {
            return name;
        }
    }
    return kTools.front();
}

// Lengths and areas turn into millimetres where the scale is known.
Value Length(double pixels, const PictureScale& scale) {
    if (!scale.Known()) {
        return {Quantity::kLength, pixels, true};
    }
    return {Quantity::kLength, pixels / scale.pixelsPerMillimetre, false};
}

Value Area(double squarePixels, const PictureScale& scale) {
    if (!scale.Known()) {
        return {Quantity::kArea, squarePixels, true};
    }
    const double perMm = scale.pixelsPerMillimetre;
    return {Quantity::kArea, squarePixels / (perMm * perMm), false};
}

Value Coordinate(double pixels) {
    return {Quantity::kCoordinate, pixels, true};
}

Values CircleValues(const std::vector<QPointF>& points, const PictureScale& scale) {
    const std::optional<Circle> circle = CircleThrough(points[0], points[1], points[2]);
    if (!circle) {
        return {{}, Problem::kCollinear};
    }
    const double radius = circle->radius;
    return {{Length(2.0 * radius, scale), Length(radius, scale),
             Area(std::numbers::pi * radius * radius, scale), Coordinate(circle->centre.x()),
             Coordinate(circle->centre.y())},
            Problem::kNone};
}

Values RectangleValues(QPointF corner, QPointF opposite, const PictureScale& scale) {
    const double width = std::abs(opposite.x() - corner.x());
    const double height = std::abs(opposite.y() - corner.y());
    return {{Area(width * height, scale), Length(2.0 * (width + height), scale)}, Problem::kNone};
}

Values PolygonValues(const std::vector<QPointF>& points, const PictureScale& scale) {
    return {{Area(PolygonArea(points), scale), Length(PolygonPerimeter(points), scale)},
            PolygonCrossesItself(points) ? Problem::kCrossesItself : Problem::kNone};
}

}  // namespace

const char* ToolKey(Tool tool) {
    return NameOf(tool).key;
}

std::optional<Tool> ToolFromKey(const QString& key) {
    for (const ToolName& name : kTools) {
        if (name.tool != Tool::kCalibrate && key == QLatin1String(name.key)) {
            return name.tool;
        }
    }
    return std::nullopt;
}

int MinimumPoints(Tool tool) {
    return NameOf(tool).minimumPoints;
}

Values Evaluate(const Measurement& measurement, const PictureScale& scale) {
    const std::vector<QPointF>& points = measurement.points;
    if (static_cast<int>(points.size()) < MinimumPoints(measurement.tool)) {
        return {{}, Problem::kTooFewPoints};
    }
    switch (measurement.tool) {
        case Tool::kLine:
        case Tool::kCalibrate:
            return {{Length(Distance(points[0], points[1]), scale)}, Problem::kNone};
        case Tool::kPolyline:
            return {{Length(PolylineLength(points), scale)}, Problem::kNone};
        case Tool::kAngle: {
            const std::optional<double> degrees = AngleDegrees(points[0], points[1], points[2]);
            if (!degrees) {
                return {{}, Problem::kNoAngle};
            }
            return {{{Quantity::kAngle, *degrees, false}}, Problem::kNone};
        }
        case Tool::kCircle:
            return CircleValues(points, scale);
        case Tool::kRectangle:
            return RectangleValues(points[0], points[1], scale);
        case Tool::kPolygon:
            return PolygonValues(points, scale);
        case Tool::kCount:
            return {{{Quantity::kNumber, static_cast<double>(points.size()), false}},
                    Problem::kNone};
    }
    return {{}, Problem::kTooFewPoints};
}

}  // namespace dm::measure
