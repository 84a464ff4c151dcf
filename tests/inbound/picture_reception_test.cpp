// SPDX-License-Identifier: GPL-3.0-or-later
// Picture frames: routing by the steering flags, and frames whose length field and
// picture size disagree.

#include "inbound/picture_claim.h"
#include "inbound_fixture.h"

namespace dm::test {
namespace {

using PictureRouting = InboundTest;

constexpr uint32_t kInfo = frame::MakeInfo(12, 0x23);

QByteArray AsArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

TEST_F(PictureRouting, CollectAppendsToThePictureListOnly) {
    const Bytes picture = Picture(1000, 3);
    state.collect = true;
    state.transferStatus = kTransferPending;
    Feed(Concat({PictureFrame(kInfo, picture), {0x00}}));
    EXPECT_TRUE(thread.DispatchFrame());
    ASSERT_EQ(pictures.Count(), 1);
    EXPECT_EQ(pictures.InfoAt(0), kInfo);
    EXPECT_EQ(pictures.StreamAt(0), AsArray(picture));
    EXPECT_TRUE(live.Frames().empty());
    EXPECT_EQ(snapshots.Count(), 0);
    EXPECT_EQ(Status(), kTransferDone);
    EXPECT_EQ(buffer->Count(), 1u);
}

// During a download only the picture the download waits for fills the next row; a
// picture nobody asked for, or one whose wait has ended, is read and dropped.
TEST_F(PictureRouting, DownloadClaimAdmitsOnlyTheRequestedPicture) {
    state.collect = true;
    state.pictureClaim = frame::PictureNumber(kInfo) + 1;
    Feed(PictureFrame(kInfo, Picture(40, 1)));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(pictures.Count(), 0) << "not the requested picture";

    state.pictureClaim = frame::PictureNumber(kInfo);
    Feed(PictureFrame(kInfo, Picture(40, 2)));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(pictures.Count(), 1);
    EXPECT_EQ(state.pictureClaim.load(), kClaimTaken);
    EXPECT_FALSE(CloseUnansweredClaim(state, frame::PictureNumber(kInfo)))
        << "the download sees that the picture came";

    Feed(PictureFrame(kInfo, Picture(40, 3)));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(pictures.Count(), 1) << "a second copy does not take another row";

    state.pictureClaim = frame::PictureNumber(kInfo);
    EXPECT_TRUE(CloseUnansweredClaim(state, frame::PictureNumber(kInfo)));
    Feed(PictureFrame(kInfo, Picture(40, 4)));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(pictures.Count(), 1) << "too late: the wait already ended";
    EXPECT_EQ(Status(), kTransferDone);
}

TEST_F(PictureRouting, LiveViewRendersOnly) {
    const Bytes picture = Picture(300, 9);
    state.liveView = true;
    Feed(Concat({PictureFrame(kInfo, picture), {0x00}}));
    EXPECT_TRUE(thread.DispatchFrame());
    ASSERT_EQ(live.Frames().size(), 1u);
    EXPECT_EQ(live.Frames()[0].info, kInfo);
    EXPECT_EQ(live.Frames()[0].bytes, picture);
    EXPECT_EQ(pictures.Count(), 0);
    EXPECT_EQ(snapshots.Count(), 0);
}

TEST_F(PictureRouting, LiveAndCollectRenderFirstAndReportDoneLast) {
    state.liveView = true;
    state.collect = true;
    state.transferStatus = kTransferPending;
    int listedWhenRendered = -1;
    uint8_t statusWhenRendered = kTransferDone;
    live.OnRender([&] {
        listedWhenRendered = pictures.Count();
        statusWhenRendered = state.transferStatus.load();
    });
    Feed(Concat({PictureFrame(kInfo, Picture(50, 1)), {0x00}}));
    EXPECT_TRUE(thread.DispatchFrame());
    EXPECT_EQ(listedWhenRendered, 0);
    EXPECT_EQ(statusWhenRendered, kTransferPending);
    EXPECT_EQ(pictures.Count(), 1);
    EXPECT_EQ(Status(), kTransferDone);
}

TEST_F(PictureRouting, SnapshotCaptureIsOneShot) {
    state.snapshotCapture = true;
    state.snapshotCounter = 42;
    const Bytes first = Picture(64, 5);
    Feed(Concat({PictureFrame(kInfo, first), PictureFrame(kInfo + 1, Picture(64, 6)), {0x00}}));
    DispatchAll();
    ASSERT_EQ(snapshots.Count(), 1);
    EXPECT_EQ(snapshots.InfoAt(0), 42u) << "numbered with the snapshot counter";
    EXPECT_EQ(snapshots.StreamAt(0), AsArray(first));
    EXPECT_FALSE(state.snapshotCapture.load());
    EXPECT_EQ(pictures.Count(), 0);
}

TEST_F(PictureRouting, WithoutFlagsThePictureIsReadAndDropped) {
    state.transferStatus = kTransferPending;
    Feed(Concat({PictureFrame(kInfo, Picture(200, 2)), kProbeReplyFrame, {0x00}}));
    DispatchAll();
    EXPECT_EQ(Status(), kTransferDone);
    EXPECT_EQ(pictures.Count() + snapshots.Count(), 0);
    EXPECT_TRUE(live.Frames().empty());
    EXPECT_TRUE(state.probeReply.load());
    EXPECT_EQ(thread.Reception().PictureInfo(), kInfo);
    EXPECT_EQ(thread.Reception().PictureSize(), 200u);
}

// Padding after the JPEG bytes is allowed and dropped by the length. A sender that
// announces padding it never sends loses nothing either: a frame that begins where the
// padding should be is read as that frame.
TEST_F(PictureRouting, PaddingIsDroppedByTheLengthUnlessAFrameBeginsInIt) {
    state.collect = true;
    const Bytes picture = Picture(10, 4);
    const auto padded = static_cast<uint16_t>(frame::kPictureHeaderSize + 10 + 256);
    const Bytes sent = PictureFrame(padded, kInfo, 10, Concat({picture, Bytes(256, 0x00)}));
    const Bytes lying = PictureFrame(padded, kInfo + 1, 10, picture);
    const Bytes plain = PictureFrame(kInfo + 2, picture);
    Feed(Concat({sent, lying, lying, kProbeReplyFrame, plain}));
    DispatchAll();
    EXPECT_EQ(Status(), kTransferDone);
    ASSERT_EQ(pictures.Count(), 4);
    EXPECT_EQ(pictures.InfoAt(3), kInfo + 2);
    EXPECT_EQ(pictures.StreamAt(0), AsArray(picture)) << "the padding is not part of the JPEG";
    EXPECT_TRUE(state.probeReply.load());
    EXPECT_EQ(buffer->Count(), 0u);
}

struct Malformed {
    const char* name;
    uint16_t length;
    uint32_t size;
};

void PrintTo(const Malformed& bad, std::ostream* out) {
    *out << "L = " << bad.length << ", S = " << bad.size;
}

class MalformedPicture : public InboundTest, public ::testing::WithParamInterface<Malformed> {};

// Each frame is looked through for the next one and touches nothing.
TEST_P(MalformedPicture, IsSkippedWholeAndReportedAsFailed) {
    const Malformed bad = GetParam();
    state.liveView = true;
    state.collect = true;
    state.snapshotCapture = true;
    // A good picture first, so the picture buffer holds something to keep.
    Feed(Concat({PictureFrame(kInfo, Picture(20, 1)), {0x00}}));
    ASSERT_TRUE(thread.DispatchFrame());
    buffer->Clear();
    state.transferStatus = kTransferPending;

    Bytes payload = Concat({Le32(kInfo + 5), Le32(bad.size)});
    payload.resize(bad.length, 0xF8);  // L bytes in all (fewer than 8 when L < 8)
    Feed(Concat({Frame(frame::kPicture, bad.length, payload), kProbeReplyFrame,
                 Frame(frame::kDiscard, 0)}));
    DispatchAll();

    EXPECT_NE(Status(), kTransferDone);
    EXPECT_TRUE(state.probeReply.load()) << "the next frame is found behind it";
    EXPECT_EQ(pictures.Count(), 1);
    EXPECT_EQ(snapshots.Count(), 1);
    EXPECT_EQ(live.Frames().size(), 1u);
    EXPECT_EQ(thread.Reception().PictureInfo(), kInfo);
    EXPECT_EQ(thread.Reception().PictureSize(), 20u);
}

INSTANTIATE_TEST_SUITE_P(PictureFrames, MalformedPicture,
                         ::testing::Values(Malformed{"LengthBelowHeader", 5, 0},
                                           Malformed{"SizeBeyondLength", 40, 33},
                                           Malformed{"SizeBeyondBuffer", 65535, 70000},
                                           Malformed{"HugeSize", 65535, 0xFFFFFFFF}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dm::test
