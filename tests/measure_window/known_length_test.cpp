// SPDX-License-Identifier: GPL-3.0-or-later
// The known length typed when calibrating, as the calibration dialog reads it.
#include <gtest/gtest.h>

#include "measure_window/known_length.h"

namespace dm {
namespace {

TEST(KnownLength, ReadsUnitsDecimalCommasAndBareNumbers) {
    const auto mm = KnownLengthUnit::kMillimetre;
    EXPECT_DOUBLE_EQ(*ParseKnownLength(QStringLiteral("1 mm"), KnownLengthUnit::kMicrometre), 1.0);
    EXPECT_DOUBLE_EQ(*ParseKnownLength(QStringLiteral("250 \u00B5m"), mm), 0.25);
    EXPECT_DOUBLE_EQ(*ParseKnownLength(QStringLiteral("250um"), mm), 0.25);
    EXPECT_DOUBLE_EQ(*ParseKnownLength(QStringLiteral(" 250 \u03BCm "), mm), 0.25);
    EXPECT_DOUBLE_EQ(*ParseKnownLength(QStringLiteral("0,5"), mm), 0.5);
    EXPECT_DOUBLE_EQ(*ParseKnownLength(QStringLiteral(".5"), KnownLengthUnit::kMicrometre), 0.0005);
}

TEST(KnownLength, RefusesZeroNegativesAndGarbage) {
    for (const char* text :
         {"0", "0 mm", "-1 mm", "", "mm", "1 cm", "1e400", "one mm", "1 mm 2", "0.0.1"}) {
        EXPECT_FALSE(ParseKnownLength(QString::fromUtf8(text), KnownLengthUnit::kMillimetre))
            << text;
    }
}

}  // namespace
}  // namespace dm
