// SPDX-License-Identifier: GPL-3.0-or-later
// Port search, disconnect, camera switching and the keys that stop the camera first.
#include <memory>

#include "base/message_numbers.h"
#include "command_fixture.h"
#include "commands/command_codes.h"
#include "link/frame.h"

namespace dm::test {
namespace {

class ConnectionTest : public CommandTest {
  protected:
    // A microscope behind port number microscopePort answers probes.
    void AnswerProbesOn(int microscopePort) {
        data_.SetHandler([this, microscopePort](const Bytes& frame) {
            if (frame.size() == 4 && frame[1] == frame::kProbe &&
                port_.OpenPortNumber() == microscopePort) {
                state_.probeReply = true;
            }
            if (frame.size() == 4 && frame[1] == frame::kLinkStart) {
                linkStartAfterBox_ = window_.WaitForCall("ShowInfo Found", 0ms);
                linkStartSeen_ = true;
            }
        });
    }
    // The data thread stand-in handles the link-start frame after the command ended.
    bool LinkStartSeen() const {
        for (int i = 0; i < 2000 && !linkStartSeen_; ++i) {
            std::this_thread::sleep_for(1ms);
        }
        return linkStartSeen_;
    }
    std::atomic<bool> linkStartAfterBox_{false};
    std::atomic<bool> linkStartSeen_{false};
};

TEST_F(ConnectionTest, MicroscopeOnFourthPortIsFoundAfterProbingTheOthers) {
    window_.SetMessage(14, "Found");
    port_.SetOpenablePorts({0, 2, 3, 4});
    AnswerProbesOn(3);
    control_.ConnectBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(20s));

    EXPECT_EQ(port_.OpenAttempts(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(port_.Closes(), (std::vector<int>{0, 2}));
    EXPECT_EQ(port_.OpenPortNumber(), 3);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 31 00 00", "F8 31 00 00",
                                                            "F8 31 00 00", "F8 11 00 00"}));
    EXPECT_EQ(window_.ProgressValues(), (std::vector<int>{0, 0, 1, 1, 0}));
    ASSERT_TRUE(LinkStartSeen());
    EXPECT_TRUE(linkStartAfterBox_);
    const auto calls = window_.Calls();
    EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()),
              (std::vector<std::string>{"ShowInfo Found", "SetConnected yes", "SetProgress 0",
                                        "ApplyButtonSet Ready"}));
}

TEST_F(ConnectionTest, NoMicroscopeIsAnErrorAndButtonsStayAsTheyWere) {
    window_.SetMessage(15, "Nothing found");
    port_.SetOpenablePorts({1});
    AnswerProbesOn(-1);
    control_.ConnectBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(20s));
    EXPECT_EQ(port_.OpenAttempts().size(), 256U);
    const std::vector<int> progress = window_.ProgressValues();
    ASSERT_EQ(progress.size(), 257U);
    EXPECT_EQ(progress[255], 127) << "port 255";
    EXPECT_EQ(progress.back(), 0) << "the bar is emptied once the search failed";
    const auto calls = window_.Calls();
    ASSERT_GE(calls.size(), 2U);
    EXPECT_EQ(calls[calls.size() - 2].rfind("ShowError Nothing found", 0), 0U)
        << "message 15 first, then what the search met";
    EXPECT_FALSE(window_.WaitForCall("ApplyButtonSet", 0ms));
    EXPECT_FALSE(window_.Connected());
    EXPECT_FALSE(port_.IsOpen());
}

TEST_F(ConnectionTest, ClicksDuringTheSearchAreIgnored) {
    window_.SetMessage(14, "Found");
    port_.SetOpenablePorts({0});
    AnswerProbesOn(0);
    // The search is held at its "found" box, so the clicks surely land while it runs.
    window_.HoldBoxes(true);
    control_.ConnectBtnClick();
    ASSERT_TRUE(window_.WaitForCall("ShowInfo Found", 5s));
    control_.ConnectBtnClick();  // a double click
    control_.ConnectBtnClick();
    window_.ReleaseBoxes();
    ASSERT_TRUE(thread_.WaitUntilIdle(20s));
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 31 00 00", "F8 11 00 00"}));
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_TRUE(window_.Connected());
    EXPECT_FALSE(window_.WaitForCall("ApplyButtonSet Disconnected", 0ms));
}

TEST_F(ConnectionTest, DisconnectWritesItsFrameThenClosesOnTheWindowThread) {
    port_.SetOpenablePorts({5});
    ASSERT_TRUE(port_.OpenPort(5, 3));
    control_.ConnectBtnClick();
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 12 00 00"}));
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(window_.Calls(),
              (std::vector<std::string>{"SetConnected no", "ApplyButtonSet Disconnected"}));
}

// Clicked while a picture that never comes is waited for (5.1 s each) and three keys wait
// behind the download: the keys never go out, the download ends at once, the disconnect
// frame is the last frame written and no failure is reported.
TEST_F(ConnectionTest, DisconnectWithdrawsTheQueueAndEndsTheRunningCommand) {
    port_.SetOpenablePorts({5});
    ASSERT_TRUE(port_.OpenPort(5, 3));
    state_.connected = true;
    AnswerDownloads({{frame::MakeInfo(1, 0), 3}, {frame::MakeInfo(2, 0), 3}}, {1, 2});
    control_.DownloadBtnClick();
    ASSERT_TRUE(port_.WaitForWrites(2, 5s));  // the first picture request
    for (int i = 0; i < 3; ++i) {
        control_.UpBtnClick();
    }
    control_.ConnectBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(2s)) << "the download went on after the disconnect";
    thread_.RequestCommand(command::KeyCode(1));  // a later request runs as usual
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(port_.WrittenHex(),
              (std::vector<std::string>{"F8 21 00 00", "F8 22 04 00 01 00 00 00", "F8 12 00 00",
                                        "F8 41 00 00"}));
    EXPECT_FALSE(window_.WaitForCall("ShowError", 0ms));
    EXPECT_FALSE(window_.WaitForCall("ShowInfo", 0ms));
}

using CameraTest = CommandTest;

TEST_F(CameraTest, TwoClicksStartAndStopTheStream) {
    control_.CameraBtnClick();
    ASSERT_TRUE(window_.WaitForCall("SetEnabled CameraBtn on", 5s));  // streaming
    EXPECT_TRUE(state_.liveView.load());
    EXPECT_TRUE(state_.cameraOn.load());
    control_.CameraBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 29 00 00", "F8 2A 00 00"}));
    EXPECT_FALSE(state_.cameraOn.load());
    EXPECT_EQ(state_.runningCommand.load(), kNoCommandRunning);
    const auto calls = window_.Calls();
    EXPECT_TRUE(Contains(calls, "SetEnabled SnapShotBtn off"));
    EXPECT_TRUE(Contains(calls, "SetEnabled ListView1 on"));
    EXPECT_EQ(calls.back(), "ApplyButtonSet Ready");
}

TEST_F(CameraTest, ZoomInWithCameraOffSendsOnlyTheKey) {
    control_.ZoomInBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 48 00 00"}));
}

TEST_F(CameraTest, KeysWithCameraOnStopItSendTheKeyAndTimer3RestartsIt) {
    control_.CameraBtnClick();
    ASSERT_TRUE(port_.WaitForWrites(1, 5s));
    control_.ZoomInBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    control_.Timer3Timer();
    ASSERT_TRUE(port_.WaitForWrites(4, 5s));
    control_.DownBtnClick();  // straight away, while the restarted stream runs
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(port_.WrittenHex(),
              (std::vector<std::string>{"F8 29 00 00", "F8 2A 00 00", "F8 48 00 00", "F8 29 00 00",
                                        "F8 2A 00 00", "F8 45 00 00"}));
}

// A key request may still wait in the queue when Timer3 fires: the keep-alive leaves the
// camera off until the key has gone out.
TEST(Timer3KeepAlive, LeavesARequestTheThreadHasNotTakenYet) {
    DeviceState state;
    FakeDevicePort port;
    RecordingWindow window;
    TCmdProcThread thread(state);  // never started: the request stays at its gate
    DeviceControl control(state, port, thread, window);
    state.cameraOn = true;
    control.UpBtnClick();
    control.Timer3Timer();
    EXPECT_TRUE(thread.IsRunningOrQueued(command::KeyCode(1)));
    EXPECT_FALSE(thread.IsRunningOrQueued(command::kCameraOn));
}

TEST_F(CameraTest, Timer3DoesNothingWithCameraOffAndNoKeepAliveDuringSnapshot) {
    control_.Timer3Timer();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_TRUE(port_.Writes().empty());

    state_.cameraOn = true;
    state_.snapshotInProgress = true;
    control_.Timer3Timer();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_TRUE(port_.Writes().empty());
}

TEST_F(CameraTest, SnapshotClickStopsTheStreamAndStartsTheFinishingMachine) {
    int starts = 0;
    control_.SetSnapshotStarter([&] { ++starts; });
    control_.CameraBtnClick();
    ASSERT_TRUE(window_.WaitForCall("SetEnabled CameraBtn on", 5s));  // streaming
    window_.ClearCalls();
    control_.SnapShotBtnClick();
    ASSERT_TRUE(port_.WaitForWrites(2, 5s));
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(starts, 1);
    EXPECT_TRUE(state_.snapshotInProgress.load());
    EXPECT_TRUE(state_.cameraOn.load());  // stays on: the finishing machine restarts it
    EXPECT_EQ(port_.WrittenHex().back(), "F8 2A 00 00");
    EXPECT_EQ(window_.Calls(), (std::vector<std::string>{"SetCameraGlyph Camera-On.bmp",
                                                         "SetEnabled SnapShotBtn off"}));
}

TEST_F(CameraTest, CameraClickDuringASnapshotIsIgnored) {
    control_.SetSnapshotStarter([] {});
    control_.CameraBtnClick();
    ASSERT_TRUE(window_.WaitForCall("SetEnabled CameraBtn on", 5s));  // streaming
    control_.SnapShotBtnClick();
    ASSERT_TRUE(port_.WaitForWrites(2, 5s));
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    window_.ClearCalls();
    control_.CameraBtnClick();  // before the finishing machine restarts the camera
    EXPECT_TRUE(state_.cameraOn.load()) << "the snapshot turns the camera on again";
    EXPECT_TRUE(window_.Calls().empty());
    EXPECT_EQ(state_.runningCommand.load(), kNoCommandRunning);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 29 00 00", "F8 2A 00 00"}));

    state_.snapshotInProgress = false;  // the camera runs again: the next click stops it
    control_.CameraBtnClick();
    EXPECT_FALSE(state_.cameraOn.load());
}

// The camera click queues the stream behind the download: the download's pictures are
// still collected, and only the stream that follows renders live.
TEST_F(CameraTest, ACameraClickDuringADownloadLeavesItsPicturesCollected) {
    const std::vector<frame::DirectoryEntry> entries{{frame::MakeInfo(1, 0), 3},
                                                     {frame::MakeInfo(2, 0), 3}};
    struct Routes {
        std::mutex lock;
        std::vector<std::string> seen;  // the routing as each request reached the line
    };
    const auto routes = std::make_shared<Routes>();
    data_.SetHandler([this, entries, routes](const Bytes& frame) {
        const uint8_t command = frame[1];
        if (command == frame::kPictureRequest || command == frame::kCameraOn) {
            std::lock_guard lock(routes->lock);
            routes->seen.push_back(std::string(state_.collect ? "collect" : "") +
                                   (state_.liveView ? "live" : ""));
        }
        if (command == frame::kDirectoryRequest) {
            FillDirectory(entries);
        } else if (command == frame::kPictureRequest) {
            DeliverPicture(entries[frame[frame::kHeaderSize] - 1]);
        }
        state_.transferStatus.store(kTransferDone);
    });
    const auto seen = [routes] {
        std::lock_guard lock(routes->lock);
        return routes->seen;
    };
    control_.DownloadBtnClick();
    control_.CameraBtnClick();
    for (int i = 0; i < 5000 && seen().size() < 3; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    control_.CameraBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(seen(), (std::vector<std::string>{"collect", "collect", "live"}));
    EXPECT_EQ(pictures_.Count(), 2);
    EXPECT_FALSE(state_.collect.load() || state_.liveView.load()) << "routing put back";
}

TEST_F(ConnectionTest, ASearchThatFindsNothingSaysWhatItMetOnEachPort) {
    window_.SetMessage(message::kNoMicroscope, "Nothing found");
    window_.SetMessage(message::kPortPermissionDenied, "%1 refused");
    window_.SetMessage(message::kPortInUse, "%1 busy");
    window_.SetMessage(message::kPortSilent, "%1 silent");
    window_.SetMessage(message::kPermissionRemedy, "Join dialout");
    port_.SetAttempt(0, {"/dev/ttyUSB0", PortProblem::kPermissionDenied});
    port_.SetAttempt(1, {"/dev/ttyUSB1", PortProblem::kInUse});
    port_.SetOpenablePorts({2});  // opens, never answers
    port_.SetAttempt(3, {"/dev/null", PortProblem::kUnusable});
    AnswerProbesOn(-1);
    control_.ConnectBtnClick();
    ASSERT_TRUE(thread_.WaitUntilIdle(20s));
    EXPECT_TRUE(Contains(window_.Calls(),
                         "ShowError Nothing found\n\n/dev/ttyUSB0 refused\n/dev/ttyUSB1 "
                         "busy\nfake2 silent\n\nJoin dialout"));
}

// After a loss only the devices that appeared since are probed, and quietly.
TEST_F(ConnectionTest, AReconnectProbesOnlyTheNewDevicesAndSaysNothingWhenNoneAnswers) {
    window_.SetMessage(message::kMicroscopeFound, "Found");
    port_.SetAttempt(0, {"old", PortProblem::kNone});
    port_.SetAttempt(1, {"new", PortProblem::kNone});
    port_.SetAttempt(2, {"newer", PortProblem::kNone});
    port_.SetOpenablePorts({0, 1, 2});
    AnswerProbesOn(2);
    commands_.SetReconnectCandidates({"new"});
    Run(command::kPortSearch);
    EXPECT_EQ(port_.OpenAttempts(), std::vector<int>{1});
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_FALSE(window_.WaitForCall("ShowError", 0ms));

    commands_.SetReconnectCandidates({"new", "newer"});
    Run(command::kPortSearch);
    EXPECT_EQ(port_.OpenPortNumber(), 2);
    EXPECT_TRUE(Contains(window_.Calls(), "ShowInfo Found"));
    EXPECT_EQ(port_.WrittenHex().back(), "F8 11 00 00");
    EXPECT_TRUE(state_.connected.load());
}

}  // namespace
}  // namespace dm::test
