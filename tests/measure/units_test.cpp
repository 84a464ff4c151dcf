// SPDX-License-Identifier: GPL-3.0-or-later
// How values are written: the unit chosen, its decimals, the micro sign and "≈".
#include <gtest/gtest.h>

#include "measure/units.h"

namespace dm::measure {
namespace {

const PictureScale kNominal{100.0, ScaleSource::kNominal, {}};
const PictureScale kCalibrated{100.0, ScaleSource::kCalibrated, QDate(2026, 12, 8)};
const PictureScale kUncalibrated;
const QString kMicrometres = QString::fromUtf8("\u00B5m");
const QString kSquareMicrometres = QString::fromUtf8("\u00B5m\u00B2");
const QString kSquareMillimetres = QString::fromUtf8("mm\u00B2");
const QString kApprox = QString::fromUtf8("\u2248");

Value Length(double millimetres) {
    return {Quantity::kLength, millimetres, false};
}
Value Area(double squareMillimetres) {
    return {Quantity::kArea, squareMillimetres, false};
}

void ExpectShown(const ShownValue& shown, const QString& number, const QString& unit) {
    EXPECT_EQ(shown.number, number);
    EXPECT_EQ(shown.unit, unit);
}

TEST(UnitsTest, AutomaticUnitKeepsOneToFourDigitsBeforeThePoint) {
    const UnitChoice oneDecimal{LengthUnit::kAuto, 1};
    ExpectShown(Show(Length(0.9999), kCalibrated, oneDecimal), QStringLiteral("999.9"),
                kMicrometres);
    ExpectShown(Show(Length(1.0), kCalibrated, oneDecimal), QStringLiteral("1.0"),
                QStringLiteral("mm"));
    ExpectShown(Show(Length(9999.0), kCalibrated, oneDecimal), QStringLiteral("9999.0"),
                QStringLiteral("mm"));
    ExpectShown(Show(Length(0.0025), kCalibrated, {}), QStringLiteral("2.500"), kMicrometres);
    // Judged on the number as written: 999.9996 µm would read "1000.000 µm".
    ExpectShown(Show(Length(0.9999996), kCalibrated, {}), QStringLiteral("1.000"),
                QStringLiteral("mm"));
    ExpectShown(Show(Length(0.9999994), kCalibrated, {}), QStringLiteral("999.999"), kMicrometres);
}

TEST(UnitsTest, MicroSignIsTheMicroSign) {
    const ShownValue shown = Show(Length(0.5), kCalibrated, {});
    ASSERT_EQ(shown.unit.size(), 2);
    EXPECT_EQ(shown.unit.at(0).unicode(), 0x00B5);  // not the Greek letter mu, U+03BC
}

TEST(UnitsTest, FixedUnitsAndDecimals) {
    ExpectShown(Show(Length(2.0), kCalibrated, {LengthUnit::kMicrometre, 0}),
                QStringLiteral("2000"), kMicrometres);
    ExpectShown(Show(Length(0.0125), kCalibrated, {LengthUnit::kMillimetre, 4}),
                QStringLiteral("0.0125"), QStringLiteral("mm"));
    ExpectShown(Show(Length(0.5), kCalibrated, {LengthUnit::kPixel, 2}), QStringLiteral("50.00"),
                QStringLiteral("px"));
    ExpectShown(Show(Length(1.23456789), kCalibrated, {LengthUnit::kMillimetre, 99}),
                QStringLiteral("1.234568"), QStringLiteral("mm"));  // six at most
}

TEST(UnitsTest, AlmostEqualOnlyAtANominalScale) {
    ExpectShown(Show(Length(1.5), kNominal, {}), kApprox + QStringLiteral("1.500"),
                QStringLiteral("mm"));
    ExpectShown(Show(Length(1.5), kCalibrated, {}), QStringLiteral("1.500"), QStringLiteral("mm"));
    // Pixels are counted, not estimated.
    ExpectShown(Show(Length(1.5), kNominal, {LengthUnit::kPixel, 1}), QStringLiteral("150.0"),
                QStringLiteral("px"));
    ExpectShown(Show({Quantity::kAngle, 45.0, false}, kNominal, {}), QStringLiteral("45.000"),
                QString::fromUtf8("\u00B0"));
}

TEST(UnitsTest, WithoutAScaleEverythingIsPixels) {
    for (const LengthUnit unit : {LengthUnit::kAuto, LengthUnit::kMicrometre,
                                  LengthUnit::kMillimetre, LengthUnit::kPixel}) {
        ExpectShown(Show({Quantity::kLength, 50.25, true}, kUncalibrated, {unit, 2}),
                    QStringLiteral("50.25"), QStringLiteral("px"));
        ExpectShown(Show({Quantity::kArea, 5000.0, true}, kUncalibrated, {unit, 0}),
                    QStringLiteral("5000"), QString::fromUtf8("px\u00B2"));
    }
}

TEST(UnitsTest, AreasTakeTheUnitOfTheirSide) {
    // 0.25 mm² is a 0.5 mm square: µm², 250000 of them.
    ExpectShown(Show(Area(0.25), kCalibrated, {LengthUnit::kAuto, 0}), QStringLiteral("250000"),
                kSquareMicrometres);
    ExpectShown(Show(Area(4.0), kCalibrated, {}), QStringLiteral("4.000"), kSquareMillimetres);
    ExpectShown(Show(Area(1.0), kCalibrated, {}), QStringLiteral("1.000"), kSquareMillimetres);
    ExpectShown(Show(Area(0.5), kCalibrated, {LengthUnit::kPixel, 0}), QStringLiteral("5000"),
                QString::fromUtf8("px\u00B2"));
    ExpectShown(Show(Area(2.0), kCalibrated, {LengthUnit::kMicrometre, 0}),
                QStringLiteral("2000000"), kSquareMicrometres);
}

TEST(UnitsTest, CountsAndCoordinates) {
    ExpectShown(Show({Quantity::kNumber, 17.0, false}, kNominal, {}), QStringLiteral("17"),
                QString());
    ExpectShown(Show({Quantity::kCoordinate, 12.5, true}, kNominal, {LengthUnit::kAuto, 1}),
                QStringLiteral("12.5"), QStringLiteral("px"));
}

}  // namespace
}  // namespace dm::measure
