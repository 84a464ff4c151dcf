// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "commands/upload_picture.h"
#include "view/jpeg_codec.h"
#include "view/view_test_pictures.h"

namespace dm {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kBaselineFrameMarker = 0xC0;  // SOF0, what the encoder writes
constexpr int kFrameHeightOffset = 5;           // from the marker's first byte
constexpr int kFrameWidthOffset = 7;
constexpr int kForgedSide = 16384;
// A full 32-bit decode of the forged picture needs 16384 * 16384 * 4 bytes (1 GiB); even
// the 24-bit one needs 768 MiB. A refused stream must stay far below that.
constexpr long long kAllowedGrowthKiB = 128 * 1024;
const QSize kUploadBox(kUploadWidth, kUploadHeight);

void WriteBigEndian16(QByteArray& bytes, qsizetype at, int value) {
    bytes[at] = static_cast<char>((value >> 8) & 0xFF);
    bytes[at + 1] = static_cast<char>(value & 0xFF);
}

// A real 64 x 48 stream whose frame header claims another size; the scan data that
// follows stays that of the small picture.
QByteArray ForgedJpeg(int width, int height) {
    QByteArray jpeg = EncodeJpegStream(test::PatternPicture({64, 48}));
    for (qsizetype i = 0; i + 1 < jpeg.size(); ++i) {
        if (static_cast<uint8_t>(jpeg[i]) == kMarker &&
            static_cast<uint8_t>(jpeg[i + 1]) == kBaselineFrameMarker) {
            WriteBigEndian16(jpeg, i + kFrameHeightOffset, height);
            WriteBigEndian16(jpeg, i + kFrameWidthOffset, width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header in the encoded stream";
    return {};
}

const uint8_t* Bytes(const QByteArray& jpeg) {
    return reinterpret_cast<const uint8_t*>(jpeg.constData());
}

// A "Vm...: N kB" line of /proc/self/status; -1 when absent.
long long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::atoll(line.c_str() + field.size() + 1);
        }
    }
    return -1;
}

class JpegCodecTest : public ::testing::Test {
  protected:
    QString WriteFile(const QString& name, const QByteArray& bytes) {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir folder;
};

TEST_F(JpegCodecTest, ForgedHugeHeaderIsRefusedByEveryDecode) {
    const QByteArray forged = ForgedJpeg(kForgedSide, kForgedSide);
    ASSERT_FALSE(forged.isEmpty());
    const auto size = static_cast<std::size_t>(forged.size());
    EXPECT_TRUE(DecodeJpeg(Bytes(forged), size).isNull());
    EXPECT_TRUE(DecodeJpeg(Bytes(forged), size, QImage::Format_RGB888).isNull());
    EXPECT_TRUE(DecodeJpeg(Bytes(forged), size, QImage::Format_RGB32).isNull());
    EXPECT_TRUE(DecodeJpegStream(forged).isNull());
    EXPECT_TRUE(DecodeJpegStream(forged, QImage::Format_RGB888).isNull());
    EXPECT_TRUE(DecodeJpegStream(forged, QImage::Format_RGB32).isNull());
    EXPECT_TRUE(DecodeJpegFile(WriteFile("forged.jpg", forged)).isNull());
}

// The peak virtual size after the decodes, against the size before them: a refused stream
// must not have mapped anything near the size of the claimed picture. Works the same
// under the sanitizers, whose allocators map large blocks on demand.
TEST_F(JpegCodecTest, ForgedHugeHeaderAllocatesNoPicture) {
    const QByteArray forged = ForgedJpeg(kForgedSide, kForgedSide);
    const QString path = WriteFile("forged.jpg", forged);
    const long long before = StatusKiB("VmSize");
    const long long peakBefore = StatusKiB("VmPeak");
    if (before < 0 || peakBefore < 0) {
        GTEST_SKIP() << "no /proc/self/status";
    }
    if (peakBefore - before > kAllowedGrowthKiB) {
        GTEST_SKIP() << "an earlier test left a higher peak; run this test on its own";
    }
    const auto size = static_cast<std::size_t>(forged.size());
    const bool allRefused = DecodeJpeg(Bytes(forged), size, QImage::Format_RGB32).isNull() &&
                            DecodeJpegStream(forged).isNull() && DecodeJpegFile(path).isNull();
    // A user's file is decoded reduced: 2048 x 2048 here at most, never whole.
    const QImage reduced = DecodeJpegFileToFit(path, kUploadBox);
    const long long peakAfter = StatusKiB("VmPeak");
    EXPECT_TRUE(allRefused);
    EXPECT_LE(reduced.width(), kForgedSide / 8);
    EXPECT_LT(peakAfter - before, kAllowedGrowthKiB);
}

TEST_F(JpegCodecTest, SidesUpTo4096AreAcceptedBeyondRefused) {
    constexpr int kThin = 16;
    for (const QSize size : {QSize(kMaxPictureSide, kThin), QSize(kThin, kMaxPictureSide)}) {
        const QImage decoded = DecodeJpegStream(ForgedJpeg(size.width(), size.height()));
        EXPECT_EQ(decoded.size(), size);
    }
    for (const QSize size :
         {QSize(kMaxPictureSide + 1, kThin), QSize(kThin, kMaxPictureSide + 1)}) {
        const QByteArray forged = ForgedJpeg(size.width(), size.height());
        EXPECT_TRUE(DecodeJpegStream(forged).isNull()) << size.width() << "x" << size.height();
        EXPECT_TRUE(DecodeJpegStream(forged, QImage::Format_RGB32).isNull());
    }
}

TEST_F(JpegCodecTest, ZeroSidesAreRefused) {
    for (const QSize size : {QSize(0, 48), QSize(64, 0)}) {
        const QByteArray forged = ForgedJpeg(size.width(), size.height());
        EXPECT_TRUE(DecodeJpegStream(forged).isNull());
        EXPECT_TRUE(DecodeJpegStream(forged, QImage::Format_RGB32).isNull());
        EXPECT_TRUE(DecodeJpegFileToFit(WriteFile("zero.jpg", forged), kUploadBox).isNull());
    }
}

TEST_F(JpegCodecTest, UploadFileIsDecodedReducedButCoveringTheFit) {
    const QString path = WriteFile("big.jpg", test::Jpeg(test::PatternPicture({1280, 960})));
    const QImage full = DecodeJpegFile(path);
    const QImage reduced = DecodeJpegFileToFit(path, kUploadBox);
    ASSERT_EQ(full.size(), QSize(1280, 960));
    EXPECT_EQ(reduced.size(), QSize(320, 240));  // a quarter, the smallest that covers
    EXPECT_EQ(reduced.format(), QImage::Format_RGB888);

    // What is uploaded is what the whole picture gave, up to resampling.
    const QImage before = BuildUploadPicture(full);
    const QImage after = BuildUploadPicture(reduced);
    ASSERT_EQ(after.size(), before.size());
    long long difference = 0;
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const QColor a = before.pixelColor(x, y);
            const QColor b = after.pixelColor(x, y);
            difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                          std::abs(a.blue() - b.blue());
        }
    }
    const long long meanPerChannel = difference / (3LL * before.width() * before.height());
    EXPECT_LE(meanPerChannel, 6);
}

TEST_F(JpegCodecTest, UploadReductionCoversEachDirectionOnItsOwn) {
    // Wide and low: the height, not the width, decides how far it may be reduced.
    const QString path = WriteFile("wide.jpg", test::Jpeg(test::PatternPicture({1000, 300})));
    const QImage reduced = DecodeJpegFileToFit(path, kUploadBox);
    EXPECT_GE(reduced.height(), kUploadHeight);
    EXPECT_LT(reduced.width(), 1000);
    EXPECT_EQ(BuildUploadPicture(reduced).size(), kUploadBox);
}

TEST_F(JpegCodecTest, SmallUploadFileIsDecodedWhole) {
    const QString path = WriteFile("small.jpg", test::Jpeg(test::PatternPicture({200, 100})));
    EXPECT_EQ(DecodeJpegFileToFit(path, kUploadBox).size(), QSize(200, 100));
}

TEST_F(JpegCodecTest, UploadFileWithBrokenDataIsRefusedWhateverItsHeaderClaims) {
    for (const QSize size : {QSize(16384, 16384), QSize(640, 480)}) {
        const QString path = WriteFile("forged.jpg", ForgedJpeg(size.width(), size.height()));
        EXPECT_TRUE(DecodeJpegFileToFit(path, kUploadBox).isNull()) << size.width();
    }
    QByteArray cut = test::Jpeg(test::PatternPicture({640, 480}));
    cut.chop(cut.size() / 2);
    EXPECT_TRUE(DecodeJpegFileToFit(WriteFile("cut.jpg", cut), kUploadBox).isNull());
}

TEST_F(JpegCodecTest, MissingOrEmptyUploadFileGivesNothing) {
    EXPECT_TRUE(DecodeJpegFileToFit(folder.filePath("absent.jpg"), kUploadBox).isNull());
    EXPECT_TRUE(DecodeJpegFileToFit(WriteFile("empty.jpg", {}), kUploadBox).isNull());
    EXPECT_TRUE(DecodeJpegFileToFit(WriteFile("text.jpg", "not a picture"), kUploadBox).isNull());
}

}  // namespace
}  // namespace dm
