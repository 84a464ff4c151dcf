// SPDX-License-Identifier: GPL-3.0-or-later
// Saved pictures carry the ruler's scale: EXIF in JPEGs, pixel density in PNGs and BMPs.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "support/exif_reader.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"
#include "view_test_pictures.h"

namespace dm {
namespace {

using test::RationalValue;
using test::ReadExif;

const QDateTime kTaken(QDate(2026, 12, 8), QTime(14, 5, 9));

struct ExpectedScale {
    uint8_t zoomCode;
    const char* description;  // of a 320-pixel-wide picture
    double pixelsPerCm;       // 185 pixels over the ruler's millimetres, times ten
};

// Figures worked out by hand from the ruler table: 185 px over 3.2, 0.9, 1.6, 0.43, 0.22 mm.
constexpr ExpectedScale kScales[] = {
    {0x00, "7X, 1 mm = 57.8 px", 578.125},     {0x0F, "25X, 1 mm = 205.6 px", 2055.556},
    {0x07, "14X, 1 mm = 115.6 px", 1156.25},   {0x25, "52X, 1 mm = 430.2 px", 4302.326},
    {0x2F, "108X, 1 mm = 840.9 px", 8409.091},
};

class PictureStampTest : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
};

TEST_F(PictureStampTest, JpegCarriesTheRulersScaleForEveryZoomCodeWithARuler) {
    const QImage picture = test::PatternPicture({320, 240});
    for (const ExpectedScale& expected : kScales) {
        SCOPED_TRACE(expected.zoomCode);
        const QString path = Path("scaled.jpg");
        ASSERT_TRUE(SaveJpegFile(picture, path, kDefaultJpegQuality, {expected.zoomCode, kTaken}));
        auto tags = ReadExif(path);
        EXPECT_NEAR(RationalValue(tags["Exif.Image.XResolution"]), expected.pixelsPerCm, 0.001);
        EXPECT_NEAR(RationalValue(tags["Exif.Image.YResolution"]), expected.pixelsPerCm, 0.001);
        EXPECT_EQ(tags["Exif.Image.ResolutionUnit"], "3");  // centimetre
        EXPECT_EQ(tags["Exif.Image.ImageDescription"], expected.description);
        EXPECT_EQ(tags["Exif.Photo.DateTimeOriginal"], "2026:12:08 14:05:09");
        EXPECT_EQ(tags["Exif.Image.Software"], std::string("Digital Microscope ") + DM_VERSION);
    }
}

TEST_F(PictureStampTest, ScaleFollowsTheSavedWidth) {
    const QString path = Path("wide.jpg");
    ASSERT_TRUE(SaveJpegFile(test::PatternPicture({640, 480}), path, kDefaultJpegQuality,
                             {uint8_t{0x00}, kTaken}));
    auto tags = ReadExif(path);
    EXPECT_NEAR(RationalValue(tags["Exif.Image.XResolution"]), 1156.25, 0.001);
    EXPECT_EQ(tags["Exif.Image.ImageDescription"], "7X, 1 mm = 115.6 px");
}

// Ranges 3 and 15 have a magnification but no ruler length; others have neither.
TEST_F(PictureStampTest, NoScaleWithoutARulerLength) {
    const struct {
        std::optional<uint8_t> zoomCode;
        const char* description;
    } cases[] = {
        {uint8_t{0x31}, "48X"}, {uint8_t{0xF0}, "255X"}, {uint8_t{0x51}, ""}, {std::nullopt, ""}};
    for (const auto& unscaled : cases) {
        const QString path = Path("unscaled.jpg");
        ASSERT_TRUE(SaveJpegFile(test::PatternPicture({320, 240}), path, kDefaultJpegQuality,
                                 {unscaled.zoomCode, kTaken}));
        auto tags = ReadExif(path);
        EXPECT_EQ(tags.count("Exif.Image.XResolution"), 0U);
        EXPECT_EQ(tags.count("Exif.Image.ResolutionUnit"), 0U);
        EXPECT_EQ(tags["Exif.Image.ImageDescription"], unscaled.description);
        EXPECT_EQ(tags["Exif.Photo.DateTimeOriginal"], "2026:12:08 14:05:09");
    }
}

TEST_F(PictureStampTest, StampingLeavesThePixelsAlone) {
    const QByteArray plain = EncodeJpegStream(test::PatternPicture({320, 240}), 90);
    const QByteArray stamped = StampJpeg(plain, {uint8_t{0x25}, kTaken});
    ASSERT_GT(stamped.size(), plain.size());
    // Everything from the quantisation tables on is the encoder's own, byte for byte.
    const QByteArray tablesMarker("\xFF\xDB", 2);
    EXPECT_EQ(stamped.mid(stamped.indexOf(tablesMarker)), plain.mid(plain.indexOf(tablesMarker)));
    EXPECT_EQ(DecodeJpegStream(stamped, QImage::Format_RGB32),
              DecodeJpegStream(plain, QImage::Format_RGB32));
    const QByteArray notJpeg("not a picture");
    EXPECT_EQ(StampJpeg(notJpeg, {uint8_t{0x25}, kTaken}), notJpeg);
}

TEST_F(PictureStampTest, PngAndBmpCarryTheScaleAsPixelDensity) {
    const QImage picture = test::PatternPicture({320, 240});
    for (const char* name : {"scaled.png", "scaled.bmp"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(
            SavePictureFile(picture, Path(name), kDefaultJpegQuality, {uint8_t{0x00}, kTaken}));
        const QImage read(Path(name));
        EXPECT_EQ(read.dotsPerMeterX(), 57812);  // 57.8125 px/mm of the table's 32-bit 3.2
        EXPECT_EQ(read.dotsPerMeterY(), 57812);
        EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32),
                  picture.convertToFormat(QImage::Format_RGB32));
    }
    ASSERT_TRUE(SavePictureFile(picture, Path("unscaled.png"), kDefaultJpegQuality,
                                {uint8_t{0x51}, kTaken}));
    QFile png(Path("unscaled.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    EXPECT_FALSE(png.readAll().contains("pHYs"));
    EXPECT_EQ(QImage(Path("unscaled.png")).convertToFormat(QImage::Format_RGB32),
              picture.convertToFormat(QImage::Format_RGB32));
    ASSERT_TRUE(SavePictureFile(picture, Path("unscaled.bmp"), kDefaultJpegQuality,
                                {uint8_t{0x51}, kTaken}));
    QFile bmp(Path("unscaled.bmp"));
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    EXPECT_EQ(bmp.readAll().mid(38, 8), QByteArray(8, '\0'));
}

}  // namespace
}  // namespace dm
