// SPDX-License-Identifier: GPL-3.0-or-later
// A microscope that misbehaves: the program copes and stays usable.
#include <QDir>
#include <QFileInfo>

#include "app/picture_box.h"
#include "base/message_numbers.h"
#include "link/frame.h"
#include "system/system_fixture.h"
#include "view/picture_files.h"

namespace dm::test {
namespace {

constexpr int kDownloadedMessage = 7;
constexpr int kDirectoryCapacity = frame::kMaxDirectoryEntries;

// The whole download of 64 pictures takes longer than a test should (each picture wait
// polls in 100 ms steps), so the window is closed while it runs: that way out must end
// the command thread in the middle of its picture loop.
TEST_F(SystemTest, ADirectoryOfMoreThan64EntriesFillsSixtyFourRows) {
    vm::Options options;
    options.pictures = 2;
    options.faults.directoryEntries = kDirectoryCapacity + 6;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const std::size_t from = FrameCount();
    Click("DownloadBtn");
    ASSERT_TRUE(WaitUntil([&] { return RowCount() == kDirectoryCapacity; }));
    EXPECT_EQ(form->State().directory.Count(), kDirectoryCapacity);
    const QString cut = form->Message(message::kDirectoryCut)
                            .arg(kDirectoryCapacity)
                            .arg(options.faults.directoryEntries);
    EXPECT_TRUE(WaitUntil([&] { return BoxesWithText(cut) == 1; })) << DebugState();
    for (int i = 0; i < kDirectoryCapacity; ++i) {
        EXPECT_EQ(Row(i).first(), QStringLiteral("%1.jpg").arg(i + 1, 8, 10, QLatin1Char('0')));
    }

    // Made-up entries are fetched like the stored ones.
    const Bytes pictureRequest = Frame(frame::kPictureRequest, frame::kRequestArgumentSize);
    ASSERT_TRUE(WaitForFrame(FrameWithWord(frame::kPictureRequest, options.pictures + 2), from))
        << DebugState();
    ASSERT_TRUE(WaitUntil([&] { return session->Pictures().Count() >= options.pictures + 1; }));

    form->close();
    session.reset();  // the command thread leaves its picture loop
    const int requests = CountFrames(pictureRequest, from);
    EXPECT_LE(requests, kDirectoryCapacity);
    KeepRunning();
    EXPECT_EQ(CountFrames(pictureRequest, from), requests) << "requests after the exit";
    EXPECT_EQ(BoxesWithMessage(kDownloadedMessage), 0);
}

// Every live frame announces 256 bytes more than it carries: the frames are refused at
// their picture's end, nothing inside them becomes an event, and the next upload is sent.
TEST_F(SystemTest, ALiveStreamOverstatingItsLengthsRaisesNoEventAndUploadsStillGo) {
    vm::Options options;
    options.faults.oversizedLength = true;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const std::size_t from = FrameCount();
    Click("CameraBtn");
    ASSERT_TRUE(WaitUntil([&] { return microscope->LiveFramesSent() >= 10; })) << DebugState();
    Click("CameraBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOff), from));
    KeepRunning();
    EXPECT_EQ(BoxesWithText(QStringLiteral("Memory full")), 0);
    EXPECT_FALSE(form->State().memoryFull.load());
    EXPECT_EQ(CountFrames(Frame(frame::kProbeReply), from), 0) << "a phantom probe was answered";

    microscope->SetFaults({});
    dialogs.QueueFile(
        {WriteJpegFile(QStringLiteral("upload.jpg"), QSize(64, 48), QColor(20, 120, 60), 90), 1});
    Click("UploadBtn");
    EXPECT_TRUE(WaitUntil([&] { return BoxesWithMessage(message::kUploadFinished) == 1; }))
        << DebugState();
}

TEST_F(SystemTest, AStalledPictureLeavesItsRowEmptyAndTheOthersInPlace) {
    vm::Options options;
    options.pictures = 3;
    options.faults.stallPayload = true;  // the first picture stops halfway
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const std::vector<vm::StoredPicture> held = microscope->Pictures();
    const std::size_t from = FrameCount();
    Click("DownloadBtn");

    // The microscope handles its requests in order: once it logged a frame written after
    // the first picture request, that picture has gone out stalled and the fault can end.
    ASSERT_TRUE(WaitForFrame(FrameWithWord(frame::kPictureRequest, 1), from));
    const std::size_t marker = FrameCount();
    const Bytes linkStart = Frame(frame::kLinkStart);  // answered by nothing
    session->Port().WritePort(linkStart.data(), static_cast<int32_t>(linkStart.size()));
    ASSERT_TRUE(WaitForFrame(linkStart, marker));
    microscope->SetFaults({});

    const QString incomplete = form->Message(message::kDownloadIncomplete).arg(2).arg(3);
    ASSERT_TRUE(WaitUntil([&] { return BoxesWithText(incomplete) == 1; })) << DebugState();
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }));
    EXPECT_EQ(BoxesWithMessage(kDownloadedMessage), 0);
    ASSERT_EQ(RowCount(), 3);
    EXPECT_EQ(Row(0)[1], form->Message(message::kNotReceivedColumn));
    EXPECT_NE(Row(1)[1], form->Message(message::kNotReceivedColumn));
    ASSERT_EQ(session->Pictures().Count(), 3);
    EXPECT_TRUE(session->Pictures().StreamAt(0).isEmpty());
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(session->Pictures().InfoAt(i), held[i].info);
        EXPECT_EQ(session->Pictures().StreamAt(i), held[i].jpeg);
    }
    EXPECT_FALSE(QFileInfo::exists(ScratchPicturePath(ScratchFolder(), held[0].info)));

    // The stalled row shows no picture and says why; the next row shows its own picture.
    ClickRow(0);
    EXPECT_TRUE(WaitUntil([&] { return BoxesWithMessage(message::kPictureNotReceived) == 1; }));
    const QImage empty = form->Image4()->Picture();
    EXPECT_EQ(empty.convertToFormat(QImage::Format_RGB32).pixelColor(160, 120), QColor(Qt::black));
    ClickRow(1);
    EXPECT_TRUE(SamePixels(form->Image4()->Picture(),
                           LoadScratchPicture(ScratchPicturePath(ScratchFolder(), held[1].info))));
    for (const BoxRequest& box : dialogs.boxes) {
        EXPECT_NE(box.icon, BoxIcon::Error) << box.text.toStdString();
    }
}

TEST_F(SystemTest, GarbageBetweenFramesDoesNotDisturbADownload) {
    vm::Options options;
    options.pictures = 3;
    options.faults.garbageBetweenFrames = true;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    ASSERT_EQ(RowCount(), 3);
    const std::vector<vm::StoredPicture> held = microscope->Pictures();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(session->Pictures().StreamAt(i), held[i].jpeg) << "picture " << i;
    }
}

// A line that loses a byte of every fourth live frame and carries a burst of stray bytes
// after every fifth: the live view keeps up with the stream, and nothing in the broken
// frames becomes an event.
TEST_F(SystemTest, TheLiveViewKeepsUpWithAStreamThatLosesBytes) {
    constexpr std::size_t kFramesToWatch = 40;
    constexpr uint32_t kMostBehind = 3;
    vm::Options options;
    options.faults.dropLiveByteEvery = 4;
    options.faults.strayBurstEvery = 5;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const std::size_t from = FrameCount();
    Click("CameraBtn");
    for (std::size_t watched = 10; watched <= kFramesToWatch; watched += 10) {
        ASSERT_TRUE(WaitUntil([&] { return microscope->LiveFramesSent() >= watched; }));
        const auto sent = static_cast<uint32_t>(microscope->LiveFramesSent());
        EXPECT_TRUE(WaitUntil([&] {
            return frame::PictureNumber(form->State().currentPictureInfo.load()) + kMostBehind >=
                   sent;
        })) << "the live view stopped at frame "
            << frame::PictureNumber(form->State().currentPictureInfo.load()) << " of " << sent;
    }
    Click("CameraBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOff), from));
    EXPECT_EQ(BoxesWithText(QStringLiteral("Memory full")), 0);
    EXPECT_EQ(CountFrames(Frame(frame::kProbeReply), from), 0) << "a phantom probe was answered";
}

}  // namespace
}  // namespace dm::test
