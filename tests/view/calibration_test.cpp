// SPDX-License-Identifier: GPL-3.0-or-later
// Calibrations: the book on disk, and the scale every written file carries with it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/exif_reader.h"
#include "support/scratch_calibration_book.h"
#include "view/calibration_book.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"
#include "view/picture_scale.h"
#include "view_test_pictures.h"

namespace dm {
namespace {

using test::RationalValue;
using test::ReadExif;
using test::ReadXmp;

const QDateTime kTaken(QDate(2026, 12, 8), QTime(14, 5, 9));
const Calibration kCalibration{500.0, QDate(2026, 12, 8)};

class CalibrationTest : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QString SavedJpeg(uint8_t zoomCode, int width = 320) const {
        const QString path = Path("picture.jpg");
        EXPECT_TRUE(SavePictureFile(test::PatternPicture({width, width * 3 / 4}), path,
                                    kDefaultJpegQuality, {zoomCode, kTaken}));
        return path;
    }
    static CalibrationBook& Shared() { return CalibrationBook::Shared(); }

    test::ScratchCalibrationBook book_;
    QTemporaryDir dir_;
};

// What the measuring window uses is what a saved file says, for every zoom code.
TEST_F(CalibrationTest, NominalScaleIsTheSavedExifScale) {
    for (int code = 0; code <= 0xFF; ++code) {
        if ((code & 0x0F) != 0 && (code & 0x0F) != 0x0F && code != 0x25 && code != 0x31) {
            continue;  // a sample of each range's steps keeps the test quick
        }
        const auto zoomCode = static_cast<uint8_t>(code);
        const PictureScale scale = ScaleOf(zoomCode, 320);
        SCOPED_TRACE(code);
        auto tags = ReadExif(SavedJpeg(zoomCode));
        if (!scale.Known()) {
            EXPECT_EQ(tags.count("Exif.Image.XResolution"), 0U);
            continue;
        }
        EXPECT_EQ(scale.source, ScaleSource::kNominal);
        EXPECT_NEAR(RationalValue(tags["Exif.Image.XResolution"]), scale.pixelsPerMillimetre * 10.0,
                    0.001);
        EXPECT_EQ(ReadXmp(Path("picture.jpg"))["Xmp.dm.ScaleSource"], "nominal");
    }
    EXPECT_EQ(ScaleOf(0x25, 0), PictureScale{});
    EXPECT_FALSE(ScaleOf(0x31, 320).Known());  // 48X: a magnification, no ruler length
}

TEST_F(CalibrationTest, CalibrationChangesScaleAndEveryFileWrittenAfterIt) {
    ASSERT_TRUE(Shared().Set(0x25, kCalibration));
    EXPECT_EQ(ScaleOf(0x25, 320),
              (PictureScale{500.0, ScaleSource::kCalibrated, kCalibration.date}));
    EXPECT_EQ(ScaleOf(0x25, 640).pixelsPerMillimetre, 1000.0);
    EXPECT_EQ(ScaleOf(0x24, 320).source, ScaleSource::kNominal);  // other zoom codes keep theirs
    EXPECT_EQ(ScaleDescription(0x25, 320),
              QStringLiteral("52X, 1 mm = 500.0 px (calibrated 2026-12-08)"));

    const QString jpeg = SavedJpeg(0x25, 640);
    auto tags = ReadExif(jpeg);
    EXPECT_NEAR(RationalValue(tags["Exif.Image.XResolution"]), 10000.0, 0.001);
    EXPECT_EQ(tags["Exif.Image.ImageDescription"], "52X, 1 mm = 1000.0 px (calibrated 2026-12-08)");
    auto xmp = ReadXmp(jpeg);
    EXPECT_EQ(xmp["Xmp.dm.ZoomCode"], "37");
    EXPECT_EQ(xmp["Xmp.dm.ScaleSource"], "calibrated");
    EXPECT_EQ(xmp["Xmp.dm.CalibratedOn"], "2026-12-08");

    for (const char* name : {"picture.png", "picture.bmp"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(SavePictureFile(test::PatternPicture({320, 240}), Path(name),
                                    kDefaultJpegQuality, {uint8_t{0x25}, kTaken}));
        EXPECT_EQ(QImage(Path(name)).dotsPerMeterX(), 500000);
    }

    // A zoom code without a ruler gets a scale from its calibration alone.
    ASSERT_TRUE(Shared().Set(0x31, {250.0, QDate(2026, 12, 9)}));
    EXPECT_EQ(ReadExif(SavedJpeg(0x31))["Exif.Image.ImageDescription"],
              "48X, 1 mm = 250.0 px (calibrated 2026-12-09)");
}

TEST_F(CalibrationTest, ForgetRestoresTheNominalScale) {
    const PictureScale nominal = ScaleOf(0x25, 320);
    ASSERT_TRUE(Shared().Set(0x25, kCalibration));
    ASSERT_TRUE(Shared().Forget(0x25));
    EXPECT_EQ(ScaleOf(0x25, 320), nominal);
    EXPECT_NEAR(RationalValue(ReadExif(SavedJpeg(0x25))["Exif.Image.XResolution"]), 4302.326,
                0.001);
    EXPECT_TRUE(Shared().Forget(0x25));  // nothing to forget is no failure
}

TEST_F(CalibrationTest, BookIsWrittenAsAnIniFileAndReadBack) {
    ASSERT_TRUE(Shared().Set(0x25, kCalibration));
    ASSERT_TRUE(Shared().Set(0x2F, {1.0 / 3.0 * 2500.0, QDate(2027, 2, 28)}));
    QFile file(book_.Path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("[Zoom_0x25]"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("[Zoom_0x2F]"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Date = 2026-12-08")) ||
                text.contains(QStringLiteral("Date=2026-12-08")))
        << text.toStdString();

    CalibrationBook reopened;
    reopened.Open(book_.Path());
    EXPECT_EQ(reopened.All(), Shared().All());
    EXPECT_EQ(reopened.All().size(), 2U);
}

TEST_F(CalibrationTest, UnwritableBookStaysAsItWas) {
    QFile blocker(Path("not-a-folder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));  // a file where the folder would be
    blocker.close();
    CalibrationBook book;
    book.Open(Path("not-a-folder/Calibration.ini"));
    QString why;
    EXPECT_FALSE(book.Set(0x25, kCalibration, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(book.All().empty());

    // A book that was written, then became unwritable, keeps its entry either way.
    CalibrationBook kept;
    const QString folder = Path("kept");
    ASSERT_TRUE(QDir().mkpath(folder));
    kept.Open(QDir(folder).filePath(QStringLiteral("Calibration.ini")));
    ASSERT_TRUE(kept.Set(0x25, kCalibration));
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blockerOfKept(folder);
    ASSERT_TRUE(blockerOfKept.open(QIODevice::WriteOnly));  // the folder is a file now
    blockerOfKept.close();
    EXPECT_FALSE(kept.Set(0x25, {600.0, QDate(2027, 1, 1)}));
    EXPECT_FALSE(kept.Forget(0x25));
    EXPECT_EQ(kept.Find(0x25), kCalibration);
}

TEST_F(CalibrationTest, DamagedBookIsEmpty) {
    const struct {
        const char* what;
        QByteArray text;
    } cases[] = {
        {"not text", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18)},
        {"bad entries",
         "[Zoom_0x25]\nPixelsPerMillimetre=many\nDate=2026-12-08\n"
         "[Zoom_0x24]\nPixelsPerMillimetre=-5\nDate=2026-12-08\n"
         "[Zoom_0x23]\nPixelsPerMillimetre=500\nDate=yesterday\n"
         "[Zoom_0x2]\nPixelsPerMillimetre=500\nDate=2026-12-08\n"
         "[Zoom_0xZZ]\nPixelsPerMillimetre=500\nDate=2026-12-08\n"
         "[Zoom_0x22]\nPixelsPerMillimetre=inf\nDate=2026-12-08\n"},
        {"cut short", "[Zoom_0x25]\nPixelsPerMil"},
    };
    for (const auto& damaged : cases) {
        SCOPED_TRACE(damaged.what);
        QFile file(book_.Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damaged.text);
        file.close();
        Shared().Open(book_.Path());
        EXPECT_TRUE(Shared().All().empty());
        EXPECT_EQ(ScaleOf(0x25, 320).source, ScaleSource::kNominal);
    }
    // One good entry among bad ones is kept: the damage is the entry's, not the book's.
    QFile file(book_.Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        "[Zoom_0x25]\nPixelsPerMillimetre=many\n[Zoom_0x0f]\nPixelsPerMillimetre=210.5\n"
        "Date=2026-12-01\n");
    file.close();
    Shared().Open(book_.Path());
    EXPECT_EQ(Shared().All().size(), 1U);
    EXPECT_EQ(Shared().Find(0x0F), (Calibration{210.5, QDate(2026, 12, 1)}));
}

TEST_F(CalibrationTest, PngNamesProgramAndZoomCodeAndBmpNothingMore) {
    ASSERT_TRUE(SavePictureFile(test::PatternPicture({320, 240}), Path("named.png"),
                                kDefaultJpegQuality, {uint8_t{0x25}, kTaken}));
    const QImage png(Path("named.png"));
    EXPECT_EQ(png.text(QString::fromLatin1(kPngZoomCodeKey)), QStringLiteral("37"));
    EXPECT_EQ(png.text(QStringLiteral("Software")),
              QStringLiteral("Digital Microscope ") + DM_VERSION);
    EXPECT_EQ(PngZoomCode(png), uint8_t{0x25});
    QFile bytes(Path("named.png"));
    ASSERT_TRUE(bytes.open(QIODevice::ReadOnly));
    EXPECT_TRUE(bytes.readAll().contains(kPngZoomCodeKey));  // a text chunk Qt really wrote

    ASSERT_TRUE(SavePictureFile(test::PatternPicture({320, 240}), Path("plain.bmp"),
                                kDefaultJpegQuality, {uint8_t{0x25}, kTaken}));
    EXPECT_EQ(QFileInfo(Path("plain.bmp")).size(), 54 + 320 * 240 * 3);  // header and pixels
    // Without a zoom code a PNG names only the program.
    ASSERT_TRUE(SavePictureFile(test::PatternPicture({320, 240}), Path("unnamed.png"),
                                kDefaultJpegQuality, {std::nullopt, kTaken}));
    EXPECT_FALSE(PngZoomCode(QImage(Path("unnamed.png"))).has_value());
}

}  // namespace
}  // namespace dm
