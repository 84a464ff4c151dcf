// SPDX-License-Identifier: GPL-3.0-or-later
// The scale bar: 1-2-5 lengths whose drawn length is rounded, never truncated.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "measure/scale_bar.h"
#include "support/scratch_calibration_book.h"

namespace dm::measure {
namespace {

PictureScale Nominal(double pixelsPerMillimetre) {
    return {pixelsPerMillimetre, ScaleSource::kNominal, {}};
}

TEST(ScaleBarTest, DrawnLengthIsRoundedToTheNearestPixel) {
    const test::ScratchCalibrationBook book;  // nominal scales only
    const struct {
        PictureScale scale;
        double millimetres;
        int pixels;  // truncation would give one less where the fraction is .5 or more
    } cases[] = {
        {Nominal(4302.0), 0.1, 430},     // 100 µm at 4.302 px/µm
        {Nominal(4307.0), 0.1, 431},     // 430.7
        {ScaleOf(0x00, 320), 1.0, 58},   // 57.8125
        {ScaleOf(0x00, 320), 2.0, 116},  // 115.625
        {ScaleOf(0x0F, 320), 0.5, 103},  // 102.78
        {ScaleOf(0x25, 640), 0.1, 86},   // 86.05
        {Nominal(99.5), 0.001 * 5, 0},   // 0.4975
        {Nominal(0.5), 1.0, 1},          // exactly half: away from zero
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.scale.pixelsPerMillimetre);
        EXPECT_EQ(ScaleBarOf(expected.millimetres, expected.scale).pixels, expected.pixels);
    }
}

TEST(ScaleBarTest, ChoosesTheLongest125LengthUpToAQuarterOfTheWidth) {
    const test::ScratchCalibrationBook book;
    const struct {
        PictureScale scale;
        int width;
        const char* label;
        int pixels;
    } cases[] = {
        {ScaleOf(0x00, 320), 320, "1 mm", 58},  // 2 mm would be 116 of 80
        {ScaleOf(0x25, 320), 320, "100 \u00B5m", 43},
        {ScaleOf(0x2F, 320), 320, "50 \u00B5m", 42},  // 100 µm: 84 of 80
        {Nominal(10.0), 2000, "50 mm", 500},          // exactly a quarter
        {Nominal(2000.0), 320, "20 \u00B5m", 40},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.label);
        const auto bar = ChooseScaleBar(expected.scale, expected.width);
        ASSERT_TRUE(bar.has_value());
        EXPECT_EQ(bar->label, QString::fromUtf8(expected.label));
        EXPECT_EQ(bar->pixels, expected.pixels);
    }
    EXPECT_FALSE(ChooseScaleBar({}, 320).has_value());            // uncalibrated
    EXPECT_FALSE(ChooseScaleBar(Nominal(100.0), 3).has_value());  // not even 1 µm fits
}

// The bar's white run is as long as the bar says, in the corner asked for.
TEST(ScaleBarTest, DrawnBarIsExactlyItsLength) {
    const ScaleBar bar = ScaleBarOf(0.1, Nominal(4302.0));
    for (const Corner corner : {Corner::kBottomRight, Corner::kTopLeft}) {
        QImage picture(1600, 1200, QImage::Format_RGB32);
        picture.fill(Qt::black);
        {
            QPainter painter(&picture);
            DrawScaleBar(painter, QRectF(picture.rect()), bar, corner);
        }
        int longestRun = 0;
        int runRow = -1;
        int runEnd = -1;
        for (int y = 0; y < picture.height(); ++y) {
            int run = 0;
            for (int x = 0; x < picture.width(); ++x) {
                run = picture.pixel(x, y) == qRgb(255, 255, 255) ? run + 1 : 0;
                if (run > longestRun) {
                    longestRun = run;
                    runRow = y;
                    runEnd = x;
                }
            }
        }
        EXPECT_EQ(longestRun, 430);
        const bool bottomRight = corner == Corner::kBottomRight;
        EXPECT_EQ(runRow > picture.height() / 2, bottomRight);
        EXPECT_EQ(runEnd > picture.width() / 2, bottomRight);
    }
}

}  // namespace
}  // namespace dm::measure
