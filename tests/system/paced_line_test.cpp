// SPDX-License-Identifier: GPL-3.0-or-later
// A microscope at the pace of a real 115200-baud line, and one that falls silent in the
// middle of a picture and sends the rest late.
#include <QByteArray>
#include <thread>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "system/system_fixture.h"

namespace dm::test {
namespace {

// Takes over 5 s at 11,520 bytes/s: longer than a picture wait when bytes stop.
constexpr int kSlowPictureBytes = 60000;
// The pause leaves the front in the middle of the padding's frame starts, on no lead byte.
constexpr int kPausedPictureBytes = 20002;
constexpr int kPauseMs = 6500;

class PacedLineTest : public SystemTest {
  protected:
    void DownloadUntilTold() {
        Click("DownloadBtn");
        ASSERT_TRUE(WaitUntil([&] { return BoxesWithMessage(message::kDownloadFinished) > 0; },
                              std::chrono::seconds(40)))
            << DebugState();
        ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }));
    }
};

TEST_F(PacedLineTest, APictureThatTakesLongerThanTheWaitArrivesWholeWhileItsBytesFlow) {
    vm::Options options;
    options.pictures = 1;
    options.pictureBytes = kSlowPictureBytes;
    options.faults.throttle = true;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    ASSERT_NO_FATAL_FAILURE(DownloadUntilTold());
    EXPECT_EQ(BoxesWithMessage(message::kDownloadFinished), 1);
    ASSERT_EQ(session->Pictures().Count(), 1);
    EXPECT_EQ(session->Pictures().StreamAt(0), microscope->Pictures()[0].jpeg);
}

TEST_F(PacedLineTest, LateRestOfAPictureChangesNeitherTheDirectoryNorTheNextRow) {
    vm::Options options;
    options.pictures = 2;
    options.pictureBytes = kPausedPictureBytes;
    options.faults.pausePayloadMs = kPauseMs;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const auto held = microscope->Pictures();
    const std::size_t from = FrameCount();
    Click("DownloadBtn");
    // Only the first picture pauses.
    ASSERT_TRUE(WaitForFrame(
        FrameWithWord(frame::kPictureRequest, frame::PictureNumber(held[0].info)), from));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    microscope->SetFaults({});
    const QString oneOfTwo = form->Message(message::kDownloadIncomplete).arg(1).arg(2);
    ASSERT_TRUE(WaitUntil([&] { return BoxesWithText(oneOfTwo) > 0; }, std::chrono::seconds(40)))
        << DebugState();

    ASSERT_EQ(RowCount(), 2);
    EXPECT_EQ(Row(0)[1], form->Message(message::kNotReceivedColumn));
    EXPECT_TRUE(session->Pictures().StreamAt(0).isEmpty());
    EXPECT_EQ(session->Pictures().StreamAt(1), held[1].jpeg) << "row 2 holds its own picture";
    EXPECT_EQ(form->State().directory.Count(), 2);
    EXPECT_EQ(form->State().directory.Entry(1).info, held[1].info);
    EXPECT_FALSE(form->State().memoryFull.load());
    EXPECT_EQ(BoxesWithText(QStringLiteral("Memory full")), 0);
    EXPECT_EQ(CountFrames(Frame(frame::kProbeReply), from), 0) << "a phantom probe was answered";
}

}  // namespace
}  // namespace dm::test
