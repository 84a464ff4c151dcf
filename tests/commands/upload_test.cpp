// SPDX-License-Identifier: GPL-3.0-or-later
// The upload picture's placement and the paced upload on the wire.
#include <QImage>
#include <atomic>
#include <memory>

#include "command_fixture.h"
#include "commands/command_codes.h"
#include "commands/upload_picture.h"
#include "link/frame.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"

namespace dm::test {
namespace {

QImage Solid(int width, int height, QColor colour) {
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(colour);
    return picture;
}

TEST(UploadPictureTest, WidePictureBecomesACentredBandOnBlack) {
    EXPECT_EQ(UploadPlacement(640, 240), QRect(0, 60, 320, 120));
    const QImage upload = BuildUploadPicture(Solid(640, 240, Qt::red));
    ASSERT_EQ(upload.size(), QSize(320, 240));
    EXPECT_EQ(upload.pixelColor(160, 59), QColor(Qt::black));
    EXPECT_EQ(upload.pixelColor(160, 60), QColor(Qt::red));
    EXPECT_EQ(upload.pixelColor(0, 179), QColor(Qt::red));
    EXPECT_EQ(upload.pixelColor(319, 180), QColor(Qt::black));
}

TEST(UploadPictureTest, TallPictureIsCentredSideways) {
    EXPECT_EQ(UploadPlacement(240, 480), QRect(100, 0, 120, 240));
    EXPECT_EQ(UploadPlacement(320, 240), QRect(0, 0, 320, 240));
    EXPECT_EQ(UploadPlacement(1600, 1200), QRect(0, 0, 320, 240));
    EXPECT_TRUE(BuildUploadPicture(QImage()).isNull());
}

class UploadTest : public CommandTest {
  protected:
    // Everything written after the header, joined.
    QByteArray Payload() const {
        QByteArray joined;
        const auto writes = port_.Writes();
        for (std::size_t i = 1; i < writes.size(); ++i) {
            joined.append(reinterpret_cast<const char*>(writes[i].data()),
                          static_cast<qsizetype>(writes[i].size()));
        }
        return joined;
    }
};

TEST_F(UploadTest, ThousandBytesGoOutAsHeaderAnd32ByteWrites) {
    window_.SetMessage(12, "Uploaded");
    QByteArray stream(1000, '\0');
    for (int i = 0; i < stream.size(); ++i) {
        stream[i] = static_cast<char>(i * 7);
    }
    commands_.SendUploadStream(stream);
    const auto writes = port_.Writes();
    ASSERT_EQ(writes.size(), 33U);
    EXPECT_EQ(FakeDevicePort::Hex(writes[0]), "F8 27 E8 03");
    for (std::size_t i = 1; i < 32; ++i) {
        EXPECT_EQ(writes[i].size(), 32U);
    }
    EXPECT_EQ(writes[32].size(), 8U);
    EXPECT_EQ(Payload(), stream);
    const auto progress = window_.ProgressValues();
    EXPECT_EQ(progress.front(), 0);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
    EXPECT_EQ(progress[progress.size() - 2], 100);
    EXPECT_EQ(progress.back(), 0);
    EXPECT_TRUE(Contains(window_.Calls(), "ShowInfo Uploaded"));
}

TEST_F(UploadTest, MemoryFullStopsAfterTheHeader) {
    data_.SetHandler([this](const Bytes& frame) {
        if (frame.size() == 4 && frame[1] == frame::kUpload) {
            state_.memoryFull = true;
        }
    });
    commands_.SendUploadStream(QByteArray(100, 'x'));
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 27 64 00"}));
    EXPECT_TRUE(window_.Calls().empty());
}

// A pulled cable: the header went out, the picture did not. No "finished".
TEST_F(UploadTest, FailedWritesAreReportedNotCalledFinished) {
    port_.FailWritesAfter(3);
    commands_.SendUploadStream(QByteArray(1000, 'x'));
    EXPECT_EQ(port_.Writes().size(), 3U) << "the upload stops at the first failed write";
    EXPECT_EQ(window_.Calls().back(),
              "ShowError " + window_.Message(message::kUploadNotSent).toStdString());
    EXPECT_FALSE(window_.WaitForCall("ShowInfo", 0ms));

    port_.FailWritesAfter(0);
    window_.ClearCalls();
    commands_.SendUploadStream(QByteArray(1000, 'x'));
    EXPECT_EQ(window_.Calls(),
              (std::vector<std::string>{"ShowError " +
                                        window_.Message(message::kUploadNotSent).toStdString()}));
}

// The microscope refuses the picture 100 ms after its last byte, or in the middle of it:
// the data thread's memory-full box stands alone, without a contradicting "finished".
TEST_F(UploadTest, MemoryFullAfterTheLastByteOrMidwayIsNoSuccess) {
    window_.SetMessage(message::kUploadFinished, "Uploaded");
    for (const std::size_t refusedAfterWrite : {33U, 10U}) {
        SCOPED_TRACE(refusedAfterWrite);
        port_.ClearWrites();
        window_.ClearCalls();
        auto writes = std::make_shared<std::atomic<std::size_t>>(0);
        data_.SetHandler([this, refusedAfterWrite, writes](const Bytes&) {
            if (++*writes == refusedAfterWrite) {
                std::this_thread::sleep_for(100ms);
                port_.AddBytesReceived(frame::kHeaderSize);
                state_.memoryFull = true;
            }
        });
        commands_.SendUploadStream(QByteArray(1000, 'x'));
        EXPECT_FALSE(window_.WaitForCall("ShowInfo", 0ms));
        EXPECT_EQ(window_.ProgressValues().back(), 0);
    }
}

// A memory-full frame answers one upload header; it does not stop the uploads after it.
TEST_F(UploadTest, AnEarlierMemoryFullDoesNotStopTheNextUpload) {
    state_.memoryFull = true;
    commands_.SendUploadStream(QByteArray(64, 'x'));
    EXPECT_EQ(port_.Writes().size(), 3U);
}

TEST_F(UploadTest, StreamsThatDoNotFitTheLengthFieldAreNotSent) {
    commands_.SendUploadStream(QByteArray());
    commands_.SendUploadStream(QByteArray(65535, 'x'));
    EXPECT_TRUE(port_.Writes().empty());
}

TEST_F(UploadTest, BitmapFileIsFittedPreviewedAndSent) {
    const QString path = scratch_.filePath("wide.bmp");
    ASSERT_TRUE(Solid(640, 240, Qt::white).save(path, "BMP"));
    window_.QueueUploadChoice(OpenPictureChoice{path, 2});
    Run(command::kUpload, 60s);

    EXPECT_TRUE(Contains(window_.Calls(), "ShowPreview 320x240"));
    const auto writes = port_.Writes();
    ASSERT_GE(writes.size(), 2U);
    ASSERT_EQ(writes[0].size(), 4U);
    const QByteArray jpeg = Payload();
    EXPECT_EQ(frame::ReadLe16(writes[0].data() + 2), jpeg.size());
    const QImage sent = DecodeJpegStream(jpeg);
    ASSERT_EQ(sent.size(), QSize(320, 240));
    EXPECT_LT(qGray(sent.pixel(160, 20)), 30);    // black above the band
    EXPECT_GT(qGray(sent.pixel(160, 120)), 220);  // the picture itself
    EXPECT_EQ(window_.Calls().back(), "SetEnabled CameraBtn on");
    EXPECT_EQ(state_.transferStatus.load(), kTransferDone);
}

TEST_F(UploadTest, FileOfTheKindTheFilterDoesNotNameIsStillSent) {
    const QString bitmap = scratch_.filePath("typed.bmp");
    ASSERT_TRUE(Solid(320, 240, Qt::white).save(bitmap, "BMP"));
    const QString jpeg = scratch_.filePath("typed.jpg");
    ASSERT_TRUE(SaveJpegFile(Solid(320, 240, Qt::white), jpeg, kDefaultJpegQuality, {}));
    window_.QueueUploadChoice(OpenPictureChoice{bitmap, 1});  // JPEG filter, BMP file
    Run(command::kUpload, 60s);
    window_.QueueUploadChoice(OpenPictureChoice{jpeg, 2});  // bitmap filter, JPEG file
    Run(command::kUpload, 60s);

    const auto calls = window_.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ShowPreview 320x240"), 2);
    const auto writes = port_.Writes();
    EXPECT_EQ(std::count_if(writes.begin(), writes.end(),
                            [](const Bytes& w) {
                                return w.size() == 4 && w[0] == frame::kLead &&
                                       w[1] == frame::kUpload;
                            }),
              2);
}

TEST_F(UploadTest, UnreadableFileIsAnErrorAndNothingIsSent) {
    window_.SetMessage(11, "Cannot read");
    window_.QueueUploadChoice(OpenPictureChoice{scratch_.filePath("missing.jpg"), 1});
    Run(command::kUpload);
    window_.QueueUploadChoice(std::nullopt);  // and a cancelled dialog
    Run(command::kUpload);
    EXPECT_TRUE(port_.Writes().empty());
    const auto calls = window_.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ShowError Cannot read"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ApplyButtonSet Ready"), 2);
}

}  // namespace
}  // namespace dm::test
