// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures opened from disk for measuring, with the scale they can be measured at.
#include <gtest/gtest.h>

#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include "measure/picture_reader.h"
#include "support/scratch_calibration_book.h"
#include "view/calibration_book.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"

namespace dm::measure {
namespace {

constexpr double kExact = 1e-9;
const QDateTime kTaken(QDate(2026, 12, 8), QTime(14, 5, 9));
// Zoom code 0x25: 185 px over 0.43 mm of the ruler table (a float: 430.23255...).
const double kNominalAt320 = *PixelsPerMillimetre(0x25, 320);

QImage Picture(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    return picture;
}

class PictureReaderTest : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QString Saved(const char* name, std::optional<uint8_t> zoomCode, int width = 320) const {
        const QString path = Path(name);
        EXPECT_TRUE(SavePictureFile(Picture(width, width * 3 / 4), path, kDefaultJpegQuality,
                                    {zoomCode, kTaken}));
        return path;
    }
    // A PNG as another program writes it: Qt's own, with the density given.
    QString ForeignPng(const char* name, int dotsPerMetre) const {
        QImage picture = Picture(200, 100);
        picture.setDotsPerMeterX(dotsPerMetre);
        picture.setDotsPerMeterY(dotsPerMetre);
        const QString path = Path(name);
        EXPECT_TRUE(QImageWriter(path, "png").write(picture));
        return path;
    }

    test::ScratchCalibrationBook book_;
    QTemporaryDir dir_;
};

TEST_F(PictureReaderTest, OurJpegNamesItsZoomCodeScaleAndTime) {
    const OpenedPicture opened = OpenPictureForMeasuring(Saved("00000012.jpg", 0x25, 640));
    ASSERT_EQ(opened.result, PictureOpening::kOpened);
    const MeasuredPicture& picture = opened.picture;
    EXPECT_EQ(picture.image.size(), QSize(640, 480));
    EXPECT_EQ(picture.zoomCode, uint8_t{0x25});
    EXPECT_EQ(picture.scale.source, ScaleSource::kNominal);
    EXPECT_NEAR(picture.scale.pixelsPerMillimetre, 2.0 * kNominalAt320, kExact);
    EXPECT_NEAR(picture.scale.pixelsPerMillimetre, 2.0 * 185.0 / 0.43, 1e-4);
    EXPECT_EQ(picture.taken, kTaken);
    EXPECT_EQ(picture.name, QStringLiteral("00000012.jpg"));
    EXPECT_EQ(opened.sheet.status, SheetStatus::kMissing);
}

// The zoom code in the file, not the scale written beside it, decides: a calibration made
// a year later applies to the old picture too, and forgetting it brings the nominal back.
TEST_F(PictureReaderTest, OldPictureIsMeasuredAtTheLaterCalibration) {
    const QString old = Saved("old.jpg", 0x25);
    ASSERT_TRUE(CalibrationBook::Shared().Set(0x25, {500.0, QDate(2027, 1, 15)}));
    PictureScale scale = OpenPictureForMeasuring(old).picture.scale;
    EXPECT_EQ(scale, (PictureScale{500.0, ScaleSource::kCalibrated, QDate(2027, 1, 15)}));
    const QString png = Saved("old.png", 0x25);
    EXPECT_EQ(OpenPictureForMeasuring(png).picture.scale.source, ScaleSource::kCalibrated);
    ASSERT_TRUE(CalibrationBook::Shared().Forget(0x25));
    scale = OpenPictureForMeasuring(old).picture.scale;
    EXPECT_EQ(scale.source, ScaleSource::kNominal);
    EXPECT_NEAR(scale.pixelsPerMillimetre, kNominalAt320, kExact);
}

TEST_F(PictureReaderTest, PngCarriesZoomCodeAndDensity) {
    const OpenedPicture ours = OpenPictureForMeasuring(Saved("ours.png", 0x25));
    ASSERT_EQ(ours.result, PictureOpening::kOpened);
    EXPECT_EQ(ours.picture.zoomCode, uint8_t{0x25});
    EXPECT_NEAR(ours.picture.scale.pixelsPerMillimetre, kNominalAt320, kExact);
    // Another program's PNG at a microscope's density: nominal, from the density.
    const OpenedPicture dense = OpenPictureForMeasuring(ForeignPng("dense.png", 250000));
    EXPECT_FALSE(dense.picture.zoomCode.has_value());
    EXPECT_EQ(dense.picture.scale, (PictureScale{250.0, ScaleSource::kNominal, {}}));
    // 96 dots per inch (3780 per metre), what Qt gives every picture: no scale at all.
    const OpenedPicture screen = OpenPictureForMeasuring(ForeignPng("screen.png", 3780));
    ASSERT_EQ(screen.result, PictureOpening::kOpened);
    EXPECT_FALSE(screen.picture.scale.Known());
    // 1200 dpi: a printer's, not a microscope's.
    EXPECT_FALSE(OpenPictureForMeasuring(ForeignPng("print.png", 47244)).picture.scale.Known());
}

TEST_F(PictureReaderTest, BmpHasOnlyItsDensity) {
    const OpenedPicture bmp = OpenPictureForMeasuring(Saved("ours.bmp", 0x00));
    ASSERT_EQ(bmp.result, PictureOpening::kOpened);
    EXPECT_FALSE(bmp.picture.zoomCode.has_value());
    EXPECT_EQ(bmp.picture.scale, (PictureScale{57.812, ScaleSource::kNominal, {}}));
    const OpenedPicture unscaled = OpenPictureForMeasuring(Saved("unscaled.bmp", 0x51));
    EXPECT_FALSE(unscaled.picture.scale.Known());
}

// A picture without a zoom code keeps the scale it was measured at when saved again, in
// every format, so the file alone still tells it.
TEST_F(PictureReaderTest, APictureWithoutZoomCodeKeepsItsOwnScaleWhenSavedAgain) {
    const PictureScale own{412.5, ScaleSource::kCalibrated, QDate(2026, 12, 8)};
    for (const char* name : {"again.jpg", "again.png", "again.bmp"}) {
        const QString path = Path(name);
        PictureFacts facts{std::nullopt, kTaken};
        facts.ownScale = own;
        ASSERT_TRUE(SavePictureFile(Picture(320, 240), path, kDefaultJpegQuality, facts));
        const MeasuredPicture again = OpenPictureForMeasuring(path).picture;
        EXPECT_FALSE(again.zoomCode.has_value()) << name;
        EXPECT_TRUE(again.scale.Known()) << name;
        EXPECT_NEAR(again.scale.pixelsPerMillimetre, own.pixelsPerMillimetre, 1e-3) << name;
    }
}

TEST_F(PictureReaderTest, SheetBesideThePictureGivesScaleAndZoomCode) {
    const QString png = ForeignPng("foreign.png", 3780);
    MeasurementSheet sheet;
    sheet.pictureFile = QStringLiteral("foreign.png");
    sheet.width = 200;
    sheet.height = 100;
    sheet.scale = {321.5, ScaleSource::kCalibrated, QDate(2026, 3, 1)};
    sheet.measurements = {{Tool::kLine, {{0, 0}, {10, 0}}}};
    ASSERT_TRUE(WriteSheetBeside(png, sheet));
    const OpenedPicture opened = OpenPictureForMeasuring(png);
    EXPECT_EQ(opened.sheet.status, SheetStatus::kRead);
    EXPECT_EQ(opened.picture.scale, sheet.scale);
    // A zoom code in the sheet wins over its recorded scale: it follows the calibrations.
    sheet.zoomCode = uint8_t{0x25};
    ASSERT_TRUE(WriteSheetBeside(png, sheet));
    const OpenedPicture withZoom = OpenPictureForMeasuring(png);
    EXPECT_EQ(withZoom.picture.zoomCode, uint8_t{0x25});
    EXPECT_NEAR(withZoom.picture.scale.pixelsPerMillimetre, kNominalAt320 * 200 / 320, kExact);
}

TEST_F(PictureReaderTest, DamagedSheetStillOpensThePicture) {
    const QString jpeg = Saved("damaged.jpg", 0x25);
    QFile sheet(SheetPathFor(jpeg));
    ASSERT_TRUE(sheet.open(QIODevice::WriteOnly));
    sheet.write("{\"format\": \"digital-microscope-measurements\", \"vers");
    sheet.close();
    const OpenedPicture opened = OpenPictureForMeasuring(jpeg);
    EXPECT_EQ(opened.result, PictureOpening::kOpened);
    EXPECT_EQ(opened.sheet.status, SheetStatus::kDamaged);
    EXPECT_FALSE(opened.sheet.detail.isEmpty());
    EXPECT_EQ(opened.picture.zoomCode, uint8_t{0x25});
}

TEST_F(PictureReaderTest, NoPictureIsUnreadable) {
    QFile text(Path("notes.jpg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are notes, not a picture\n");
    text.close();
    EXPECT_EQ(OpenPictureForMeasuring(Path("notes.jpg")).result, PictureOpening::kUnreadable);
    EXPECT_EQ(OpenPictureForMeasuring(Path("missing.png")).result, PictureOpening::kUnreadable);
}

}  // namespace
}  // namespace dm::measure
