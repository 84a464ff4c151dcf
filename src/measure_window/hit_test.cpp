// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure_window/hit_test.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QPolygonF>

#include "measure/geometry.h"

namespace dm {

namespace {

using measure::Tool;

double SegmentDistance(QPointF p, QPointF a, QPointF b) {
    const QPointF ab = b - a;
    const double lengthSquared = QPointF::dotProduct(ab, ab);
    const double t = lengthSquared > 0.0
                         ? std::clamp(QPointF::dotProduct(p - a, ab) / lengthSquared, 0.0, 1.0)
                         : 0.0;
    return measure::Distance(p, a + t * ab);
}

double PathDistance(QPointF p, const std::vector<QPointF>& points, bool closed) {
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < points.size(); ++i) {
        best = std::min(best, measure::Distance(p, points[i]));
        if (i + 1 < points.size()) {
            best = std::min(best, SegmentDistance(p, points[i], points[i + 1]));
        }
    }
    if (closed && points.size() > 2) {
        best = std::min(best, SegmentDistance(p, points.back(), points.front()));
        if (QPolygonF(QList<QPointF>(points.begin(), points.end()))
                .containsPoint(p, Qt::OddEvenFill)) {
            best = 0.0;
        }
    }
    return best;
}

std::vector<QPointF> RectangleCorners(const std::vector<QPointF>& points) {
    if (points.size() < 2) {
        return points;
    }
    return {points[0], QPointF(points[1].x(), points[0].y()), points[1],
            QPointF(points[0].x(), points[1].y())};
}

// Distance on screen from the pointer to what is drawn of the measurement.
double DistanceTo(const measure::Measurement& measurement, const ScreenMapping& toScreen,
                  QPointF screen) {
    std::vector<QPointF> points;
    for (const QPointF& point : measurement.points) {
        points.push_back(toScreen(point));
    }
    switch (measurement.tool) {
        case Tool::kRectangle:
            return PathDistance(screen, RectangleCorners(points), true);
        case Tool::kPolygon:
            return PathDistance(screen, points, true);
        case Tool::kCircle:
            if (points.size() == 3) {
                if (const auto circle = measure::CircleThrough(points[0], points[1], points[2])) {
                    return std::abs(measure::Distance(screen, circle->centre) - circle->radius);
                }
            }
            return PathDistance(screen, points, false);
        case Tool::kCount: {
            double nearest = std::numeric_limits<double>::infinity();
            for (const QPointF& point : points) {
                nearest = std::min(nearest, measure::Distance(screen, point));
            }
            return nearest;
        }
        default:
            return PathDistance(screen, points, false);
    }
}

}  // namespace

std::optional<PointHit> HitPoint(const std::vector<measure::Measurement>& measurements,
                                 const ScreenMapping& toScreen, QPointF screen, double radius,
                                 int preferred) {
    std::optional<PointHit> best;
    double bestDistance = radius;
    bool bestPreferred = false;
    for (int m = 0; m < static_cast<int>(measurements.size()); ++m) {
        const auto& points = measurements[static_cast<std::size_t>(m)].points;
        for (int p = 0; p < static_cast<int>(points.size()); ++p) {
            const double distance =
                measure::Distance(screen, toScreen(points[static_cast<std::size_t>(p)]));
            const bool isPreferred = m == preferred;
            if (distance > radius || (bestPreferred && !isPreferred)) {
                continue;
            }
            if (!best || distance < bestDistance || (isPreferred && !bestPreferred)) {
                best = PointHit{m, p};
                bestDistance = distance;
                bestPreferred = isPreferred;
            }
        }
    }
    return best;
}

std::optional<int> HitMeasurement(const std::vector<measure::Measurement>& measurements,
                                  const ScreenMapping& toScreen, QPointF screen, double radius) {
    std::optional<int> best;
    double bestDistance = radius;
    for (int m = 0; m < static_cast<int>(measurements.size()); ++m) {
        const double distance =
            DistanceTo(measurements[static_cast<std::size_t>(m)], toScreen, screen);
        if (distance <= bestDistance) {
            best = m;
            bestDistance = distance;
        }
    }
    return best;
}

}  // namespace dm
