// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <filesystem>
#include <thread>

#include "microscope_fixture.h"
#include "view/jpeg_codec.h"

namespace dm::vm::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kPictureFrameHead = 12;  // header, info word, size

TEST_F(MicroscopeTest, GarbageBetweenFramesBeginsNoFrame) {
    Options options;
    options.faults.garbageBetweenFrames = true;
    StartMicroscope(options);
    for (int i = 0; i < 3; ++i) {
        const auto reply = Ask(Request(frame::kProbe));
        ASSERT_TRUE(reply) << i;
        EXPECT_EQ(reply->command, frame::kProbeReply);
        EXPECT_GT(reply->skipped, 0u) << "garbage came first";
    }
    const auto picture = AsPicture(Ask(RequestWithWord(frame::kPictureRequest, 1)));
    ASSERT_TRUE(picture);
    EXPECT_EQ(frame::PictureNumber(picture->info), 1u);
}

TEST_F(MicroscopeTest, DirectoryOfMoreThan64Entries) {
    Options options;
    options.faults.directoryEntries = 70;
    StartMicroscope(options);
    const auto entries = Directory();
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 70u);
    EXPECT_EQ((*entries)[3].info, frame::MakeInfo(4, 0xF0)) << "the real pictures come first";
    EXPECT_EQ(frame::PictureNumber((*entries)[69].info), 70u);

    // A made-up entry is still delivered.
    const auto picture = AsPicture(Ask(RequestWithWord(frame::kPictureRequest, 70)));
    ASSERT_TRUE(picture);
    EXPECT_EQ(frame::PictureNumber(picture->info), 70u);
    EXPECT_FALSE(DecodeJpeg(picture->jpeg.data(), picture->jpeg.size()).isNull());
}

TEST_F(MicroscopeTest, DirectoryEntriesSwitchChangesAtRunTime) {
    StartMicroscope();
    Faults faults;
    faults.directoryEntries = 65;
    microscope_->SetFaults(faults);
    client_->Write(Request(frame::kDirectoryRequest));
    EXPECT_EQ(client_->Read(4), (Bytes{0xF8, 0x82, 0x09, 0x02})) << "L = 8 * 65 + 1 = 521";
}

TEST_F(MicroscopeTest, UndecodableJpegKeepsSizesAndInfoWords) {
    StartMicroscope();
    const auto good = AsPicture(Ask(RequestWithWord(frame::kPictureRequest, 3)));
    Faults faults;
    faults.undecodableJpeg = true;
    microscope_->SetFaults(faults);
    const auto bad = AsPicture(Ask(RequestWithWord(frame::kPictureRequest, 3)));
    ASSERT_TRUE(good && bad);
    EXPECT_EQ(bad->info, good->info);
    EXPECT_EQ(bad->size, good->size);
    EXPECT_EQ(bad->length, 8 + bad->size);
    EXPECT_TRUE(DecodeJpeg(bad->jpeg.data(), bad->jpeg.size()).isNull());
}

TEST_F(MicroscopeTest, OversizedLengthFieldDisagreesWithThePictureSize) {
    Options options;
    options.faults.oversizedLength = true;
    StartMicroscope(options);
    client_->Write(RequestWithWord(frame::kPictureRequest, 1));
    const Bytes head = client_->Read(kPictureFrameHead);
    ASSERT_EQ(head.size(), kPictureFrameHead);
    const uint32_t size = frame::ReadLe32(head.data() + 8);
    EXPECT_GT(frame::ReadLe16(head.data() + 2), 8 + size);
    EXPECT_EQ(client_->Drain().size(), size) << "only the S picture bytes follow";
}

TEST_F(MicroscopeTest, StalledPayloadStopsHalfwayAndTheStreamWithIt) {
    Options options;
    options.faults.stallPayload = true;
    StartMicroscope(options);
    client_->Write(Request(frame::kCameraOn));
    const Bytes head = client_->Read(kPictureFrameHead);
    ASSERT_EQ(head.size(), kPictureFrameHead);
    ASSERT_EQ(head[1], frame::kPicture);
    const uint32_t size = frame::ReadLe32(head.data() + 8);
    EXPECT_EQ(client_->Drain().size(), size / 2) << "half the picture, then nothing";
    EXPECT_FALSE(microscope_->IsStreaming());
    EXPECT_TRUE(Ask(Request(frame::kProbe))) << "requests are still answered";
}

TEST_F(MicroscopeTest, VanishingLinkClosesMidPicture) {
    StartMicroscope();
    const std::string link = microscope_->LinkPath();
    Faults faults;
    faults.vanishMidTransfer = true;
    microscope_->SetFaults(faults);
    client_->Write(RequestWithWord(frame::kPictureRequest, 1));
    const Bytes got = client_->Read(1 << 16);
    ASSERT_GE(got.size(), kPictureFrameHead);
    const uint32_t size = frame::ReadLe32(got.data() + 8);
    EXPECT_EQ(got.size(), kPictureFrameHead + size / 2);
    EXPECT_TRUE(client_->HungUp());
    for (int i = 0; i < 200 && microscope_->IsRunning(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_FALSE(microscope_->IsRunning());
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST_F(MicroscopeTest, UnplugHangsUpTheVirtualLinkAtOnceMidPicture) {
    Options options;
    options.faults.throttle = true;  // the picture takes seconds: it is surely on its way
    StartMicroscope(options);
    const std::string link = microscope_->LinkPath();
    ASSERT_FALSE(link.empty()) << microscope_->ErrorText();
    client_->Write(RequestWithWord(frame::kPictureRequest, 1));
    const Bytes head = client_->Read(kPictureFrameHead);
    ASSERT_EQ(head.size(), kPictureFrameHead);
    const uint32_t size = frame::ReadLe32(head.data() + 8);

    microscope_->Unplug();
    EXPECT_FALSE(microscope_->IsRunning());
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    pollfd entry{client_->Descriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, static_cast<int>(kReplyTimeout.count())), 1);
    EXPECT_NE(entry.revents & POLLHUP, 0);
    const Bytes rest = client_->Read(size);
    EXPECT_TRUE(client_->HungUp());
    EXPECT_LT(rest.size(), size / 2) << "the picture was cut off where it was";
}

TEST_F(MicroscopeTest, ThrottledLinkDeliversWholeFramesAtSerialSpeed) {
    Options options;
    options.faults.throttle = true;
    StartMicroscope(options);
    const auto started = std::chrono::steady_clock::now();
    const auto picture = AsPicture(Ask(RequestWithWord(frame::kPictureRequest, 4)));
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(picture);
    EXPECT_FALSE(DecodeJpeg(picture->jpeg.data(), picture->jpeg.size()).isNull());
    // Pacing can only make it slower, never faster, than the line rate.
    const double lineSeconds = (kPictureFrameHead + picture->size) /
                               static_cast<double>(VirtualMicroscope::kThrottledBytesPerSecond);
    EXPECT_GE(std::chrono::duration<double>(took).count(), lineSeconds * 0.9);
}

TEST_F(MicroscopeTest, ExclusiveUseIsLiftedOnceNobodyHoldsThePort) {
    StartMicroscope();
    ASSERT_EQ(ioctl(client_->Descriptor(), TIOCEXCL), 0);
    client_.reset();  // closed without a disconnect frame, as after a crash

    // Look now and then through a descriptor of our own (the tests run privileged
    // enough to open an exclusive terminal), holding it only for the look.
    bool exclusive = true;
    const auto deadline = std::chrono::steady_clock::now() + 8s;
    while (exclusive && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(200ms);
        PtyClient look(path_);
        ASSERT_TRUE(look.IsOpen());
        int flag = 1;
        ASSERT_EQ(ioctl(look.Descriptor(), TIOCGEXCL, &flag), 0);
        exclusive = flag != 0;
    }
    EXPECT_FALSE(exclusive);
}

}  // namespace
}  // namespace dm::vm::testing
