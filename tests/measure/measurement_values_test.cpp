// SPDX-License-Identifier: GPL-3.0-or-later
// What each tool shows: in pixels without a scale, in millimetres at one.
#include <gtest/gtest.h>

#include <numbers>

#include "measure/measurement.h"

namespace dm::measure {
namespace {

constexpr double kExact = 1e-9;
const PictureScale kUncalibrated;
const PictureScale kHundredPerMm{100.0, ScaleSource::kNominal, {}};

struct Expected {
    Quantity quantity;
    double amount;
    bool inPixels;
};

void ExpectValues(const Values& values, std::initializer_list<Expected> expected,
                  Problem problem = Problem::kNone) {
    EXPECT_EQ(values.problem, problem);
    ASSERT_EQ(values.values.size(), expected.size());
    size_t i = 0;
    for (const Expected& value : expected) {
        SCOPED_TRACE(i);
        EXPECT_EQ(values.values[i].quantity, value.quantity);
        EXPECT_NEAR(values.values[i].amount, value.amount, kExact);
        EXPECT_EQ(values.values[i].inPixels, value.inPixels);
        ++i;
    }
}

TEST(MeasurementValuesTest, LinesInPixelsAndAtAScale) {
    const Measurement line{Tool::kLine, {{10, 10}, {40, 50}}};
    ExpectValues(Evaluate(line, kUncalibrated), {{Quantity::kLength, 50.0, true}});
    ExpectValues(Evaluate(line, kHundredPerMm), {{Quantity::kLength, 0.5, false}});
    const Measurement polyline{Tool::kPolyline, {{0, 0}, {30, 40}, {30, 100}}};
    ExpectValues(Evaluate(polyline, kHundredPerMm), {{Quantity::kLength, 1.1, false}});
}

TEST(MeasurementValuesTest, AngleKnowsNoScale) {
    const Measurement angle{Tool::kAngle, {{20, 10}, {10, 10}, {10, 30}}};
    ExpectValues(Evaluate(angle, kHundredPerMm), {{Quantity::kAngle, 90.0, false}});
    const Measurement noArm{Tool::kAngle, {{10, 10}, {10, 10}, {10, 30}}};
    ExpectValues(Evaluate(noArm, kHundredPerMm), {}, Problem::kNoAngle);
}

TEST(MeasurementValuesTest, CircleDiameterRadiusAreaAndCentre) {
    const Measurement circle{Tool::kCircle, {{13, 24}, {6, 23}, {15, 20}}};  // r 5 about (10, 20)
    const double areaPx = std::numbers::pi * 25.0;
    ExpectValues(Evaluate(circle, kUncalibrated), {{Quantity::kLength, 10.0, true},
                                                   {Quantity::kLength, 5.0, true},
                                                   {Quantity::kArea, areaPx, true},
                                                   {Quantity::kCoordinate, 10.0, true},
                                                   {Quantity::kCoordinate, 20.0, true}});
    ExpectValues(Evaluate(circle, kHundredPerMm), {{Quantity::kLength, 0.1, false},
                                                   {Quantity::kLength, 0.05, false},
                                                   {Quantity::kArea, areaPx / 10000.0, false},
                                                   {Quantity::kCoordinate, 10.0, true},
                                                   {Quantity::kCoordinate, 20.0, true}});
    const Measurement collinear{Tool::kCircle, {{0, 0}, {5, 5}, {10, 10}}};
    ExpectValues(Evaluate(collinear, kHundredPerMm), {}, Problem::kCollinear);
}

TEST(MeasurementValuesTest, RectangleAndPolygonAreaAndPerimeter) {
    // Corners given either way round: 100 x 50 px.
    const Measurement rectangle{Tool::kRectangle, {{110, 60}, {10, 10}}};
    ExpectValues(Evaluate(rectangle, kUncalibrated),
                 {{Quantity::kArea, 5000.0, true}, {Quantity::kLength, 300.0, true}});
    ExpectValues(Evaluate(rectangle, kHundredPerMm),
                 {{Quantity::kArea, 0.5, false}, {Quantity::kLength, 3.0, false}});
    const Measurement triangle{Tool::kPolygon, {{0, 0}, {400, 0}, {0, 300}}};
    ExpectValues(Evaluate(triangle, kHundredPerMm),
                 {{Quantity::kArea, 6.0, false}, {Quantity::kLength, 12.0, false}});
    const Measurement bowTie{Tool::kPolygon, {{0, 0}, {100, 100}, {100, 0}, {0, 100}}};
    const Values crossed = Evaluate(bowTie, kHundredPerMm);
    EXPECT_EQ(crossed.problem, Problem::kCrossesItself);
    EXPECT_EQ(crossed.values.size(), 2U);  // shown, with the warning
}

TEST(MeasurementValuesTest, CountAndTooFewPoints) {
    const Measurement count{Tool::kCount, {{1, 1}, {5, 5}, {9, 9}}, 2};
    ExpectValues(Evaluate(count, kHundredPerMm), {{Quantity::kNumber, 3.0, false}});
    for (const Measurement& unfinished :
         {Measurement{Tool::kLine, {{1, 1}}}, Measurement{Tool::kAngle, {{1, 1}, {2, 2}}},
          Measurement{Tool::kPolygon, {{1, 1}, {2, 2}}}, Measurement{Tool::kCount, {}}}) {
        ExpectValues(Evaluate(unfinished, kHundredPerMm), {}, Problem::kTooFewPoints);
    }
}

TEST(MeasurementValuesTest, ToolKeysReadBackAndCalibrationIsNeverStored) {
    for (const Tool tool : {Tool::kLine, Tool::kPolyline, Tool::kAngle, Tool::kCircle,
                            Tool::kRectangle, Tool::kPolygon, Tool::kCount}) {
        EXPECT_EQ(ToolFromKey(QString::fromLatin1(ToolKey(tool))), tool) << ToolKey(tool);
    }
    EXPECT_FALSE(ToolFromKey(QStringLiteral("calibrate")).has_value());
    EXPECT_FALSE(ToolFromKey(QStringLiteral("Line")).has_value());
}

}  // namespace
}  // namespace dm::measure
