// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot button's sequence on the window thread: settle, request the command, wait
// for it, save what the user asked for, switch the camera on again.
#include "commands/snapshot_finisher.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/message_numbers.h"
#include "commands/command_codes.h"
#include "link/frame.h"
#include "support/recording_window.h"
#include "view/jpeg_codec.h"
#include "view/live_view_surface.h"
#include "view/view_test_pictures.h"

namespace dm {
namespace {

void Append(IMAGE_BUFFER& list, uint32_t info, const QByteArray& jpeg) {
    list.AppendPicture(info, reinterpret_cast<const uint8_t*>(jpeg.constData()),
                       static_cast<int32_t>(jpeg.size()));
}

class SnapshotFinisherTest : public ::testing::Test {
  protected:
    SnapshotFinisherTest() { state.connected = true; }

    void StepUntilFinishing() {
        finisher.Begin();
        for (int tick = 0; tick < 52; ++tick) {
            finisher.Step();
        }
        ASSERT_EQ(finisher.State(), SnapshotState::Finishing);
    }
    // The snapshot command's part: it starts, and ends having asked for the file or not.
    void CommandEnds(bool save, const QString& name = "P20240101_1.jpg") {
        uint8_t waiting = kSnapshotRequestWaiting;
        ASSERT_TRUE(
            state.snapshotRequest.compare_exchange_strong(waiting, kSnapshotRequestRunning));
        if (save) {
            state.snapshotFileName = folder.filePath(name);
            state.snapshotSaveRequested.store(true, std::memory_order_release);
        }
        state.snapshotBusy = false;
    }
    void TakeSnapshot(const QString& name) {
        requests.clear();
        ASSERT_NO_FATAL_FAILURE(StepUntilFinishing());
        Append(snapshots, 0, test::Jpeg(test::PatternPicture({320, 240})));
        ASSERT_NO_FATAL_FAILURE(CommandEnds(true, name));
        finisher.Step();
        ASSERT_EQ(finisher.State(), SnapshotState::Idle);
    }
    QByteArray FileStart(const QString& name, int size) const {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.read(size) : QByteArray();
    }
    void ExpectCameraRestored() {
        EXPECT_EQ(finisher.State(), SnapshotState::Idle);
        EXPECT_EQ(requests, (std::vector<uint16_t>{command::kSnapshot, command::kCameraOn}));
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
    EXPECT_TRUE(state.snapshotBusy.load());
    EXPECT_EQ(state.snapshotRequest.load(), kSnapshotRequestWaiting);
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
    EXPECT_TRUE(window.WaitForCall("ShowStatus " + window.Message(message::kSavedFile)
                                                       .arg(folder.filePath("P20240101_1.jpg"))
                                                       .toStdString(),
                                   std::chrono::milliseconds(0)));
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

TEST_F(SnapshotFinisherTest, TheSnapshotIsWrittenInTheFormatItsNameSays) {
    const QByteArray pngStart("\x89PNG", 4);
    const QByteArray jpegStart("\xFF\xD8", 2);
    ASSERT_NO_FATAL_FAILURE(TakeSnapshot("x.png"));
    EXPECT_EQ(FileStart("x.png", 4), pngStart);
    ASSERT_NO_FATAL_FAILURE(TakeSnapshot("x.BMP"));
    EXPECT_EQ(FileStart("x.BMP", 2), QByteArray("BM"));
    EXPECT_EQ(QImage(folder.filePath("x.BMP"), "bmp").size(), QSize(320, 240));
    ASSERT_NO_FATAL_FAILURE(TakeSnapshot("x.jpg"));
    EXPECT_EQ(FileStart("x.jpg", 2), jpegStart);
    ASSERT_NO_FATAL_FAILURE(TakeSnapshot("y"));
    EXPECT_EQ(FileStart("y.jpg", 2), jpegStart);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
              (QStringList{"x.BMP", "x.jpg", "x.png", "y.jpg"}));
    for (const auto& call : window.Calls()) {
        EXPECT_NE(call.rfind("ShowError", 0), 0U) << call;
    }
}

// The snapshot command gets ten seconds of Timer1 ticks (20 ms each) to start.
constexpr int kTenSecondsOfTicks = 10 * 1000 / 20;

TEST_F(SnapshotFinisherTest, ACommandThatNeverStartsIsGivenUpAndTheCameraComesBack) {
    StepUntilFinishing();
    for (int tick = 1; tick < kTenSecondsOfTicks; ++tick) {
        finisher.Step();
    }
    EXPECT_EQ(finisher.State(), SnapshotState::Finishing);
    EXPECT_TRUE(window.Calls().empty());
    finisher.Step();
    EXPECT_EQ(state.snapshotRequest.load(), kSnapshotRequestAbandoned);
    EXPECT_FALSE(state.snapshotBusy.load());
    EXPECT_TRUE(window.WaitForCall(
        "ShowError " + std::string(message::BuiltInEnglishText(message::kSnapshotFailed)),
        std::chrono::milliseconds(0)));
    ExpectCameraRestored();
}

TEST_F(SnapshotFinisherTest, ACommandThatStartsLateIsWaitedFor) {
    StepUntilFinishing();
    for (int tick = 1; tick < kTenSecondsOfTicks; ++tick) {
        finisher.Step();
    }
    uint8_t waiting = kSnapshotRequestWaiting;
    ASSERT_TRUE(state.snapshotRequest.compare_exchange_strong(waiting, kSnapshotRequestRunning));
    for (int tick = 0; tick < kTenSecondsOfTicks; ++tick) {
        finisher.Step();
    }
    EXPECT_EQ(finisher.State(), SnapshotState::Finishing);
    EXPECT_TRUE(window.Calls().empty());
    state.snapshotBusy = false;
    finisher.Step();
    EXPECT_EQ(window.Calls().size(), 3U);
    ExpectCameraRestored();
}

}  // namespace
}  // namespace dm
