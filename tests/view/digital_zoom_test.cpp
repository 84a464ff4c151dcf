// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/digital_zoom.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "link/frame.h"
#include "support/recording_window.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"
#include "view/view_test_pictures.h"

namespace dm {
namespace {

class DigitalZoomTest : public ::testing::Test {
  protected:
    QImage ConvertAndLoad(const QByteArray& jpeg, uint32_t info) {
        EXPECT_TRUE(zoom.ConvertWithDigitalZoom(jpeg, info).converted);
        return LoadScratchPicture(ScratchPicturePath(folder.path(), info))
            .convertToFormat(QImage::Format_RGB888);
    }

    QTemporaryDir folder;
    test::RecordingWindow window;
    LiveViewSurface surface;
    DigitalZoom zoom{surface, window, folder.path()};
};

// Area averaging written independently: each enlarged pixel integrates the source over
// its footprint, in two dimensions at once.
QColor ReferenceEnlargedPixel(const QImage& source, QSize enlarged, int ex, int ey) {
    const double sx = static_cast<double>(source.width()) / enlarged.width();
    const double sy = static_cast<double>(source.height()) / enlarged.height();
    const double x0 = ex * sx;
    const double x1 = (ex + 1) * sx;
    const double y0 = ey * sy;
    const double y1 = (ey + 1) * sy;
    double sum[3] = {0, 0, 0};
    for (int y = static_cast<int>(y0); y < y1 && y < source.height(); ++y) {
        const double h = std::min(y1, y + 1.0) - std::max(y0, static_cast<double>(y));
        for (int x = static_cast<int>(x0); x < x1 && x < source.width(); ++x) {
            const double w = std::min(x1, x + 1.0) - std::max(x0, static_cast<double>(x));
            const QColor pixel = source.pixelColor(x, y);
            sum[0] += w * h * pixel.red();
            sum[1] += w * h * pixel.green();
            sum[2] += w * h * pixel.blue();
        }
    }
    const double area = sx * sy;
    return QColor(static_cast<int>(std::lround(sum[0] / area)),
                  static_cast<int>(std::lround(sum[1] / area)),
                  static_cast<int>(std::lround(sum[2] / area)));
}

TEST(DigitalZoomGeometryTest, EveryStepEnlargesAndCentresAsTabled) {
    struct Row {
        int width, height, x, y;
    };
    const Row table[16] = {
        {320, 240, 0, 0},     {470, 352, 75, 56},   {477, 358, 78, 59},   {484, 363, 82, 61},
        {492, 369, 86, 64},   {500, 375, 90, 67},   {507, 380, 93, 70},   {524, 393, 102, 76},
        {542, 406, 111, 83},  {561, 421, 120, 90},  {571, 428, 125, 94},  {581, 436, 130, 98},
        {592, 444, 136, 102}, {615, 461, 147, 110}, {615, 461, 147, 110}, {615, 461, 147, 110}};
    for (uint8_t step = 0; step < 16; ++step) {
        const QRect geometry = DigitalZoomGeometry(step);
        EXPECT_EQ(geometry,
                  QRect(-table[step].x, -table[step].y, table[step].width, table[step].height))
            << "step " << int(step);
    }
}

TEST_F(DigitalZoomTest, StepZeroKeepsTheTopLeftOfThePicturePixelForPixel) {
    const QByteArray jpeg = test::Jpeg(test::PatternPicture({400, 300}));
    const uint32_t info = frame::MakeInfo(7, 0x00);
    const QImage scratch = ConvertAndLoad(jpeg, info);
    EXPECT_EQ(scratch, DecodeJpegStream(jpeg).copy(0, 0, 320, 240));

    // An uncompressed BMP with 24 bits per pixel, named by the picture number.
    QFile file(folder.filePath("7.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(54);
    EXPECT_EQ(header.left(2), QByteArray("BM"));
    EXPECT_EQ(frame::ReadLe16(reinterpret_cast<const uint8_t*>(header.constData()) + 28), 24);
    EXPECT_EQ(frame::ReadLe32(reinterpret_cast<const uint8_t*>(header.constData()) + 30), 0U);
}

TEST_F(DigitalZoomTest, StepOneEnlargesTo470x352AndCutsAt75x56) {
    const QByteArray jpeg = test::Jpeg(test::PatternPicture({320, 240}));
    const DigitalZoomResult result = zoom.ConvertWithDigitalZoom(jpeg, frame::MakeInfo(4, 0x21));
    ASSERT_TRUE(result.converted);
    EXPECT_EQ(result.geometry, QRect(-75, -56, 470, 352));
    const QImage scratch =
        LoadScratchPicture(folder.filePath("4.bmp")).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(scratch.size(), QSize(320, 240));

    const QImage decoded = DecodeJpegStream(jpeg);
    int worst = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const QColor expected = ReferenceEnlargedPixel(decoded, {470, 352}, x + 75, y + 56);
            const QColor actual = scratch.pixelColor(x, y);
            worst = std::max({worst, std::abs(expected.red() - actual.red()),
                              std::abs(expected.green() - actual.green()),
                              std::abs(expected.blue() - actual.blue())});
        }
    }
    EXPECT_LE(worst, 1);
    // The window shows the working picture enlarged and centred.
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"ShowEnlargedLiveView -75,-56 470x352"});
    EXPECT_EQ(window.LastEnlargedLiveView().convertToFormat(QImage::Format_RGB888), decoded);
    EXPECT_TRUE(surface.TakeEnlarged());
}

TEST_F(DigitalZoomTest, TheZoomRangeDoesNotChangeTheDigitalZoom) {
    const QByteArray jpeg = test::Jpeg(test::PatternPicture({320, 240}));
    ASSERT_TRUE(zoom.ConvertWithDigitalZoom(jpeg, frame::MakeInfo(1, 0x05)).converted);
    ASSERT_TRUE(zoom.ConvertWithDigitalZoom(jpeg, frame::MakeInfo(2, 0x25)).converted);
    QFile first(folder.filePath("1.bmp"));
    QFile second(folder.filePath("2.bmp"));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
    EXPECT_EQ(first.readAll(), second.readAll());
}

TEST_F(DigitalZoomTest, ASmallerPictureLeavesThePreviousContentAroundIt) {
    ConvertAndLoad(test::Jpeg(test::FlatPicture({320, 240}, QColor(255, 0, 0))),
                   frame::MakeInfo(1, 0x00));
    const QImage scratch = ConvertAndLoad(
        test::Jpeg(test::FlatPicture({160, 120}, QColor(0, 0, 255))), frame::MakeInfo(2, 0x00));
    EXPECT_TRUE(test::Near(scratch.pixelColor(80, 60), QColor(0, 0, 255)));
    EXPECT_TRUE(test::Near(scratch.pixelColor(240, 180), QColor(255, 0, 0)));
}

TEST_F(DigitalZoomTest, APictureThatDoesNotDecodeWritesNothing) {
    const QImage before = surface.Picture();
    const DigitalZoomResult result =
        zoom.ConvertWithDigitalZoom(QByteArray("\xFF\xD8 broken", 9), frame::MakeInfo(5, 0x01));
    EXPECT_FALSE(result.converted);
    EXPECT_FALSE(QFile::exists(folder.filePath("5.bmp")));
    EXPECT_TRUE(window.Calls().empty());
    EXPECT_EQ(surface.Picture(), before);
    EXPECT_FALSE(surface.TakeEnlarged());
}

TEST_F(DigitalZoomTest, AMissingScratchFolderIsAFailure) {
    DigitalZoom lost(surface, window, folder.filePath("gone"));
    EXPECT_FALSE(lost.ConvertWithDigitalZoom(test::Jpeg(test::PatternPicture({320, 240})),
                                             frame::MakeInfo(6, 0x00))
                     .converted);
}

TEST(PictureFilesTest, NamesComeFromThePictureNumber) {
    EXPECT_EQ(ScratchPicturePath("/tmp/scratch", frame::MakeInfo(3, 0x25)).toStdString(),
              "/tmp/scratch/3.bmp");
    EXPECT_EQ(ScratchPicturePath("/tmp/scratch/", 12).toStdString(), "/tmp/scratch/12.bmp");
    EXPECT_EQ(DefaultJpegFileName(frame::MakeInfo(3, 0x00)).toStdString(), "00000003.jpg");
    EXPECT_EQ(DefaultJpegFileName(620756995U).toStdString(), "00000003.jpg");
    EXPECT_EQ(DefaultJpegFileName(frame::MakeInfo(1, 0xF0)).toStdString(), "00000001.jpg");
}

}  // namespace
}  // namespace dm
