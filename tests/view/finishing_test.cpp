// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "support/recording_window.h"
#include "view/download_finisher.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"
#include "view/view_test_pictures.h"

namespace dm {
namespace {

void Append(IMAGE_BUFFER& list, uint32_t info, const QByteArray& jpeg) {
    list.AppendPicture(info, reinterpret_cast<const uint8_t*>(jpeg.constData()),
                       static_cast<int32_t>(jpeg.size()));
}

class DownloadFinisherTest : public ::testing::Test {
  protected:
    DownloadFinisherTest() { state.connected = true; }

    // Lists `listed` pictures in the directory, of which the first `arrived` were received.
    void Download(int listed, int arrived) {
        state.directory.SetCount(static_cast<uint16_t>(listed));
        for (int i = 0; i < listed; ++i) {
            const uint32_t info = frame::MakeInfo(static_cast<uint32_t>(i + 1), 0x02);
            state.directory.SetEntry(i, {info, 1000});
            if (i < arrived) {
                Append(pictures, info, jpeg);
            }
        }
        state.downloadFinished = true;
    }

    QTemporaryDir folder;
    DeviceState state;
    test::RecordingWindow window;
    LiveViewSurface surface;
    DigitalZoom zoom{surface, window, folder.path()};
    IMAGE_BUFFER pictures;
    DownloadFinisher finisher{state, window, pictures, zoom};
    QByteArray jpeg = test::Jpeg(test::PatternPicture({320, 240}));
};

TEST_F(DownloadFinisherTest, FourPicturesMoveTheBarFrom80To100) {
    window.SetMessage(7, "Download complete");
    Download(4, 4);
    finisher.Timer2Timer();
    EXPECT_EQ(window.ProgressValues(), (std::vector<int>{80, 85, 90, 95, 100, 100, 0}));
    for (int n = 1; n <= 4; ++n) {
        EXPECT_TRUE(QFile::exists(folder.filePath(QString::number(n) + ".bmp"))) << n;
    }
    const std::vector<std::string> calls = window.Calls();
    const std::vector<std::string> tail(calls.end() - 5, calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"SetProgress 100", "ShowInfo Download complete",
                                              "SetProgress 0", "ApplyButtonSet Ready",
                                              "SetEnabled CameraBtn on"}));
    EXPECT_FALSE(state.downloadFinished.load());

    window.ClearCalls();
    finisher.Timer2Timer();  // the flag was taken
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(DownloadFinisherTest, ThreePicturesRoundTheSteps) {
    Download(3, 3);
    finisher.Timer2Timer();
    EXPECT_EQ(window.ProgressValues(), (std::vector<int>{80, 86, 93, 100, 100, 0}));
}

TEST_F(DownloadFinisherTest, APictureThatNeverArrivedIsMarkedAndTheCountIsTold) {
    window.SetMessage(message::kDownloadFinished, "Download complete");
    window.SetMessage(message::kDownloadIncomplete, "%1 of %2 received");
    Download(4, 4);
    pictures.Clear();
    Append(pictures, frame::MakeInfo(1, 0x02), jpeg);
    Append(pictures, frame::MakeInfo(2, 0x02), QByteArray());  // an empty record
    Append(pictures, frame::MakeInfo(3, 0x02), jpeg);
    // The fourth has no record at all: the download ended early.
    finisher.Timer2Timer();
    EXPECT_EQ(window.ProgressValues(), (std::vector<int>{80, 85, 90, 95, 100, 100, 0}));
    EXPECT_EQ(window.NotReceivedRows(), (std::vector<int>{1, 3}));
    EXPECT_TRUE(QFile::exists(folder.filePath("3.bmp")));
    EXPECT_FALSE(QFile::exists(folder.filePath("2.bmp")));
    EXPECT_TRUE(window.WaitForCall("ShowInfo 2 of 4 received", std::chrono::milliseconds(0)));
    for (const auto& call : window.Calls()) {
        EXPECT_NE(call.rfind("ShowError", 0), 0U) << call;
        EXPECT_NE(call, "ShowInfo Download complete");
    }
}

TEST_F(DownloadFinisherTest, APictureThatDoesNotDecodeIsReportedAndTheRestFinishes) {
    window.SetMessage(message::kDownloadFinished, "Download complete");
    state.directory.SetCount(2);
    state.directory.SetEntry(0, {frame::MakeInfo(1, 0), 10});
    state.directory.SetEntry(1, {frame::MakeInfo(2, 0), 10});
    Append(pictures, frame::MakeInfo(1, 0), QByteArray("garbage, not a picture"));
    Append(pictures, frame::MakeInfo(2, 0), jpeg);
    state.downloadFinished = true;
    finisher.Timer2Timer();
    EXPECT_TRUE(
        window.WaitForCall("ShowError These pictures could not be prepared for viewing: "
                           "00000001.jpg",
                           std::chrono::milliseconds(0)));
    EXPECT_EQ(window.ProgressValues(), (std::vector<int>{80, 90, 100, 100, 0}));
    EXPECT_TRUE(QFile::exists(folder.filePath("2.bmp")));
    EXPECT_FALSE(window.WaitForCall("ShowInfo Download complete", std::chrono::milliseconds(0)));
    EXPECT_TRUE(window.NotReceivedRows().empty());
}

}  // namespace
}  // namespace dm
