// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/measurement_painter.h"

#include <array>
#include <cmath>
#include <numbers>

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QTransform>

#include "measure/geometry.h"

namespace dm::measure {

namespace {

// Everything is drawn in device pixels (the points mapped through the painter's
// transform), so lines, marks and labels keep their size on screen at any zoom and are
// picture pixels when burning in.
constexpr double kLineWidth = 2.0;
constexpr double kOutlineWidth = 4.0;
constexpr double kSelectedLineWidth = 3.0;
constexpr double kSelectedOutlineWidth = 5.0;
constexpr double kTickHalfLength = 5.0;   // the ends of a line
constexpr double kHandleHalfSize = 3.5;   // the squares on the points
constexpr double kMarkRadius = 5.0;       // a count mark
constexpr double kCentreCrossHalf = 5.0;  // a circle's centre
constexpr double kAngleArcRadius = 24.0;
constexpr double kLabelPixelSize = 12.0;
constexpr double kLabelOffset = 8.0;  // from the measurement's first point
constexpr double kLabelPadding = 2.0;

const QColor kMeasurementColour(255, 214, 0);
const QColor kSelectedColour(0, 230, 255);
const QColor kOutlineColour(20, 20, 20, 200);
const QColor kLabelBackground(20, 20, 20, 190);

constexpr std::array<QRgb, kCountGroups> kGroupColours{
    qRgb(255, 64, 64), qRgb(64, 200, 64),  qRgb(64, 140, 255),
    qRgb(255, 170, 0), qRgb(220, 80, 255), qRgb(0, 220, 220),
};

struct Look {
    QColor colour;
    double width = kLineWidth;
    double outline = kOutlineWidth;
    Qt::PenStyle style = Qt::SolidLine;
    bool handles = true;
};

std::vector<QPointF> Mapped(const QTransform& transform, const std::vector<QPointF>& points) {
    std::vector<QPointF> mapped;
    mapped.reserve(points.size());
    for (const QPointF& point : points) {
        mapped.push_back(transform.map(point));
    }
    return mapped;
}

// Draws the shape twice: a dark wide outline, then the colour over it, so it shows on
// any specimen.
void Stroke(QPainter& painter, const QPainterPath& path, const Look& look) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kOutlineColour, look.outline, look.style, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    painter.setPen(QPen(look.colour, look.width, look.style, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
}

QPainterPath OpenPath(const std::vector<QPointF>& points) {
    QPainterPath path;
    if (points.empty()) {
        return path;
    }
    path.moveTo(points.front());
    for (std::size_t i = 1; i < points.size(); ++i) {
        path.lineTo(points[i]);
    }
    return path;
}

QPainterPath ClosedPath(const std::vector<QPointF>& points) {
    QPainterPath path = OpenPath(points);
    if (points.size() > 2) {
        path.closeSubpath();
    }
    return path;
}

void AddTick(QPainterPath& path, QPointF at, QPointF along) {
    const double length = std::hypot(along.x(), along.y());
    if (length <= 0.0) {
        return;
    }
    const QPointF across(-along.y() / length * kTickHalfLength,
                         along.x() / length * kTickHalfLength);
    path.moveTo(at - across);
    path.lineTo(at + across);
}

QPainterPath LinePath(const std::vector<QPointF>& points) {
    QPainterPath path = OpenPath(points);
    if (points.size() == 2) {
        const QPointF along = points[1] - points[0];
        AddTick(path, points[0], along);
        AddTick(path, points[1], along);
    }
    return path;
}

QPainterPath AnglePath(const std::vector<QPointF>& points) {
    QPainterPath path = OpenPath(points);
    if (points.size() < 3) {
        return path;
    }
    const QPointF vertex = points[1];
    const QPointF first = points[0] - vertex;
    const QPointF second = points[2] - vertex;
    const double shortest =
        std::min(std::hypot(first.x(), first.y()), std::hypot(second.x(), second.y()));
    const double radius = std::min(kAngleArcRadius, shortest);
    if (radius <= 0.0) {
        return path;
    }
    // Qt's angles run counter-clockwise with y up; device y runs down.
    const double start = std::atan2(-first.y(), first.x()) * 180.0 / std::numbers::pi;
    double sweep = std::atan2(-second.y(), second.x()) * 180.0 / std::numbers::pi - start;
    while (sweep > 180.0) {
        sweep -= 360.0;
    }
    while (sweep < -180.0) {
        sweep += 360.0;
    }
    const QRectF box(vertex.x() - radius, vertex.y() - radius, 2 * radius, 2 * radius);
    path.arcMoveTo(box, start);
    path.arcTo(box, start, sweep);
    return path;
}

QPainterPath CirclePath(const std::vector<QPointF>& points, const QTransform& transform,
                        const std::vector<QPointF>& mapped) {
    QPainterPath path;
    if (points.size() == 3) {
        if (const std::optional<Circle> circle = CircleThrough(points[0], points[1], points[2])) {
            const QPointF centre = transform.map(circle->centre);
            const double radius = circle->radius * std::sqrt(std::abs(transform.determinant()));
            path.addEllipse(centre, radius, radius);
            path.moveTo(centre - QPointF(kCentreCrossHalf, 0));
            path.lineTo(centre + QPointF(kCentreCrossHalf, 0));
            path.moveTo(centre - QPointF(0, kCentreCrossHalf));
            path.lineTo(centre + QPointF(0, kCentreCrossHalf));
            return path;
        }
    }
    return OpenPath(mapped);
}

QPainterPath RectanglePath(const std::vector<QPointF>& mapped) {
    QPainterPath path;
    if (mapped.size() >= 2) {
        path.addRect(QRectF(mapped[0], mapped[1]).normalized());
    }
    return path;
}

void DrawMarks(QPainter& painter, const std::vector<QPointF>& mapped, int group, bool selected) {
    const QColor fill = CountGroupColour(group);
    painter.setPen(QPen(selected ? kSelectedColour : kOutlineColour, selected ? 2.5 : 1.5));
    painter.setBrush(fill);
    for (const QPointF& point : mapped) {
        painter.drawEllipse(point, kMarkRadius, kMarkRadius);
    }
}

void DrawHandles(QPainter& painter, const std::vector<QPointF>& mapped, const QColor& colour) {
    painter.setPen(QPen(kOutlineColour, 1.0));
    painter.setBrush(colour);
    for (const QPointF& point : mapped) {
        painter.drawRect(QRectF(point.x() - kHandleHalfSize, point.y() - kHandleHalfSize,
                                2 * kHandleHalfSize, 2 * kHandleHalfSize));
    }
}

void DrawLabel(QPainter& painter, QPointF anchor, int number, const QColor& colour) {
    QFont font = painter.font();
    font.setPixelSize(static_cast<int>(kLabelPixelSize));
    font.setBold(true);
    painter.setFont(font);
    const QString text = QString::number(number);
    const QFontMetricsF metrics(font);
    const QPointF topLeft = anchor + QPointF(kLabelOffset, -kLabelOffset - metrics.height());
    const QRectF box(topLeft,
                     QSizeF(metrics.horizontalAdvance(text) + 2 * kLabelPadding, metrics.height()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kLabelBackground);
    painter.drawRect(box);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, text);
}

QPainterPath ShapeOf(Tool tool, const std::vector<QPointF>& points, const QTransform& transform,
                     const std::vector<QPointF>& mapped) {
    switch (tool) {
        case Tool::kLine:
        case Tool::kCalibrate:
            return LinePath(mapped);
        case Tool::kPolyline:
            return OpenPath(mapped);
        case Tool::kAngle:
            return AnglePath(mapped);
        case Tool::kCircle:
            return CirclePath(points, transform, mapped);
        case Tool::kRectangle:
            return RectanglePath(mapped);
        case Tool::kPolygon:
            return ClosedPath(mapped);
        case Tool::kCount:
            break;
    }
    return {};
}

// Draws one measurement; the painter's transform is the identity here, `transform` maps
// picture pixels to device pixels.
void DrawOne(QPainter& painter, const QTransform& transform, Tool tool,
             const std::vector<QPointF>& points, int group, const Look& look, bool selected) {
    const std::vector<QPointF> mapped = Mapped(transform, points);
    if (tool == Tool::kCount) {
        DrawMarks(painter, mapped, group, selected);
        return;
    }
    Stroke(painter, ShapeOf(tool, points, transform, mapped), look);
    if (look.handles) {
        DrawHandles(painter, mapped, look.colour);
    }
}

Look LookFor(bool selected, const PaintStyle& style) {
    Look look;
    look.colour = selected ? kSelectedColour : kMeasurementColour;
    look.width = selected ? kSelectedLineWidth : kLineWidth;
    look.outline = selected ? kSelectedOutlineWidth : kOutlineWidth;
    look.handles = style.showPointHandles;
    return look;
}

}  // namespace

QColor CountGroupColour(int group) {
    if (group < 0 || group >= kCountGroups) {
        group = 0;
    }
    return QColor::fromRgb(kGroupColours[static_cast<std::size_t>(group)]);
}

void PaintMeasurements(QPainter& painter, const std::vector<Measurement>& measurements,
                       const PaintStyle& style) {
    const QTransform transform = painter.transform();
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (std::size_t i = 0; i < measurements.size(); ++i) {
        const Measurement& measurement = measurements[i];
        if (measurement.points.empty()) {
            continue;
        }
        const bool selected = static_cast<int>(i) == style.selected;
        const Look look = LookFor(selected, style);
        DrawOne(painter, transform, measurement.tool, measurement.points, measurement.group, look,
                selected);
        DrawLabel(painter, transform.map(measurement.points.front()), static_cast<int>(i) + 1,
                  look.colour);
    }
    painter.restore();
}

void PaintInProgress(QPainter& painter, Tool tool, const std::vector<QPointF>& points,
                     QPointF pointer, const PaintStyle& style) {
    if (points.empty()) {
        return;
    }
    // The pointer stands for the next point until the measurement has all of its own.
    std::vector<QPointF> shown = points;
    const bool openEnded = tool == Tool::kPolyline || tool == Tool::kPolygon;
    const bool incomplete = static_cast<int>(shown.size()) < MinimumPoints(tool);
    if (tool != Tool::kCount && (openEnded || incomplete)) {
        shown.push_back(pointer);
    }
    const QTransform transform = painter.transform();
    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, true);
    Look look = LookFor(false, style);
    look.style = Qt::DashLine;
    DrawOne(painter, transform, tool, shown, 0, look, false);
    painter.restore();
}

}  // namespace dm::measure
