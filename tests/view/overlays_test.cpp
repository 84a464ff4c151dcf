// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/overlays.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <set>
#include <utility>

#include "view/view_test_pictures.h"

namespace dm {
namespace {

using test::CountPixels;

const QColor kGrey(90, 90, 90);
const QRect kMagnificationBox(260, 0, 60, 30);
const QRect kRulerLabelBox(250, 220, 70, 20);

// Keeps the overlays independent of the machine's locale; restores it afterwards.
class OverlaysTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { QLocale::setDefault(saved_); }

    static QImage Grey() {
        return test::FlatPicture({320, 240}, kGrey).convertToFormat(QImage::Format_RGB32);
    }

  private:
    QLocale saved_;
};

std::set<std::pair<int, int>> ExpectedRulerPixels() {
    std::set<std::pair<int, int>> red;
    for (int x = 40; x < 225; ++x) {
        red.insert({x, 230});
    }
    for (int x : {40, 58, 77, 95, 114, 132, 151, 169, 188, 206, 225}) {
        for (int y = 230; y > 220; --y) {
            red.insert({x, y});
        }
    }
    for (int x : {40, 132, 225}) {
        for (int y = 230; y > 215; --y) {
            red.insert({x, y});
        }
    }
    return red;
}

TEST_F(OverlaysTest, RulerLinesArePixelExactAndLeaveEachEndPointOut) {
    QImage picture = Grey();
    DrawRuler(picture, 0x00, kLiveOverlayBackground);
    const auto expected = ExpectedRulerPixels();
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            if (kRulerLabelBox.contains(x, y)) {
                continue;
            }
            const bool red = picture.pixelColor(x, y) == kRulerLineColor;
            EXPECT_EQ(red, expected.count({x, y}) == 1) << "at " << x << "," << y;
            if (!red) {
                ASSERT_EQ(picture.pixelColor(x, y), kGrey) << "at " << x << "," << y;
            }
        }
    }
    // The second points: the base line's end is only reached by the last tick's start.
    EXPECT_EQ(picture.pixelColor(58, 220), kGrey);
    EXPECT_EQ(picture.pixelColor(40, 215), kGrey);
    EXPECT_EQ(picture.pixelColor(225, 215), kGrey);
}

TEST_F(OverlaysTest, LabelsFollowTheZoomCode) {
    struct Case {
        uint8_t zoomCode;
        const char* magnification;
        const char* ruler;  // nullptr: no ruler length
    };
    const Case cases[] = {{0x00, "7X", "3.20mm"},  {0x0F, "25X", "0.90mm"},
                          {0x20, "27X", "0.83mm"}, {0x2F, "108X", "0.22mm"},
                          {0x0E, "24X", "0.95mm"}, {0x35, "48X", nullptr},
                          {0xF0, "255X", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoomCode);
        QImage picture = Grey();
        DrawOverlays(picture, c.zoomCode, true, true, kLiveOverlayBackground);
        EXPECT_GT(CountPixels(picture, kMagnificationBox, kMagnificationColor), 20);
        const std::optional<QString> ruler = RulerLabel(c.zoomCode);
        if (c.ruler != nullptr) {
            ASSERT_TRUE(ruler.has_value());
            EXPECT_EQ(ruler->toStdString(), c.ruler);
            EXPECT_GT(CountPixels(picture, kRulerLabelBox, kRulerLabelColor), 10);
        } else {
            EXPECT_FALSE(ruler.has_value());
            EXPECT_EQ(CountPixels(picture, kRulerLabelBox, kRulerLabelColor), 0);
            EXPECT_EQ(picture.pixelColor(250, 225), kGrey);  // no label cell either
        }
        // No lines either without a length: ticks alone are no scale.
        EXPECT_EQ(picture.pixelColor(132, 216) == kRulerLineColor, c.ruler != nullptr);
    }
    EXPECT_EQ(MagnificationLabel(108).toStdString(), "108X");
}

TEST_F(OverlaysTest, MagnificationLabelStartsAt260AndIsOpaque) {
    for (uint8_t m : {7, 108, 255}) {
        QImage picture = Grey();
        DrawMagnification(picture, m, kLiveOverlayBackground);
        int left = 320;
        int right = -1;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 320; ++x) {
                if (picture.pixelColor(x, y) == kMagnificationColor) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        EXPECT_GE(left, 260);
        EXPECT_LE(left, 265);
        // Between the glyphs the label's cell shows the background, not the picture.
        for (int y = 0; y < 20; ++y) {
            for (int x = 260; x <= right; ++x) {
                const QColor pixel = picture.pixelColor(x, y);
                ASSERT_TRUE(pixel == kMagnificationColor || pixel == kLiveOverlayBackground)
                    << "at " << x << "," << y;
            }
        }
        EXPECT_EQ(picture.pixelColor(259, 5), kGrey);
    }
}

TEST_F(OverlaysTest, BrowsedPicturesGetWhiteLabelCells) {
    QImage picture = Grey();
    DrawOverlays(picture, 0x00, true, true, kBrowseOverlayBackground);
    EXPECT_GT(CountPixels(picture, kMagnificationBox, kBrowseOverlayBackground), 50);
    EXPECT_GT(CountPixels(picture, kRulerLabelBox, kBrowseOverlayBackground), 50);
    EXPECT_EQ(CountPixels(picture, QRect(0, 0, 320, 240), kLiveOverlayBackground), 0);
}

TEST_F(OverlaysTest, RulerLabelUsesTheLocaleDecimalSeparator) {
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(RulerLabel(0x00)->toStdString(), "3,20mm");
    EXPECT_EQ(RulerLabel(0x2F)->toStdString(), "0,22mm");
}

TEST_F(OverlaysTest, OnlyTheRequestedOverlaysAreDrawn) {
    QImage rulerOnly = Grey();
    DrawOverlays(rulerOnly, 0x0F, false, true, kLiveOverlayBackground);
    EXPECT_EQ(CountPixels(rulerOnly, rulerOnly.rect(), kMagnificationColor), 0);
    EXPECT_EQ(rulerOnly.pixelColor(40, 230), kRulerLineColor);

    QImage magnificationOnly = Grey();
    DrawOverlays(magnificationOnly, 0x0F, true, false, kLiveOverlayBackground);
    EXPECT_EQ(CountPixels(magnificationOnly, magnificationOnly.rect(), kRulerLineColor), 0);
    EXPECT_EQ(CountPixels(magnificationOnly, magnificationOnly.rect(), kRulerLabelColor), 0);

    // A zoom range without a magnification draws no label at all.
    QImage noRange = Grey();
    DrawOverlays(noRange, 0x50, true, false, kLiveOverlayBackground);
    EXPECT_EQ(noRange, Grey());
}

}  // namespace
}  // namespace dm
