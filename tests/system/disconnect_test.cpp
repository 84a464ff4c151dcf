// SPDX-License-Identifier: GPL-3.0-or-later
// Disconnecting while the microscope is busy: whatever was asked for before stays off the
// wire after the disconnect frame, the window is disconnected as soon as the running
// command has ended, pictures that arrived stay, and no failure is reported.
#include <QDir>
#include <QFileInfo>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "system/system_fixture.h"

namespace dm::test {
namespace {

// The running command ends at its next wait and the download finishing runs on the next
// one-second tick: the window is disconnected well within this.
constexpr milliseconds kDisconnectedBound{3000};
// At the paced rate each of these pictures takes about a second.
constexpr int kSlowPictureBytes = 12000;
constexpr int kSlowPictures = 3;
// A directory this long takes about 5.7 s at the paced rate: a long directory wait.
constexpr int kLongDirectory = 8191;
constexpr int kQueuedKeys = 3;

const Bytes kDisconnect = Frame(frame::kDisconnect);

class DisconnectTest : public SystemTest {
  protected:
    bool Disconnected() const {
        const bool rows = RowCount() > 0;
        for (const char* name :
             {"ConnectBtn", "DownloadBtn", "UploadBtn", "SaveBtn", "SaveAllBtn", "CameraBtn",
              "DelBtn", "DelAllBtn", "UpBtn", "LeftBtn", "CentralBtn", "RightBtn", "DownBtn",
              "ZoomOutBtn", "ZoomInBtn", "LockBtn", "SnapShotBtn"}) {
            const std::string button = name;
            const bool expected =
                button == "ConnectBtn" || (rows && (button == "SaveBtn" || button == "SaveAllBtn"));
            if (Button(name)->isEnabled() != expected) {
                return false;
            }
        }
        return session->CommandsIdle() && !form->Connected() && List()->isEnabled() &&
               ShowsGlyph(Button("ConnectBtn"), QStringLiteral("Connect.bmp"));
    }

    // After the disconnect: the disconnected window within the bound, staying so, the
    // disconnect frame last on the wire and no box but the connection's.
    void ExpectEndedByDisconnect(std::size_t from) {
        ASSERT_FALSE(session->Port().IsOpen());
        ASSERT_TRUE(WaitUntil([&] { return Disconnected(); }, kDisconnectedBound)) << DebugState();
        KeepRunning();
        EXPECT_TRUE(Disconnected()) << DebugState();
        const std::vector<std::string> frames = FramesFrom(from);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back(), Hex(kDisconnect)) << DebugState();
        EXPECT_EQ(CountFrames(kDisconnect, from), 1);
        EXPECT_EQ(dialogs.boxes.size(), 1U) << "only the found box" << DebugState();
    }
};

TEST_F(DisconnectTest, DuringTheDirectoryWaitNothingFollowsAndNothingIsReported) {
    vm::Options options;
    options.faults.directoryEntries = kLongDirectory;
    options.faults.throttle = true;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const std::size_t from = FrameCount();
    Click("DownloadBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kDirectoryRequest), from));
    KeepRunning(kQuietTime / 2);  // the directory is flowing
    Click("ConnectBtn");
    ASSERT_NO_FATAL_FAILURE(ExpectEndedByDisconnect(from));
    EXPECT_EQ(FramesFrom(from), (std::vector<std::string>{"F8 21 00 00", Hex(kDisconnect)}));
}

TEST_F(DisconnectTest, DuringPictureTransfersThePicturesThatArrivedStayViewableAndSaveable) {
    vm::Options options;
    options.pictures = kSlowPictures;
    options.pictureBytes = kSlowPictureBytes;
    options.faults.throttle = true;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const auto held = microscope->Pictures();
    const std::size_t from = FrameCount();
    Click("DownloadBtn");
    ASSERT_TRUE(WaitForFrame(
        FrameWithWord(frame::kPictureRequest, frame::PictureNumber(held[1].info)), from));
    // The button is disabled while pictures come: its handler runs as a click would.
    session->ConnectBtnClick();
    ASSERT_NO_FATAL_FAILURE(ExpectEndedByDisconnect(from));

    ASSERT_EQ(RowCount(), kSlowPictures);
    EXPECT_EQ(session->Pictures().StreamAt(0), held[0].jpeg);
    EXPECT_NE(Row(0)[1], form->Message(message::kNotReceivedColumn));
    ClickRow(0);
    KeepRunning();
    EXPECT_EQ(BoxesWithMessage(message::kPictureNotReceived), 0);
    const QString target = QDir(OutputFolder()).filePath(QStringLiteral("kept.jpg"));
    dialogs.QueueFile({target, 1});
    Click("SaveBtn");
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(target); })) << DebugState();
}

// The first key may have gone out before the click; the others never do.
TEST_F(DisconnectTest, KeysStillQueuedNeverFollowTheDisconnectFrame) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    const std::size_t from = FrameCount();
    for (int i = 0; i < kQueuedKeys; ++i) {
        Click("UpBtn");
    }
    Click("ConnectBtn");
    ASSERT_NO_FATAL_FAILURE(ExpectEndedByDisconnect(from));
    EXPECT_LE(CountFrames(Frame(static_cast<uint8_t>(frame::kKeyBase + 1)), from), 1);
}

}  // namespace
}  // namespace dm::test
