// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/live_view.h"

#include <gtest/gtest.h>

#include <thread>

#include "link/frame.h"
#include "support/recording_window.h"
#include "view/overlays.h"
#include "view/view_test_pictures.h"

namespace dm {
namespace {

using test::Near;

class LiveViewTest : public ::testing::Test {
  protected:
    void Render(const QByteArray& jpeg, uint32_t info = frame::MakeInfo(1, 0x0F)) {
        live.RenderLiveFrame(info, reinterpret_cast<const uint8_t*>(jpeg.constData()),
                             static_cast<uint32_t>(jpeg.size()));
    }
    static QByteArray Grey(int level) {
        return test::Jpeg(test::FlatPicture({320, 240}, QColor(level, level, level)));
    }

    DeviceState state;
    test::RecordingWindow window;
    LiveViewSurface surface;
    LiveView live{state, window, surface};
};

TEST_F(LiveViewTest, NothingIsShownUntilAFrameWasRendered) {
    EXPECT_FALSE(live.ShowNextLiveFrame().has_value());
    EXPECT_EQ(live.Ring().ReadIndex(), 0U);
    EXPECT_EQ(live.Ring().WriteIndex(), 1U);
}

TEST_F(LiveViewTest, FirstFrameShowsSlotOneAndSlotZeroComesAfterAFullTurn) {
    for (uint32_t shown = 1; shown <= LiveFrameRing::kSlotCount; ++shown) {
        Render(Grey(200));
        const std::optional<QImage> frame = live.ShowNextLiveFrame();
        ASSERT_TRUE(frame.has_value());
        EXPECT_EQ(frame->size(), QSize(320, 240));
        EXPECT_EQ(live.Ring().ReadIndex(), shown % LiveFrameRing::kSlotCount);
        EXPECT_FALSE(live.ShowNextLiveFrame().has_value());
    }
    // The shown frame also became the live view control's picture.
    EXPECT_TRUE(Near(surface.Picture().pixelColor(160, 120), QColor(200, 200, 200), 4));
}

TEST_F(LiveViewTest, AFullRingKeepsReplacingItsNewestSlot) {
    constexpr int kFrames = 40;
    for (int i = 1; i <= kFrames; ++i) {
        Render(Grey(i * 5));
    }
    EXPECT_EQ(live.Ring().WriteIndex(), 30U);
    for (int i = 1; i <= 29; ++i) {
        const std::optional<QImage> frame = live.ShowNextLiveFrame();
        ASSERT_TRUE(frame.has_value());
        EXPECT_TRUE(Near(frame->pixelColor(160, 120), QColor(i * 5, i * 5, i * 5), 3)) << i;
    }
    EXPECT_FALSE(live.ShowNextLiveFrame().has_value());
    // Slot 30 holds the newest of the frames that did not fit; the next frame replaces it.
    Render(Grey(250));
    const std::optional<QImage> newest = live.ShowNextLiveFrame();
    ASSERT_TRUE(newest.has_value());
    EXPECT_TRUE(Near(newest->pixelColor(160, 120), QColor(250, 250, 250), 3));
}

TEST_F(LiveViewTest, FramesOfOtherSizesFillTheSlot) {
    for (QSize size : {QSize(640, 480), QSize(160, 120)}) {
        SCOPED_TRACE(size.width());
        Render(test::Jpeg(test::QuadrantPicture(size)));
        const std::optional<QImage> frame = live.ShowNextLiveFrame();
        ASSERT_TRUE(frame.has_value());
        ASSERT_EQ(frame->size(), QSize(320, 240));
        EXPECT_TRUE(Near(frame->pixelColor(5, 5), QColor(255, 0, 0)));
        EXPECT_TRUE(Near(frame->pixelColor(314, 5), QColor(0, 255, 0)));
        EXPECT_TRUE(Near(frame->pixelColor(5, 234), QColor(0, 0, 255)));
        EXPECT_TRUE(Near(frame->pixelColor(314, 234), QColor(255, 255, 255)));
        EXPECT_TRUE(Near(frame->pixelColor(150, 110), QColor(255, 0, 0)));
        EXPECT_TRUE(Near(frame->pixelColor(170, 130), QColor(255, 255, 255)));
    }
}

TEST_F(LiveViewTest, OverlaysAreBurntIntoTheSlotWhileTheCameraIsOn) {
    state.cameraOn = true;
    window.SetChecks(true, true);
    Render(Grey(128), frame::MakeInfo(9, 0x2F));
    const QImage frame = *live.ShowNextLiveFrame();
    EXPECT_GT(test::CountPixels(frame, QRect(260, 0, 60, 30), kMagnificationColor), 20);
    EXPECT_EQ(frame.pixelColor(40, 230), kRulerLineColor);
    EXPECT_GT(test::CountPixels(frame, QRect(250, 220, 70, 20), kRulerLabelColor), 10);
    EXPECT_EQ(state.currentPictureInfo.load(), frame::MakeInfo(9, 0x2F));
    for (const auto& call : window.Calls()) {
        EXPECT_NE(call.rfind("DrawOverlaysOnBrowseView", 0), 0U) << call;
    }
}

TEST_F(LiveViewTest, WithTheCameraOffTheOverlaysGoToTheBrowseView) {
    window.SetChecks(true, false);
    Render(Grey(128), frame::MakeInfo(2, 0x05));
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"DrawOverlaysOnBrowseView 5 - ruler"});
    const QImage frame = *live.ShowNextLiveFrame();
    EXPECT_EQ(test::CountPixels(frame, frame.rect(), kRulerLineColor), 0);
}

TEST_F(LiveViewTest, AFrameThatDoesNotDecodeIsDropped) {
    state.currentPictureInfo = 77;
    Render(QByteArray("this is not a JPEG picture"), frame::MakeInfo(3, 0x01));
    Render(QByteArray(), frame::MakeInfo(3, 0x01));
    EXPECT_EQ(live.Ring().WriteIndex(), 1U);
    EXPECT_EQ(state.currentPictureInfo.load(), 77U);
    EXPECT_FALSE(live.ShowNextLiveFrame().has_value());
}

TEST_F(LiveViewTest, AnEnlargedLiveViewIsRestoredOnceByTheNextFrame) {
    Render(Grey(10));
    EXPECT_TRUE(window.Calls().empty());
    surface.MarkEnlarged();
    Render(Grey(20));
    Render(Grey(30));
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"RestoreLiveViewGeometry"});
}

TEST_F(LiveViewTest, DataThreadAndWindowThreadShareTheRingInOrder) {
    constexpr int kFrames = 100;
    std::vector<QByteArray> jpegs;
    for (int i = 0; i < kFrames; ++i) {
        jpegs.push_back(Grey(20 + 2 * i));
    }
    state.cameraOn = true;
    window.SetChecks(true, true);
    std::atomic<bool> done{false};
    std::thread dataThread([&] {
        for (const QByteArray& jpeg : jpegs) {
            Render(jpeg);
        }
        done = true;
    });
    int last = -1;
    int shown = 0;
    while (!done.load() || live.Ring().ReadIndex() != (live.Ring().WriteIndex() + 30) % 31) {
        if (const std::optional<QImage> frame = live.ShowNextLiveFrame()) {
            const int level = frame->pixelColor(100, 100).red();
            EXPECT_GE(level, last - 3);  // frames come out in the order rendered
            last = level;
            ++shown;
        } else {
            std::this_thread::yield();
        }
    }
    dataThread.join();
    EXPECT_GT(shown, 0);
    EXPECT_LE(shown, kFrames);
    EXPECT_NEAR(last, 20 + 2 * (kFrames - 1), 3);
}

}  // namespace
}  // namespace dm
