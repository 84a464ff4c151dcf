// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes are read as frames only where a plausible frame starts: after a frame that ended
// badly, picture bytes such as F8 A1 00 00 (memory full), F8 31 00 00 (probe) or F8 82
// (directory) must never raise an event, and the next real frame is read at once.
#include <algorithm>
#include <chrono>
#include <thread>

#include "inbound_fixture.h"

namespace dm::test {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kInfo = 0x02000005;
constexpr auto kShortWait = 50ms;

// JPEG-like bytes full of bare frame starts, as picture data may hold them: a start of
// image, the starts, and the end-of-image marker every JPEG ends with.
Bytes PoisonedPicture(uint32_t size) {
    const Bytes starts = Concat({Frame(frame::kMemoryFull, 0), Frame(frame::kProbe, 0),
                                 Frame(frame::kDirectory, 9), Frame(frame::kDiscard, 2),
                                 Frame(frame::kAcknowledge, 4, {1, 2, 3, 4}), kProbeReplyFrame});
    Bytes bytes{0xFF, 0xD8};
    while (bytes.size() < size) {
        bytes.insert(bytes.end(), starts.begin(), starts.end());
    }
    bytes.resize(size - 2);
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    return bytes;
}

class FrameBoundary : public InboundTest {
  protected:
    // A data thread that gives up on a payload, and believes a bare frame the line stayed
    // quiet behind, after 50 ms.
    TDataProcThread quick{*buffer,   writer, state,  pictures,
                          snapshots, live,   window, InboundTiming{kShortWait, kShortWait}};

    void DispatchQuickly() {
        while (quick.DispatchFrame()) {
        }
    }
    void LetTheLineFallQuiet() {
        std::this_thread::sleep_for(2 * kShortWait);
        DispatchQuickly();
    }
    void ExpectNoEvents() {
        EXPECT_FALSE(state.memoryFull.load());
        EXPECT_FALSE(state.probeReply.load());
        EXPECT_TRUE(writer.Writes().empty()) << "a probe was answered";
        EXPECT_EQ(state.directory.Count(), 0);
        EXPECT_TRUE(window.Calls().empty());
    }
};

TEST_F(FrameBoundary, PictureBytesBehindARefusedFrameRaiseNoEventAndTheNextFrameIsRead) {
    state.collect = true;
    const Bytes picture = PoisonedPicture(600);
    // The length field covers only the first 101 bytes of the picture.
    Feed(Concat({PictureFrame(frame::kPictureHeaderSize + 101, kInfo, 600, picture),
                 PictureFrame(kInfo + 1, Picture(40, 3))}));
    DispatchQuickly();
    ExpectNoEvents();
    ASSERT_EQ(pictures.Count(), 1) << "the frame right behind it, with no gap";
    EXPECT_EQ(pictures.InfoAt(0), kInfo + 1);

    // A real bare frame after a broken one is believed once the line stays quiet behind it.
    Feed(Concat({PictureFrame(frame::kPictureHeaderSize + 101, kInfo, 600, picture),
                 Frame(frame::kMemoryFull, 0)}));
    DispatchQuickly();
    EXPECT_FALSE(state.memoryFull.load());
    LetTheLineFallQuiet();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ShowError Memory full"}));
}

TEST_F(FrameBoundary, LateRestOfAGivenUpPictureIsLookedThrough) {
    state.collect = true;
    const Bytes whole = PictureFrame(kInfo, PoisonedPicture(2000));
    const std::size_t half = whole.size() / 2;
    Feed(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(half)));
    DispatchQuickly();  // the payload stalls: given up after 50 ms
    EXPECT_EQ(Status(), kTransferTimedOut);

    state.transferStatus = kTransferPending;
    const Bytes next = PictureFrame(kInfo + 1, Picture(30, 9));
    Feed(Concat({Bytes(whole.begin() + static_cast<std::ptrdiff_t>(half), whole.end()), next}));
    DispatchQuickly();
    ExpectNoEvents();
    EXPECT_EQ(Status(), kTransferDone);
    ASSERT_EQ(pictures.Count(), 1);
    EXPECT_EQ(pictures.InfoAt(0), kInfo + 1) << "the frame after the late rest is read whole";
}

TEST_F(FrameBoundary, ASenderThatAbandonedAFrameIsReadFromItsNextFrame) {
    state.collect = true;
    const Bytes whole = PictureFrame(kInfo, Picture(2000, 5));
    Feed(Bytes(whole.begin(), whole.begin() + 500));
    DispatchQuickly();
    Feed(PictureFrame(kInfo + 1, Picture(30, 9)));  // no rest: the next frame straight away
    DispatchQuickly();
    ASSERT_EQ(pictures.Count(), 1);
    EXPECT_EQ(pictures.InfoAt(0), kInfo + 1);
}

// Bare frames that something vouches for are believed at once, and stray bytes behind one
// refuse it.
TEST_F(FrameBoundary, BareFramesAfterALongRunOfStrayBytesNeedAVoucher) {
    Feed(Concat({Bytes(40, 0x00), PoisonedPicture(400), kProbeReplyFrame, {0x00}}));
    DispatchQuickly();
    LetTheLineFallQuiet();
    ExpectNoEvents();
    Feed(Concat({Bytes(40, 0x00), kProbeReplyFrame, Frame(frame::kDiscard, 0)}));
    DispatchQuickly();
    EXPECT_TRUE(state.probeReply.load());
}

TEST_F(FrameBoundary, ADirectoryNobodyAskedForChangesNothing) {
    state.directoryExpected = false;
    state.transferStatus = kTransferPending;
    Feed(Concat({DirectoryFrame(2, Entries(2)), kProbeReplyFrame, {0x00}}));
    DispatchQuickly();
    EXPECT_EQ(state.directory.Count(), 0);
    EXPECT_EQ(Status(), kTransferPending);
    EXPECT_TRUE(state.probeReply.load()) << "the directory frame was consumed whole";
}

TEST_F(FrameBoundary, DirectoryOfMoreThanItKeepsRemembersTheCountAnnounced) {
    Feed(Concat({DirectoryFrame(70, Entries(70)), {0x00}}));
    DispatchQuickly();
    EXPECT_EQ(state.directory.Count(), 64);
    EXPECT_EQ(state.directory.Announced(), 70);
}

// The program's own limits, on the running thread: a payload may pause for seconds, and
// the rest of a broken frame still arriving never holds up the frame behind it.
TEST_F(FrameBoundary, APayloadThatPausesForTwoSecondsIsStillAwaited) {
    state.collect = true;
    thread.start();
    const Bytes whole = PictureFrame(kInfo, Picture(3000, 2));
    Feed(Bytes(whole.begin(), whole.begin() + 1000));
    std::this_thread::sleep_for(2s);
    Feed(Bytes(whole.begin() + 1000, whole.end()));
    EXPECT_TRUE(WaitUntil([&] { return pictures.Count() == 1; }, 5s));
    StopThread();
}

TEST_F(FrameBoundary, TheRestOfABrokenFrameStillArrivingHoldsNothingUp) {
    const Bytes bad =
        PictureFrame(frame::kPictureHeaderSize + 101, kInfo, 1500, PoisonedPicture(1500));
    constexpr std::ptrdiff_t kChunk = 100;
    thread.start();
    for (auto at = bad.begin(); at < bad.end(); at += std::min(kChunk, bad.end() - at)) {
        std::this_thread::sleep_for(20ms);  // a busy line: never quiet for long
        Feed(Bytes(at, at + std::min(kChunk, bad.end() - at)));
    }
    Feed(Concat({Frame(frame::kMemoryFull, 0), Frame(frame::kDiscard, 0)}));
    EXPECT_TRUE(WaitUntil([&] { return state.memoryFull.load(); }, 1s))
        << "a real frame behind the broken one was dropped";
    StopThread();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ShowError Memory full"}));
}

// The running thread sleeps on the buffer and wakes for the bytes, not for a timer.
TEST_F(FrameBoundary, RunningThreadWakesForBytesThatArrive) {
    thread.start();
    std::this_thread::sleep_for(kShortWait);  // asleep by now
    Feed(Concat({kProbeReplyFrame, {0x00}}));
    EXPECT_TRUE(WaitUntil([&] { return state.probeReply.load(); }, 5s));
    StopThread();
}

}  // namespace
}  // namespace dm::test
