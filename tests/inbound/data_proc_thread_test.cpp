// SPDX-License-Identifier: GPL-3.0-or-later
// The data thread running, fed by the test thread as the window's poll would feed it.

#include <functional>
#include <future>

#include "inbound_fixture.h"

namespace dm::test {
namespace {

using DataThread = InboundTest;

TEST_F(DataThread, HandlesFramesArrivingInChunks) {
    thread.start();
    state.collect = true;
    state.transferStatus = kTransferPending;

    const Bytes stream = Concat({Frame(frame::kProbe, 0),
                                 DirectoryFrame(2, Entries(2)),
                                 PictureFrame(77, Picture(5000, 3)),
                                 kProbeReplyFrame,
                                 {0x00}});
    for (std::size_t at = 0; at < stream.size(); at += 97) {
        const std::size_t end = std::min(stream.size(), at + 97);
        Feed(Bytes(stream.begin() + at, stream.begin() + end));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    ASSERT_TRUE(WaitUntil([&] { return state.probeReply.load(); }));
    EXPECT_TRUE(writer.WaitForWrites(1, std::chrono::seconds(5)));
    EXPECT_EQ(writer.Writes()[0], (Bytes{0xF8, 0x91, 0x00, 0x00}));
    EXPECT_EQ(Status(), kTransferDone);
    EXPECT_EQ(state.directory.Count(), 2);
    ASSERT_EQ(pictures.Count(), 1);
    EXPECT_EQ(pictures.InfoAt(0), 77u);
    EXPECT_EQ(pictures.StreamAt(0).size(), 5000);
    StopThread();
    EXPECT_EQ(buffer->Count(), 0u) << "the stray byte behind the last frame is dropped";
}

TEST_F(DataThread, MemoryFullBoxHoldsFurtherFramesUntilClosed) {
    window.HoldBoxes(true);
    thread.start();
    Feed(Concat({Frame(frame::kMemoryFull, 0), kProbeReplyFrame, {0x00}}));
    ASSERT_TRUE(window.WaitForCall("ShowError Memory full", std::chrono::seconds(10)));
    EXPECT_TRUE(state.memoryFull.load());

    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(state.probeReply.load()) << "no frame is handled while the box is open";
    EXPECT_EQ(buffer->Count(), 5u);

    window.ReleaseBoxes();
    EXPECT_TRUE(WaitUntil([&] { return state.probeReply.load(); }));
    StopThread();
}

// A command gave up on a reply of which half had come: the payload wait ends at once,
// the half is dropped, and the next reply is read on its own rather than as its rest.
TEST_F(DataThread, AnAbandonedReplyIsDroppedAndTheNextOneStandsAlone) {
    thread.start();
    state.collect = true;
    state.transferStatus = kTransferPending;
    const Bytes stalled = PictureFrame(1, Picture(4000, 1));
    Feed(Bytes(stalled.begin(), stalled.begin() + static_cast<std::ptrdiff_t>(stalled.size() / 2)));
    ASSERT_TRUE(WaitUntil([&] { return state.replyProgress.load() > 0; }))
        << "the header was not taken";

    state.abandonReply = true;
    ASSERT_TRUE(WaitUntil([&] { return !state.abandonReply.load(); }))
        << "the data thread did not give the reply up";
    EXPECT_EQ(Status(), kTransferTimedOut);
    EXPECT_TRUE(WaitUntil([&] { return buffer->Count() == 0; })) << "the half was looked through";

    state.transferStatus = kTransferPending;
    Feed(PictureFrame(2, Picture(3000, 2)));
    ASSERT_TRUE(WaitUntil([&] { return Status() == kTransferDone; }));
    ASSERT_EQ(pictures.Count(), 1);
    EXPECT_EQ(pictures.InfoAt(0), 2u);
    EXPECT_EQ(pictures.StreamAt(0).size(), 3000);
    StopThread();
}

TEST_F(DataThread, StopEndsAPayloadWait) {
    thread.start();
    state.transferStatus = kTransferPending;
    const Bytes picture = PictureFrame(1, Picture(1000, 1));
    Feed(Bytes(picture.begin(), picture.begin() + 100));
    ASSERT_TRUE(WaitUntil([&] { return state.replyProgress.load() > 0; }));
    StopThread();
    EXPECT_EQ(Status(), kTransferTimedOut);
}

// The command thread waits on the device state's reply signal. A wait that was not rung
// ends only at its timeout, a minute here: ending well before it means the data thread
// rang, for a picture's status as for a probe reply.
TEST_F(DataThread, EveryReportRingsTheCommandThreadsReplyWait) {
    constexpr auto kLongWait = std::chrono::seconds(60);
    const auto rungWithin = [&](const std::function<bool()>& reported) {
        return std::async(std::launch::async, [&, reported] {
            const auto start = std::chrono::steady_clock::now();
            state.replies.Wait(kLongWait, reported);
            return std::chrono::steady_clock::now() - start < kLongWait / 2;
        });
    };
    thread.start();
    state.collect = true;
    state.transferStatus = kTransferPending;
    auto picture = rungWithin([&] { return Status() != kTransferPending; });
    Feed(PictureFrame(5, Picture(2000, 5)));
    EXPECT_TRUE(picture.get()) << "the picture's status was not rung";

    auto probe = rungWithin([&] { return state.probeReply.load(); });
    Feed(kProbeReplyFrame);
    EXPECT_TRUE(probe.get()) << "the probe reply was not rung";
    StopThread();
}

}  // namespace
}  // namespace dm::test
