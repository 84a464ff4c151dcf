// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/geometry.h"

#include <cmath>
#include <numbers>

namespace dm::measure {

namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr double kSnapStepDegrees = 45.0;

double Cross(QPointF a, QPointF b) {
    return a.x() * b.y() - a.y() * b.x();
}

double Dot(QPointF a, QPointF b) {
    return a.x() * b.x() + a.y() * b.y();
}

// Which side of the line through a and b the point p is: -1, 0 (on it) or 1.
int Side(QPointF a, QPointF b, QPointF p) {
    const double cross = Cross(b - a, p - a);
    return (cross > 0.0) - (cross < 0.0);
}

bool OnSegment(QPointF a, QPointF b, QPointF p) {
    return std::min(a.x(), b.x()) <= p.x() && p.x() <= std::max(a.x(), b.x()) &&
           std::min(a.y(), b.y()) <= p.y() && p.y() <= std::max(a.y(), b.y());
}

bool SegmentsMeet(QPointF a, QPointF b, QPointF c, QPointF d) {
    const int abC = Side(a, b, c);
    const int abD = Side(a, b, d);
    const int cdA = Side(c, d, a);
    const int cdB = Side(c, d, b);
    if (abC != abD && cdA != cdB && abC != 0 && abD != 0 && cdA != 0 && cdB != 0) {
        return true;
    }
    return (abC == 0 && OnSegment(a, b, c)) || (abD == 0 && OnSegment(a, b, d)) ||
           (cdA == 0 && OnSegment(c, d, a)) || (cdB == 0 && OnSegment(c, d, b));
}

}  // namespace

double Distance(QPointF a, QPointF b) {
    return std::hypot(b.x() - a.x(), b.y() - a.y());
}

double PolylineLength(const std::vector<QPointF>& points) {
    double length = 0.0;
    for (size_t i = 1; i < points.size(); ++i) {
        length += Distance(points[i - 1], points[i]);
    }
    return length;
}

std::optional<double> AngleDegrees(QPointF first, QPointF vertex, QPointF second) {
    const QPointF a = first - vertex;
    const QPointF b = second - vertex;
    if (a.isNull() || b.isNull()) {
        return std::nullopt;
    }
    // atan2 of cross and dot stays exact near 0 and 180 degrees, where acos does not.
    return std::atan2(std::abs(Cross(a, b)), Dot(a, b)) * kDegreesPerRadian;
}

std::optional<Circle> CircleThrough(QPointF a, QPointF b, QPointF c) {
    const QPointF ab = b - a;
    const QPointF ac = c - a;
    const double twiceArea = 2.0 * Cross(ab, ac);
    // Collinear (or coincident) points span no area; relative to the points' spread, so
    // that a nearly straight arc of a huge circle is refused too rather than given a
    // centre far off the picture from rounding noise.
    const double spread = Dot(ab, ab) + Dot(ac, ac);
    constexpr double kLeastRelativeArea = 1e-12;
    if (spread == 0.0 || std::abs(twiceArea) <= kLeastRelativeArea * spread) {
        return std::nullopt;
    }
    const double abSquared = Dot(ab, ab);
    const double acSquared = Dot(ac, ac);
    const QPointF offset((ac.y() * abSquared - ab.y() * acSquared) / twiceArea,
                         (ab.x() * acSquared - ac.x() * abSquared) / twiceArea);
    return Circle{a + offset, std::hypot(offset.x(), offset.y())};
}

double PolygonArea(const std::vector<QPointF>& points) {
    double twiceArea = 0.0;
    for (size_t i = 0; i < points.size(); ++i) {
        twiceArea += Cross(points[i], points[(i + 1) % points.size()]);
    }
    return std::abs(twiceArea) / 2.0;
}

double PolygonPerimeter(const std::vector<QPointF>& points) {
    if (points.size() < 2) {
        return 0.0;
    }
    return PolylineLength(points) + Distance(points.back(), points.front());
}

bool PolygonCrossesItself(const std::vector<QPointF>& points) {
    const size_t count = points.size();
    constexpr size_t kFewestToCross = 4;
    if (count < kFewestToCross) {
        return false;
    }
    // Every pair of edges that share no corner; edge i runs from point i to point i+1.
    for (size_t i = 0; i < count; ++i) {
        for (size_t j = i + 2; j < count; ++j) {
            if (i == 0 && j == count - 1) {
                continue;  // the closing edge meets the first at point 0
            }
            if (SegmentsMeet(points[i], points[(i + 1) % count], points[j],
                             points[(j + 1) % count])) {
                return true;
            }
        }
    }
    return false;
}

QPointF SnapTo45Degrees(QPointF start, QPointF towards) {
    const QPointF line = towards - start;
    if (line.isNull()) {
        return towards;
    }
    // The eight directions written out, so that 0, 90 and 180 degrees come out exact.
    constexpr double kDiagonal = std::numbers::sqrt2 / 2.0;
    static const QPointF kDirections[] = {
        {1, 0},  {kDiagonal, kDiagonal},   {0, 1},  {-kDiagonal, kDiagonal},
        {-1, 0}, {-kDiagonal, -kDiagonal}, {0, -1}, {kDiagonal, -kDiagonal}};
    constexpr int kDirectionCount = 8;
    const double degrees = std::atan2(line.y(), line.x()) * kDegreesPerRadian;
    const int step = static_cast<int>(std::lround(degrees / kSnapStepDegrees));
    const QPointF direction =
        kDirections[(step % kDirectionCount + kDirectionCount) % kDirectionCount];
    return start + direction * Dot(line, direction);
}

}  // namespace dm::measure
