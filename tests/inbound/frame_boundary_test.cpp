// Bytes are read as frames only at a frame boundary: after a frame that ended badly,
// picture bytes such as F8 A1 (memory full), F8 31 (probe) or F8 82 (directory) must
// never raise an event.
#include <algorithm>
#include <chrono>
#include <thread>

#include "inbound_fixture.h"

namespace dm::test {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kInfo = 0x02000005;
constexpr auto kShortWait = 50ms;

// Picture bytes full of frame starts, as JPEG data may hold them.
Bytes PoisonedPicture(uint32_t size) {
    const Bytes starts = Concat({Frame(frame::kMemoryFull, 0), Frame(frame::kProbe, 0),
                                 DirectoryFrame(1, Entries(1)), Frame(frame::kDiscard, 2)});
    Bytes bytes;
    while (bytes.size() < size) {
        bytes.insert(bytes.end(), starts.begin(), starts.end());
    }
    bytes.resize(size);
    return bytes;
}

class FrameBoundary : public InboundTest {
  protected:
    // A data thread that gives up on a payload, and finds the line quiet, after 50 ms.
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
        EXPECT_TRUE(writer.Writes().empty()) << "a probe was answered";
        EXPECT_EQ(state.directory.Count(), 0);
        EXPECT_TRUE(window.Calls().empty());
    }
};

TEST_F(FrameBoundary, BytesBehindAFrameShorterThanItsPictureAreDroppedUntilTheLineIsQuiet) {
    state.collect = true;
    const Bytes picture = PoisonedPicture(600);
    // The length field covers only the first 101 bytes of the picture, which leaves the
    // front in the middle of a poisoned stretch (not on one of its frame starts).
    Feed(PictureFrame(frame::kPictureHeaderSize + 101, kInfo, 600, picture));
    DispatchQuickly();
    EXPECT_EQ(Status(), kTransferTimedOut);
    ExpectNoEvents();
    EXPECT_EQ(pictures.Count(), 0);

    LetTheLineFallQuiet();
    Feed(Concat({Frame(frame::kMemoryFull, 0), {0x00}}));  // a real one, at a boundary
    DispatchQuickly();
    EXPECT_TRUE(state.memoryFull.load());
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ShowError Memory full"}));
}

TEST_F(FrameBoundary, LateRestOfAGivenUpPictureIsDroppedByTheLengthItAnnounced) {
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

TEST_F(FrameBoundary, ALongRunOfStrayBytesIsDroppedUntilQuietNotSearched) {
    Feed(Concat({Bytes(40, 0x00), PoisonedPicture(400)}));
    DispatchQuickly();
    ExpectNoEvents();
    LetTheLineFallQuiet();
    Feed(Concat({kProbeReplyFrame, {0x00}}));
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
    Feed(Concat({DirectoryFrame(200, Entries(70)), {0x00}}));
    DispatchQuickly();
    EXPECT_EQ(state.directory.Count(), 64);
    EXPECT_EQ(state.directory.Announced(), 200);
}

// The program's own limits, on the running thread: a payload may pause for seconds, and
// the rest of a broken frame is dropped until 200 ms pass without a byte.
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

TEST_F(FrameBoundary, RestOfABrokenFrameIsDroppedUntilTheLineIsQuietForAMoment) {
    const Bytes bad =
        PictureFrame(frame::kPictureHeaderSize + 101, kInfo, 1500, PoisonedPicture(1500));
    constexpr std::ptrdiff_t kChunk = 100;
    thread.start();
    Feed(Bytes(bad.begin(), bad.begin() + frame::kHeaderSize + frame::kPictureHeaderSize + 101));
    for (auto at = bad.begin() + frame::kHeaderSize + frame::kPictureHeaderSize + 101;
         at < bad.end(); at += std::min(kChunk, bad.end() - at)) {
        std::this_thread::sleep_for(30ms);  // a line still busy: well under the quiet gap
        Feed(Bytes(at, at + std::min(kChunk, bad.end() - at)));
    }
    std::this_thread::sleep_for(600ms);
    EXPECT_FALSE(state.memoryFull.load()) << "picture bytes raised a memory-full event";
    Feed(Concat({Frame(frame::kMemoryFull, 0), {0x00}}));
    EXPECT_TRUE(WaitUntil([&] { return state.memoryFull.load(); }, 1s))
        << "a real frame after the quiet was dropped";
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
