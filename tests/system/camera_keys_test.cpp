// SPDX-License-Identifier: GPL-3.0-or-later
// The camera, the live picture and the eight keys, seen on the wire and in the window.

#include "app/picture_box.h"
#include "link/frame.h"
#include "system/system_fixture.h"

namespace dm::test {
namespace {

const Bytes kCameraOn = Frame(frame::kCameraOn);
const Bytes kCameraOff = Frame(frame::kCameraOff);

Bytes Key(int n) {
    return Frame(static_cast<uint8_t>(frame::kKeyBase + n));
}

class CameraTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartConnected());
    }

    // Switches the camera on and waits until a live frame has reached Image3.
    void CameraOn() {
        const std::size_t from = FrameCount();
        const QImage before = form->Image3()->Picture();
        Click("CameraBtn");
        ASSERT_TRUE(WaitForFrame(kCameraOn, from));
        ASSERT_TRUE(WaitUntil([&] { return !SamePixels(form->Image3()->Picture(), before); }))
            << "no live picture reached Image3";
    }

    uint8_t ShownZoomCode() const {
        return frame::ZoomCode(form->State().currentPictureInfo.load());
    }
};

TEST_F(CameraTest, TwoClicksStreamAndStopAndEndInTheReadySet) {
    const std::size_t from = FrameCount();
    ASSERT_NO_FATAL_FAILURE(CameraOn());
    EXPECT_TRUE(microscope->IsStreaming());
    EXPECT_TRUE(Button("SnapShotBtn")->isEnabled());
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_FALSE(form->Image4()->isVisible());
    EXPECT_TRUE(ShowsGlyph(Button("CameraBtn"), QStringLiteral("Camera-Off.bmp")));

    // Frames keep coming while the camera runs.
    const QImage first = form->Image3()->Picture();
    EXPECT_TRUE(WaitUntil([&] { return !SamePixels(form->Image3()->Picture(), first); }));

    Click("CameraBtn");
    ASSERT_TRUE(WaitForFrame(kCameraOff, from));
    EXPECT_TRUE(WaitUntil([&] { return !microscope->IsStreaming(); }));
    EXPECT_TRUE(ReadySet());
    EXPECT_FALSE(Button("SnapShotBtn")->isEnabled());
    EXPECT_TRUE(List()->isEnabled());
    EXPECT_TRUE(ShowsGlyph(Button("CameraBtn"), QStringLiteral("Camera-On.bmp")));

    // Timer3 does not start the camera again once it is off.
    const std::size_t afterOff = FrameCount();
    KeepRunning(kQuietTime * 2);
    EXPECT_EQ(FramesFrom(afterOff), std::vector<std::string>{});
    EXPECT_EQ(FramesFrom(from), (std::vector<std::string>{"F8 29 00 00", "F8 2A 00 00"}));
}

TEST_F(CameraTest, OnlyTheStreamingButtonsWorkWhileTheCameraIsOn) {
    ASSERT_NO_FATAL_FAILURE(CameraOn());
    for (const char* name : {"UpBtn", "LeftBtn", "CentralBtn", "RightBtn", "LockBtn", "DownloadBtn",
                             "UploadBtn", "ConnectBtn"}) {
        EXPECT_FALSE(Button(name)->isEnabled()) << name;
    }
    for (const char* name : {"CameraBtn", "SnapShotBtn", "DownBtn", "ZoomOutBtn", "ZoomInBtn"}) {
        EXPECT_TRUE(Button(name)->isEnabled()) << name;
    }
    const std::size_t from = FrameCount();
    Click("UpBtn");
    KeepRunning();
    EXPECT_FALSE(FindFrame(Key(1), from)) << "a disabled button sent its key";
}

TEST_F(CameraTest, EveryKeyWritesItsFrameWithTheCameraOff) {
    const char* const keys[] = {"UpBtn",   "LeftBtn",    "CentralBtn", "RightBtn",
                                "DownBtn", "ZoomOutBtn", "LockBtn",    "ZoomInBtn"};
    const std::size_t from = FrameCount();
    for (int n = 1; n <= frame::kKeyCount; ++n) {
        const std::size_t before = FrameCount();
        Click(keys[n - 1]);
        ASSERT_TRUE(WaitForFrame(Key(n), before)) << keys[n - 1];
        // The command thread takes one request at a time: the next click waits for it.
        ASSERT_TRUE(WaitUntil([&] { return session->CommandsIdle(); }));
    }
    EXPECT_EQ(FramesFrom(from), (std::vector<std::string>{
                                    "F8 41 00 00", "F8 42 00 00", "F8 43 00 00", "F8 44 00 00",
                                    "F8 45 00 00", "F8 46 00 00", "F8 47 00 00", "F8 48 00 00"}));
}

TEST_F(CameraTest, ZoomInWithTheCameraOffSendsOnlyItsKey) {
    const std::size_t from = FrameCount();
    Click("ZoomInBtn");
    ASSERT_TRUE(WaitForFrame(Key(8), from));
    KeepRunning(kQuietTime * 2);
    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{"F8 48 00 00"});
    EXPECT_EQ(microscope->LiveZoomCode(), vm::VirtualMicroscope::ZoomCodeAt(1));
    EXPECT_FALSE(microscope->IsStreaming());
}

TEST_F(CameraTest, ZoomInWithTheCameraOnStopsTheStreamSendsTheKeyAndStreamsAgain) {
    ASSERT_NO_FATAL_FAILURE(CameraOn());
    const uint8_t zoomBefore = ShownZoomCode();
    ASSERT_EQ(zoomBefore, vm::VirtualMicroscope::ZoomCodeAt(0));

    const std::size_t from = FrameCount();
    Click("ZoomInBtn");
    ASSERT_TRUE(WaitForFrame(kCameraOn, from)) << "Timer3 did not start the camera again";
    EXPECT_EQ(FramesFrom(from),
              (std::vector<std::string>{"F8 2A 00 00", "F8 48 00 00", "F8 29 00 00"}));
    EXPECT_TRUE(WaitUntil([&] { return microscope->IsStreaming(); }));

    // The stream now carries the next zoom code, and the window shows it.
    const uint8_t zoomAfter = vm::VirtualMicroscope::ZoomCodeAt(1);
    EXPECT_EQ(microscope->LiveZoomCode(), zoomAfter);
    EXPECT_TRUE(WaitUntil([&] { return ShownZoomCode() == zoomAfter; }));
    EXPECT_TRUE(Button("SnapShotBtn")->isEnabled());
}

TEST_F(CameraTest, UndecodableLiveFramesAreSkippedAndGoodOnesShowAgain) {
    vm::Faults faults;
    faults.undecodableJpeg = true;
    microscope->SetFaults(faults);
    const QImage before = form->Image3()->Picture();
    Click("CameraBtn");
    const std::size_t sent = microscope->LiveFramesSent();
    ASSERT_TRUE(WaitUntil([&] { return microscope->LiveFramesSent() >= sent + 5; }));
    KeepRunning(kQuietTime / 2);
    EXPECT_TRUE(SamePixels(form->Image3()->Picture(), before)) << "a broken frame was shown";
    EXPECT_EQ(form->State().currentPictureInfo.load(), 0u);

    microscope->SetFaults({});
    EXPECT_TRUE(WaitUntil([&] { return !SamePixels(form->Image3()->Picture(), before); }));
    EXPECT_EQ(dialogs.boxes.size(), 1u) << "only the connection box";
}

}  // namespace
}  // namespace dm::test
