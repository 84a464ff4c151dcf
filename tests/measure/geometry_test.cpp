// SPDX-License-Identifier: GPL-3.0-or-later
// Plane geometry of measurements against values worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "measure/geometry.h"

namespace dm::measure {
namespace {

constexpr double kExact = 1e-9;

void ExpectPoint(QPointF actual, QPointF expected) {
    EXPECT_NEAR(actual.x(), expected.x(), kExact);
    EXPECT_NEAR(actual.y(), expected.y(), kExact);
}

TEST(GeometryTest, LengthsOfLinesAndPolylines) {
    EXPECT_NEAR(Distance({0, 0}, {3, 4}), 5.0, kExact);
    EXPECT_NEAR(Distance({0.5, 0.25}, {3.5, 4.25}), 5.0, kExact);  // sub-pixel points
    EXPECT_NEAR(PolylineLength({{0, 0}, {3, 4}, {3, 10}, {-5, 16}}), 5.0 + 6.0 + 10.0, kExact);
    EXPECT_EQ(PolylineLength({{7, 7}}), 0.0);
    EXPECT_EQ(PolylineLength({}), 0.0);
}

TEST(GeometryTest, AnglesAreTheSmallerOneAtTheVertex) {
    const QPointF vertex(10, 10);
    EXPECT_NEAR(*AngleDegrees({20, 10}, vertex, {30, 10}), 0.0, kExact);
    EXPECT_NEAR(*AngleDegrees({20, 10}, vertex, {10, 15}), 90.0, kExact);
    EXPECT_NEAR(*AngleDegrees({20, 10}, vertex, {0, 10}), 180.0, kExact);
    EXPECT_NEAR(*AngleDegrees({20, 10}, vertex, {20, 20}), 45.0, kExact);
    // Arms 225 degrees apart one way round are 135 degrees the other: the reflex angle is
    // 360 minus the one given, whichever arm comes first.
    EXPECT_NEAR(*AngleDegrees({20, 10}, vertex, {0, 0}), 135.0, kExact);
    EXPECT_NEAR(*AngleDegrees({0, 0}, vertex, {20, 10}), 135.0, kExact);
    EXPECT_FALSE(AngleDegrees(vertex, vertex, {0, 10}).has_value());
    EXPECT_FALSE(AngleDegrees({0, 10}, vertex, vertex).has_value());
}

TEST(GeometryTest, CircleThroughThreePointsOnItsEdge) {
    // A 3-4-5 triangle's points on a circle of radius 5 about (10, 20).
    const auto circle = CircleThrough({13, 24}, {6, 23}, {15, 20});
    ASSERT_TRUE(circle.has_value());
    ExpectPoint(circle->centre, {10, 20});
    EXPECT_NEAR(circle->radius, 5.0, kExact);
    // A right angle: the hypotenuse is the diameter.
    const auto right = CircleThrough({4, 0}, {0, 0}, {0, 4});
    ASSERT_TRUE(right.has_value());
    ExpectPoint(right->centre, {2, 2});
    EXPECT_NEAR(right->radius, std::sqrt(8.0), kExact);
}

TEST(GeometryTest, NoCircleThroughPointsOnOneLine) {
    EXPECT_FALSE(CircleThrough({0, 0}, {1, 1}, {2, 2}).has_value());
    EXPECT_FALSE(CircleThrough({0.5, 3}, {100.5, 3}, {50.5, 3}).has_value());
    EXPECT_FALSE(CircleThrough({1, 1}, {1, 1}, {5, 3}).has_value());  // two coincide
    EXPECT_FALSE(CircleThrough({5, 3}, {1, 1}, {5, 3}).has_value());
    EXPECT_FALSE(CircleThrough({2, 2}, {2, 2}, {2, 2}).has_value());
}

TEST(GeometryTest, PolygonAreaAndPerimeter) {
    const std::vector<QPointF> triangle = {{0, 0}, {4, 0}, {0, 3}};
    EXPECT_NEAR(PolygonArea(triangle), 6.0, kExact);
    EXPECT_NEAR(PolygonPerimeter(triangle), 12.0, kExact);
    // An L: a 4 x 4 square less a 2 x 2 corner; the same read the other way round.
    std::vector<QPointF> ell = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}};
    EXPECT_NEAR(PolygonArea(ell), 12.0, kExact);
    EXPECT_NEAR(PolygonPerimeter(ell), 16.0, kExact);
    EXPECT_FALSE(PolygonCrossesItself(ell));
    std::reverse(ell.begin(), ell.end());
    EXPECT_NEAR(PolygonArea(ell), 12.0, kExact);
    EXPECT_FALSE(PolygonCrossesItself(triangle));
}

TEST(GeometryTest, SelfCrossingPolygonIsToldApart) {
    // A bow tie: its two halves' signed areas cancel, which is why it must be told apart.
    const std::vector<QPointF> bowTie = {{0, 0}, {10, 10}, {10, 0}, {0, 10}};
    EXPECT_TRUE(PolygonCrossesItself(bowTie));
    EXPECT_NEAR(PolygonArea(bowTie), 0.0, kExact);
    EXPECT_NEAR(PolygonPerimeter(bowTie), 20.0 + 2.0 * std::sqrt(200.0), kExact);
    // A closing edge that runs back over the first corner's edge crosses too.
    EXPECT_TRUE(PolygonCrossesItself({{0, 0}, {10, 0}, {10, 10}, {5, -5}}));
    EXPECT_FALSE(PolygonCrossesItself({{0, 0}, {10, 0}, {10, 10}, {0, 10}}));
}

TEST(GeometryTest, SnapsToTheNearest45DegreesKeepingTheProjection) {
    const QPointF start(5, 5);
    ExpectPoint(SnapTo45Degrees(start, {15, 6}), {15, 5});
    ExpectPoint(SnapTo45Degrees(start, {6, 15}), {5, 15});
    ExpectPoint(SnapTo45Degrees(start, {-5, 4.6}), {-5, 5});
    ExpectPoint(SnapTo45Degrees(start, {5.4, -5}), {5, -5});
    // 10 right, 9 down: on the diagonal, the projection (10 + 9) / sqrt 2 long.
    ExpectPoint(SnapTo45Degrees(start, {15, 14}), {14.5, 14.5});
    ExpectPoint(SnapTo45Degrees(start, {-5, -4}), {-4.5, -4.5});
    ExpectPoint(SnapTo45Degrees(start, start), start);
}

}  // namespace
}  // namespace dm::measure
