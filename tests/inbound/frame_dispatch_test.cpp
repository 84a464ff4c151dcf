// SPDX-License-Identifier: GPL-3.0-or-later
// Frame dispatch fed with byte chunks through the receive buffer, on the test thread.

#include <random>

#include "inbound_fixture.h"

namespace dm::test {
namespace {

using FrameDispatch = InboundTest;

// A microscope sends its probe reply and then nothing: the reply must not wait for a
// byte behind it.
TEST_F(FrameDispatch, AFourByteFrameIsHandledWithNothingBehindIt) {
    Feed({0xF8, 0x91, 0x00});
    EXPECT_FALSE(thread.DispatchFrame()) << "three bytes are no header yet";
    EXPECT_EQ(buffer->Count(), 3u);

    Feed({0x00});
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_TRUE(state.probeReply.load());
    EXPECT_EQ(buffer->Count(), 0u);
}

TEST_F(FrameDispatch, ResynchronisesByteByByteOntoAKnownHeader) {
    Feed({0x00, 0xF8, 0x91, 0x00, 0x00, 0x00});
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_FALSE(state.probeReply.load()) << "the first pass drops only the stray byte";
    EXPECT_EQ(buffer->Count(), 5u);
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_TRUE(state.probeReply.load());
    EXPECT_EQ(buffer->Count(), 1u);
    EXPECT_TRUE(thread.DispatchFrame()) << "a byte that begins nothing is dropped at once";
    EXPECT_EQ(buffer->Count(), 0u);

    // A lead byte followed by an unknown command is not a frame start either.
    state.probeReply = false;
    buffer->Clear();
    Feed(Concat({{0xF8, 0xF8, 0x00}, kProbeReplyFrame}));
    DispatchAll();
    EXPECT_TRUE(state.probeReply.load());
}

TEST_F(FrameDispatch, GarbageBeforeAFrameIsSkipped) {
    std::mt19937 random(12345);
    Bytes garbage(16);  // a short run: stray bytes between frames
    for (auto& byte : garbage) {
        byte = static_cast<uint8_t>(random());
        if (byte == frame::kLead) {
            byte = 0;  // a lead byte could start a long discard frame
        }
    }
    state.transferStatus = kTransferPending;
    Feed(Concat({garbage, DirectoryFrame(2, Entries(2)), kProbeReplyFrame, {0x00}}));
    DispatchAll();
    EXPECT_EQ(Status(), kTransferDone);
    EXPECT_EQ(state.directory.Count(), 2);
    EXPECT_EQ(state.directory.Entry(1).size, 5001u);
    EXPECT_TRUE(state.probeReply.load());
}

TEST_F(FrameDispatch, ProbeIsAnsweredWhileAnotherReplyIsAwaited) {
    state.transferStatus = kTransferPending;
    // F8 31 with a length is no probe (a microscope sends it bare): only stray bytes.
    Feed(Concat({Frame(frame::kProbe, 9), Frame(frame::kProbe, 0), Frame(frame::kDiscard, 0)}));
    DispatchAll();
    ASSERT_EQ(writer.Writes().size(), 1u);
    EXPECT_EQ(writer.Writes()[0], (Bytes{0xF8, 0x91, 0x00, 0x00}));
    EXPECT_EQ(Status(), kTransferPending) << "the awaited reply is still pending";
}

// A bare frame with a length is no frame: a picture header whose command byte was
// mangled into a memory-full code must not show the box (with a non-zero length read as 0
// it would, for every such picture).
TEST_F(FrameDispatch, ABareFrameCodeWithALengthIsNoFrame) {
    const Bytes picture = PictureFrame(7, Picture(300, 2));
    Bytes mangled = picture;
    mangled[1] = frame::kMemoryFull;
    Feed(Concat({mangled, picture}));
    DispatchAll();
    EXPECT_FALSE(state.memoryFull.load());
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(FrameDispatch, MemoryFullRaisesTheFlagAndShowsTheBox) {
    Feed(Concat({Frame(frame::kMemoryFull, 0), {0x00}}));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_TRUE(state.memoryFull.load());
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"ShowError Memory full"});
}

TEST_F(FrameDispatch, AcknowledgementAndDiscardConsumeExactlyTheirPayload) {
    state.transferStatus = kTransferPending;
    Feed(Concat({Frame(frame::kDiscard, 0),
                 Frame(frame::kDiscard, 3, {0xF8, 0x91, 0x00}),
                 Frame(frame::kAcknowledge, 4, {1, 2, 3, 4}),
                 {0x00}}));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(buffer->Count(), 16u) << "a discard frame with L = 0 takes nothing";
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(Status(), kTransferPending) << "a discard frame leaves the status alone";
    EXPECT_FALSE(state.probeReply.load());
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(Status(), kTransferDone);
    EXPECT_EQ(buffer->Count(), 1u);

    // An acknowledgement announcing no payload must not eat the next frame's header.
    buffer->Clear();
    Feed(Concat({Frame(frame::kAcknowledge, 0), kProbeReplyFrame, Frame(frame::kDiscard, 0)}));
    DispatchAll();
    EXPECT_TRUE(state.probeReply.load());
}

TEST_F(FrameDispatch, EmptyDirectorySetsCountZero) {
    state.directory.SetCount(5);
    state.transferStatus = kTransferPending;
    Feed({0xF8, 0x82, 0x01, 0x00, 0x00, 0x00});
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(state.directory.Count(), 0);
    EXPECT_EQ(Status(), kTransferDone);
    EXPECT_EQ(buffer->Count(), 0u);
}

TEST_F(FrameDispatch, DirectoryIsReadOnlyOnceItsLastByteArrived) {
    const Bytes whole = DirectoryFrame(3, Entries(3));
    state.transferStatus = kTransferPending;
    Feed(Bytes(whole.begin(), whole.end() - 1));  // header + L bytes: one short
    std::thread dispatcher([this] { thread.DispatchFrame(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(Status(), kTransferPending);
    Feed(Concat({Bytes(whole.end() - 1, whole.end()), kProbeReplyFrame, {0x00}}));
    dispatcher.join();

    EXPECT_EQ(Status(), kTransferDone);
    ASSERT_EQ(state.directory.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(state.directory.Entry(i).info, Entries(3)[i].info);
        EXPECT_EQ(state.directory.Entry(i).size, Entries(3)[i].size);
    }
    DispatchAll();
    EXPECT_TRUE(state.probeReply.load()) << "the next frame starts right behind the directory";
}

TEST_F(FrameDispatch, DirectoryBeyondSixtyFourEntriesKeepsTheFirst) {
    Feed(Concat({DirectoryFrame(70, Entries(70)), kProbeReplyFrame, {0x00}}));
    DispatchAll();
    EXPECT_EQ(state.directory.Count(), 64);
    EXPECT_EQ(state.directory.Entry(63).info, Entries(64)[63].info);
    EXPECT_TRUE(state.probeReply.load()) << "the surplus entries were consumed";
}

// A count that disagrees with the length is refused once the count is in; a length no
// directory can have (0, or not 8N + 1) is no frame start at all.
TEST_F(FrameDispatch, DirectoryWhoseSizesDisagreeIsRefused) {
    state.directory.SetCount(4);
    state.transferStatus = kTransferPending;
    const Bytes disagreeing = DirectoryFrame(9, Entries(2));
    Feed(Bytes(disagreeing.begin(), disagreeing.begin() + frame::kHeaderSize));
    std::thread dispatcher([this] { thread.DispatchFrame(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Feed(Bytes(disagreeing.begin() + frame::kHeaderSize, disagreeing.end()));
    dispatcher.join();
    EXPECT_EQ(Status(), kTransferTimedOut) << "taken on its header, refused at its count";

    state.transferStatus = kTransferPending;
    Feed(Concat({disagreeing, Frame(frame::kDirectory, 0), Frame(frame::kDirectory, 8, Bytes(9, 0)),
                 kProbeReplyFrame, Frame(frame::kDiscard, 0)}));
    DispatchAll();
    EXPECT_EQ(Status(), kTransferPending);
    EXPECT_EQ(state.directory.Count(), 4);
    EXPECT_TRUE(state.probeReply.load());
}

TEST_F(FrameDispatch, StalledPayloadIsGivenUpAfterFiveSecondsAndWhatCameIsLookedThrough) {
    state.collect = true;
    state.transferStatus = kTransferPending;
    Feed(PictureFrame(frame::kPictureHeaderSize + 100, 7, 100, Picture(40, 1)));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(Status(), kTransferTimedOut);
    DispatchAll();
    EXPECT_EQ(buffer->Count(), 0u);
    EXPECT_EQ(pictures.Count(), 0);
}

TEST_F(FrameDispatch, PayloadWaitEndsOnAStopRequest) {
    Feed({1, 2, 3});
    bool result = true;
    std::thread waiter([&] { result = thread.WaitForBytes(100); });
    thread.RequestStop();
    waiter.join();
    EXPECT_FALSE(result);
    EXPECT_EQ(buffer->Count(), 3u) << "a stop is not a stall: the bytes stay";
}

}  // namespace
}  // namespace dm::test
