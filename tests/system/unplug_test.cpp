// SPDX-License-Identifier: GPL-3.0-or-later
// A microscope that goes away while connected (the cable pulled), and one that comes back:
// the user is told once, the window is disconnected, nothing is reported as done, the
// pictures that arrived stay, and the program connects again.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "system/system_fixture.h"

namespace dm::test {
namespace {

// Long enough at the paced rate that the cable is pulled in the middle of the download.
constexpr int kSlowPictureBytes = 12000;
constexpr int kSlowPictures = 4;
// The lost state looks at the port table every 2 s.
constexpr milliseconds kReconnectTimeout{15000};

class UnplugTest : public SystemTest {
  protected:
    void TearDown() override {
        SystemTest::TearDown();
        returned.reset();
    }

    // Exactly one box tells of the loss; the window is in the disconnected state with the
    // pictures in the list still saveable, and no command is left running.
    void ExpectToldOnceAndDisconnected() {
        ASSERT_TRUE(WaitUntil([&] { return BoxesWithMessage(message::kLinkLost) == 1; }))
            << DebugState();
        KeepRunning();
        EXPECT_EQ(BoxesWithMessage(message::kLinkLost), 1);
        EXPECT_TRUE(session->CommandsIdle());
        EXPECT_FALSE(session->Port().IsOpen());
        EXPECT_TRUE(session->LinkLostState());
        const bool rows = RowCount() > 0;
        for (const char* name :
             {"ConnectBtn", "DownloadBtn", "UploadBtn", "SaveBtn", "SaveAllBtn", "CameraBtn",
              "DelBtn", "DelAllBtn", "UpBtn", "LeftBtn", "CentralBtn", "RightBtn", "DownBtn",
              "ZoomOutBtn", "ZoomInBtn", "LockBtn", "SnapShotBtn"}) {
            const std::string button = name;
            const bool expected =
                button == "ConnectBtn" || (rows && (button == "SaveBtn" || button == "SaveAllBtn"));
            EXPECT_EQ(Button(name)->isEnabled(), expected) << name << DebugState();
        }
        EXPECT_TRUE(List()->isEnabled());
        EXPECT_TRUE(ShowsGlyph(Button("ConnectBtn"), QStringLiteral("Connect.bmp")));
        EXPECT_TRUE(ShowsGlyph(Button("CameraBtn"), QStringLiteral("Camera-On.bmp")));
    }

    // Only the found box, the loss and what the test expects: no failure reported.
    int OtherBoxes() const {
        return static_cast<int>(dialogs.boxes.size()) -
               BoxesWithMessage(message::kMicroscopeFound) -
               BoxesWithMessage(message::kDownloadFinished) - BoxesWithMessage(message::kLinkLost);
    }

    void StartReturnedMicroscope() {
        returned = std::make_unique<vm::VirtualMicroscope>(vm::Options{});
        ASSERT_FALSE(returned->Start().empty()) << returned->ErrorText();
        AddPort(returned->SlavePath());
    }

    int NoMicroscopeBoxes() const {
        int count = 0;
        for (const BoxRequest& box : dialogs.boxes) {
            count += box.text.startsWith(form->Message(message::kNoMicroscope)) ? 1 : 0;
        }
        return count;
    }

    std::unique_ptr<vm::VirtualMicroscope> returned;
};

TEST_F(UnplugTest, WhileIdleTheUserIsToldOnceAndTheWindowIsDisconnected) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    microscope->Unplug();
    ASSERT_NO_FATAL_FAILURE(ExpectToldOnceAndDisconnected());
    EXPECT_EQ(OtherBoxes(), 0) << DebugState();
}

TEST_F(UnplugTest, DuringLiveViewTheCameraStopsAndIsNotKeptAlive) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    Click("CameraBtn");
    ASSERT_TRUE(WaitUntil([&] { return microscope->IsStreaming(); }));
    microscope->Unplug();
    ASSERT_NO_FATAL_FAILURE(ExpectToldOnceAndDisconnected());
    EXPECT_FALSE(form->State().cameraOn.load());
    EXPECT_EQ(OtherBoxes(), 0) << DebugState();
}

TEST_F(UnplugTest, DuringADownloadWhatArrivedStaysViewableAndSaveableAndNothingIsDone) {
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
    microscope->Unplug();
    ASSERT_NO_FATAL_FAILURE(ExpectToldOnceAndDisconnected());
    EXPECT_EQ(BoxesWithMessage(message::kDownloadFinished), 0);
    EXPECT_EQ(BoxesWithMessage(message::kDownloadIncomplete), 0);
    EXPECT_EQ(OtherBoxes(), 0) << DebugState();

    ASSERT_EQ(RowCount(), kSlowPictures);
    EXPECT_EQ(session->Pictures().StreamAt(0), held[0].jpeg);
    EXPECT_NE(Row(0)[1], form->Message(message::kNotReceivedColumn));
    for (int row = 1; row < kSlowPictures; ++row) {
        EXPECT_EQ(Row(row)[1], form->Message(message::kNotReceivedColumn)) << "row " << row;
    }
    ClickRow(0);
    KeepRunning();
    EXPECT_EQ(BoxesWithMessage(message::kPictureNotReceived), 0);
    const QString target = QDir(OutputFolder()).filePath(QStringLiteral("kept.jpg"));
    dialogs.QueueFile({target, 1});
    Click("SaveBtn");
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(target); })) << DebugState();
}

// The user connects again at once; the camera stays off, as after any connect.
TEST_F(UnplugTest, ConnectFindsAMicroscopeThatCameBackUnderAnotherName) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    microscope->Unplug();
    ASSERT_TRUE(WaitUntil([&] { return BoxesWithMessage(message::kLinkLost) == 1; }));
    ASSERT_NO_FATAL_FAILURE(StartReturnedMicroscope());
    Click("ConnectBtn");
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); })) << DebugState();
    EXPECT_TRUE(returned->WaitForFrame(Frame(frame::kLinkStart), kStepTimeout).has_value());
    EXPECT_EQ(BoxesWithMessage(message::kMicroscopeFound), 2);
    EXPECT_TRUE(WaitUntil([&] { return !session->LinkLostState(); }));
    KeepRunning();
    EXPECT_FALSE(returned->IsStreaming());
    EXPECT_EQ(NoMicroscopeBoxes(), 0);
}

TEST_F(UnplugTest, AMicroscopeThatComesBackIsReconnectedByItselfWithItsCameraOn) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    Click("CameraBtn");
    ASSERT_TRUE(WaitUntil([&] { return microscope->IsStreaming(); }));
    microscope->Unplug();
    ASSERT_NO_FATAL_FAILURE(ExpectToldOnceAndDisconnected());
    ASSERT_NO_FATAL_FAILURE(StartReturnedMicroscope());
    ASSERT_TRUE(WaitUntil([&] { return returned->IsStreaming(); }, kReconnectTimeout))
        << DebugState();
    EXPECT_EQ(BoxesWithMessage(message::kMicroscopeFound), 2);
    EXPECT_FALSE(session->LinkLostState());
    EXPECT_TRUE(form->State().cameraOn.load());
    EXPECT_TRUE(Button("CameraBtn")->isEnabled());
    EXPECT_EQ(NoMicroscopeBoxes(), 0) << "the quiet search says nothing";
}

// A device that was there before the loss is not probed: only new ones are.
TEST_F(UnplugTest, TheLostStateProbesOnlyDevicesThatAppeared) {
    silentPorts.push_back(std::make_unique<SilentPort>());
    StartMicroscope();
    ASSERT_NO_FATAL_FAILURE(StartProgram({MicroscopePort(), silentPorts[0]->Path()}));
    ASSERT_NO_FATAL_FAILURE(Connect());
    const std::size_t probesBefore = silentPorts[0]->Received().size();
    microscope->Unplug();
    ASSERT_NO_FATAL_FAILURE(ExpectToldOnceAndDisconnected());
    ASSERT_NO_FATAL_FAILURE(StartReturnedMicroscope());
    ASSERT_TRUE(WaitUntil([&] { return !session->LinkLostState(); }, kReconnectTimeout))
        << DebugState();
    EXPECT_EQ(silentPorts[0]->Received().size(), probesBefore);
}

TEST_F(UnplugTest, NoMicroscopeFoundSaysWhichPortsWereBusyOrSilent) {
    silentPorts.push_back(std::make_unique<SilentPort>());
    silentPorts.push_back(std::make_unique<SilentPort>());
    ASSERT_NO_FATAL_FAILURE(StartProgram({silentPorts[0]->Path(), silentPorts[1]->Path()}));
    // Another program holds the first one.
    auto otherBuffer = std::make_unique<ReceiveBuffer>();
    SerialPort other(*otherBuffer, [path = silentPorts[0]->Path()] { return PortTable({path}); });
    ASSERT_TRUE(other.OpenPort(0, SerialPort::kSearchBaudIndex));
    Click("ConnectBtn");
    ASSERT_TRUE(WaitUntil([&] { return NoMicroscopeBoxes() > 0; })) << DebugState();
    ASSERT_EQ(dialogs.boxes.size(), 1U);
    const QString text = dialogs.boxes[0].text;
    EXPECT_TRUE(text.startsWith(form->Message(message::kNoMicroscope))) << text.toStdString();
    EXPECT_TRUE(text.contains(
        form->Message(message::kPortInUse).arg(QString::fromStdString(silentPorts[0]->Path()))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(
        form->Message(message::kPortSilent).arg(QString::fromStdString(silentPorts[1]->Path()))))
        << text.toStdString();
    EXPECT_FALSE(text.contains(form->Message(message::kPermissionRemedy)));
}

TEST_F(UnplugTest, NoMicroscopeFoundSaysWhichPortsWereRefusedAndWhatToDo) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may open any file; run as an ordinary user to check this";
    }
    const QString refused = QDir(OutputFolder()).filePath(QStringLiteral("ttyRefused"));
    QFile file(refused);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions({}));
    ASSERT_NO_FATAL_FAILURE(StartProgram({refused.toStdString()}));
    Click("ConnectBtn");
    ASSERT_TRUE(WaitUntil([&] { return NoMicroscopeBoxes() > 0; })) << DebugState();
    const QString text = dialogs.boxes.back().text;
    EXPECT_TRUE(text.contains(form->Message(message::kPortPermissionDenied).arg(refused)))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(form->Message(message::kPermissionRemedy))) << text.toStdString();
}

}  // namespace
}  // namespace dm::test
