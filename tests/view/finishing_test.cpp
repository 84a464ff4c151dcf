#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "commands/command_codes.h"
#include "link/frame.h"
#include "support/recording_window.h"
#include "view/download_finisher.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"
#include "view/snapshot_finisher.h"
#include "view/view_test_pictures.h"

namespace dm {
namespace {

void Append(IMAGE_BUFFER& list, uint32_t info, const QByteArray& jpeg) {
    list.AppendPicture(info, reinterpret_cast<const uint8_t*>(jpeg.constData()),
                       static_cast<int32_t>(jpeg.size()));
}

class DownloadFinisherTest : public ::testing::Test {
  protected:
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

TEST_F(DownloadFinisherTest, APictureThatNeverArrivedIsSkipped) {
    Download(3, 2);
    finisher.Timer2Timer();
    EXPECT_EQ(window.ProgressValues(), (std::vector<int>{80, 86, 93, 100, 100, 0}));
    EXPECT_TRUE(QFile::exists(folder.filePath("2.bmp")));
    EXPECT_FALSE(QFile::exists(folder.filePath("3.bmp")));
    for (const auto& call : window.Calls()) {
        EXPECT_NE(call.rfind("ShowError", 0), 0U) << call;
    }
}

TEST_F(DownloadFinisherTest, APictureThatDoesNotDecodeIsReportedAndTheRestFinishes) {
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
}

class SnapshotFinisherTest : public ::testing::Test {
  protected:
    void StepUntilFinishing() {
        finisher.Begin();
        for (int tick = 0; tick < 52; ++tick) {
            finisher.Step();
        }
        ASSERT_EQ(finisher.State(), SnapshotState::Finishing);
    }
    void CommandEnds(bool save) {
        if (save) {
            state.snapshotFileName = folder.filePath("P20240101_1.jpg");
            state.snapshotSaveRequested.store(true, std::memory_order_release);
        }
        state.snapshotBusy = false;
    }
    void ExpectCameraRestored() {
        EXPECT_EQ(finisher.State(), SnapshotState::Idle);
        EXPECT_EQ(requests, (std::vector<uint16_t>{command::kSnapshot, command::kCameraOn}));
        EXPECT_TRUE(state.liveView.load());
        EXPECT_FALSE(state.collect.load());
        EXPECT_FALSE(state.snapshotInProgress.load());
        const std::vector<std::string> calls = window.Calls();
        ASSERT_GE(calls.size(), 3U);
        const std::vector<std::string> tail(calls.end() - 3, calls.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"SetCameraGlyph Camera-Off.bmp",
                                                  "SetEnabled ListView1 off",
                                                  "SetEnabled SnapShotBtn on"}));
    }

    QTemporaryDir folder;
    DeviceState state;
    test::RecordingWindow window;
    LiveViewSurface surface;
    DigitalZoom zoom{surface, window, folder.path()};
    IMAGE_BUFFER snapshots;
    std::vector<uint16_t> requests;
    SnapshotFinisher finisher{state, window, snapshots, zoom,
                              [this](uint16_t code) { requests.push_back(code); }};
};

TEST_F(SnapshotFinisherTest, The51stTickRequestsAndThe52ndStartsTheSnapshot) {
    state.liveView = true;
    state.collect = true;
    finisher.Begin();
    for (int tick = 1; tick <= 50; ++tick) {
        finisher.Step();
        ASSERT_EQ(finisher.State(), SnapshotState::Settling) << tick;
    }
    finisher.Step();  // 51st
    EXPECT_EQ(finisher.State(), SnapshotState::Requesting);
    EXPECT_TRUE(requests.empty());
    finisher.Step();  // 52nd
    EXPECT_EQ(requests, std::vector<uint16_t>{command::kSnapshot});
    EXPECT_TRUE(state.snapshotCapture.load());
    EXPECT_FALSE(state.liveView.load());
    EXPECT_FALSE(state.collect.load());
    EXPECT_TRUE(state.snapshotBusy.load());
    EXPECT_EQ(finisher.State(), SnapshotState::Finishing);

    // Nothing happens while the snapshot command runs.
    for (int tick = 0; tick < 10; ++tick) {
        finisher.Step();
    }
    EXPECT_EQ(requests.size(), 1U);
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(SnapshotFinisherTest, ASavedSnapshotUsesTheLiveZoomAndRemovesItsScratchPicture) {
    state.currentPictureInfo = frame::MakeInfo(12, 0x21);
    StepUntilFinishing();
    Append(snapshots, 0, test::Jpeg(test::PatternPicture({320, 240})));
    CommandEnds(true);
    finisher.Step();

    const QImage saved = DecodeJpegFile(folder.filePath("P20240101_1.jpg"));
    EXPECT_EQ(saved.size(), QSize(320, 240));
    EXPECT_FALSE(QFile::exists(folder.filePath("12.bmp")));
    EXPECT_TRUE(
        window.WaitForCall("ShowEnlargedLiveView -75,-56 470x352", std::chrono::milliseconds(0)));
    EXPECT_FALSE(state.snapshotSaveRequested.load());
    ExpectCameraRestored();
}

TEST_F(SnapshotFinisherTest, ADeclinedSnapshotOnlyRestoresTheCamera) {
    StepUntilFinishing();
    Append(snapshots, 0, test::Jpeg(test::PatternPicture({320, 240})));
    CommandEnds(false);
    finisher.Step();
    EXPECT_EQ(window.Calls().size(), 3U);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList());
    ExpectCameraRestored();
}

TEST_F(SnapshotFinisherTest, ASnapshotThatNeverArrivedIsNotSavedAndTheUserIsTold) {
    Append(snapshots, 0, test::Jpeg(test::PatternPicture({320, 240})));  // an older one
    StepUntilFinishing();
    CommandEnds(true);
    finisher.Step();
    EXPECT_FALSE(QFile::exists(folder.filePath("P20240101_1.jpg")));
    EXPECT_TRUE(
        window.WaitForCall("ShowError The snapshot picture was not received from the microscope.",
                           std::chrono::milliseconds(0)));
    ExpectCameraRestored();
}

}  // namespace
}  // namespace dm
