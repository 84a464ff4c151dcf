// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/virtual_microscope.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/port_table.h"
#include "microscope_fixture.h"
#include "view/jpeg_codec.h"

namespace dm::vm::testing {
namespace {

using namespace std::chrono_literals;

QImage Decode(const Bytes& jpeg) {
    return DecodeJpeg(jpeg.data(), jpeg.size());
}

Bytes SmallJpeg() {
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    const QByteArray jpeg = EncodeJpegStream(picture, kSingleSaveJpegQuality);
    return Bytes(jpeg.begin(), jpeg.end());
}

TEST_F(MicroscopeTest, AnswersAProbeWithAProbeReplyAndLogsIt) {
    StartMicroscope();
    const auto reply = Ask(Request(frame::kProbe));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, frame::kProbeReply);
    EXPECT_EQ(reply->length, 0);
    EXPECT_EQ(reply->skipped, 0u);
    EXPECT_TRUE(microscope_->WaitForFrame({0xF8, 0x31, 0x00, 0x00}, 1s));
}

TEST_F(MicroscopeTest, DirectoryFrameCarriesCountAndEntriesWithLengthEightNPlusOne) {
    StartMicroscope();
    client_->Write(Request(frame::kDirectoryRequest));
    const Bytes header = client_->Read(4);
    ASSERT_EQ(header.size(), 4u);
    EXPECT_EQ(header, (Bytes{0xF8, 0x82, 0x21, 0x00})) << "4 entries: L = 33";
    const Bytes payload = client_->Read(34);  // one more than L: count and 4 entries
    ASSERT_EQ(payload.size(), 34u);
    EXPECT_EQ(frame::ReadLe16(payload.data()), 4);

    const auto pictures = microscope_->Pictures();
    ASSERT_EQ(pictures.size(), 4u);
    const uint8_t zoomCodes[] = {0x00, 0x25, 0x31, 0xF0};
    for (std::size_t i = 0; i < 4; ++i) {
        const uint8_t* entry = payload.data() + 2 + 8 * i;
        EXPECT_EQ(frame::ReadLe32(entry), frame::MakeInfo(i + 1, zoomCodes[i])) << i;
        EXPECT_EQ(frame::ReadLe32(entry + 4), static_cast<uint32_t>(pictures[i].jpeg.size()));
    }
    EXPECT_TRUE(client_->Drain().empty()) << "nothing after the directory frame";
}

TEST_F(MicroscopeTest, PictureRequestReturnsADecodable320x240PictureWithItsInfoWord) {
    StartMicroscope();
    const auto picture = AsPicture(Ask(RequestWithWord(frame::kPictureRequest, 2)));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->info, frame::MakeInfo(2, 0x25));
    EXPECT_EQ(picture->length, 8 + picture->size);
    EXPECT_EQ(picture->jpeg.size(), picture->size);
    EXPECT_LT(picture->size, 30000u);
    const QImage decoded = Decode(picture->jpeg);
    EXPECT_EQ(decoded.size(), QSize(320, 240));
    EXPECT_TRUE(microscope_->WaitForFrame({0xF8, 0x22, 0x04, 0x00, 0x02, 0x00, 0x00, 0x00}, 1s));
}

TEST_F(MicroscopeTest, PicturesDifferFromEachOther) {
    StartMicroscope();
    const auto pictures = microscope_->Pictures();
    ASSERT_EQ(pictures.size(), 4u);
    for (std::size_t i = 1; i < pictures.size(); ++i) {
        EXPECT_NE(pictures[i].jpeg, pictures[0].jpeg) << i;
    }
}

TEST_F(MicroscopeTest, PictureRequestForANumberNotHeldIsNotAnswered) {
    StartMicroscope();
    client_->Write(RequestWithWord(frame::kPictureRequest, 99));
    EXPECT_TRUE(client_->Drain().empty());
    EXPECT_TRUE(Ask(Request(frame::kProbe))) << "still answering";
}

TEST_F(MicroscopeTest, DeleteAndDeleteAllChangeTheDirectory) {
    StartMicroscope();
    // The delete request carries the whole info word, zoom code included.
    client_->Write(RequestWithWord(frame::kDeleteRequest, frame::MakeInfo(2, 0x25)));
    auto entries = Directory();
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u);
    EXPECT_EQ(frame::PictureNumber((*entries)[0].info), 1u);
    EXPECT_EQ(frame::PictureNumber((*entries)[1].info), 3u);
    EXPECT_EQ(frame::PictureNumber((*entries)[2].info), 4u);

    client_->Write(Request(frame::kDeleteAllRequest));
    client_->Write(Request(frame::kDirectoryRequest));
    const Bytes empty = client_->Read(6);
    EXPECT_EQ(empty, (Bytes{0xF8, 0x82, 0x01, 0x00, 0x00, 0x00})) << "count 0: L = 1";
}

TEST_F(MicroscopeTest, UploadIsStoredAsANewPicture) {
    StartMicroscope();
    const Bytes jpeg = SmallJpeg();
    const std::size_t mark = microscope_->ReceivedCount();
    client_->Write(Request(frame::kUpload, static_cast<uint16_t>(jpeg.size())));
    client_->WriteInPieces(jpeg, 32, 2ms);
    const auto logged = microscope_->WaitForFrame({0xF8, 0x27}, 3s, mark);
    ASSERT_TRUE(logged);
    EXPECT_EQ(logged->size(), 4 + jpeg.size()) << "header and payload as one frame";

    const auto pictures = microscope_->Pictures();
    ASSERT_EQ(pictures.size(), 5u);
    EXPECT_EQ(frame::PictureNumber(pictures[4].info), 5u);
    EXPECT_EQ(Bytes(pictures[4].jpeg.begin(), pictures[4].jpeg.end()), jpeg);
    const auto picture = AsPicture(Ask(RequestWithWord(frame::kPictureRequest, 5)));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->jpeg, jpeg);
}

TEST_F(MicroscopeTest, UploadBeyondTheMemoryLimitIsAnsweredWithMemoryFull) {
    Options options;
    options.pictures = 2;
    options.maxPictures = 2;
    StartMicroscope(options);
    const Bytes jpeg = SmallJpeg();
    client_->Write(Request(frame::kUpload, static_cast<uint16_t>(jpeg.size())));
    EXPECT_EQ(client_->Read(4), (Bytes{0xF8, 0xA1, 0x00, 0x00}));

    // A program that sends the picture anyway: its bytes are skipped, not taken as
    // requests, and the next request is answered.
    client_->WriteInPieces(jpeg, 32, 1ms);
    const auto reply = Ask(Request(frame::kProbe));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, frame::kProbeReply);
    EXPECT_EQ(reply->skipped, 0u);
    EXPECT_EQ(microscope_->Pictures().size(), 2u);
}

TEST_F(MicroscopeTest, RefusedUploadWithoutItsPictureLetsTheNextRequestThrough) {
    Options options;
    options.maxPictures = options.pictures;
    StartMicroscope(options);
    client_->Write(Request(frame::kUpload, 1000));
    EXPECT_EQ(client_->Read(4), (Bytes{0xF8, 0xA1, 0x00, 0x00}));
    const auto reply = Ask(Request(frame::kProbe));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, frame::kProbeReply);
}

TEST_F(MicroscopeTest, CameraOnStreamsLiveFramesUntilCameraOff) {
    StartMicroscope();
    client_->Write(Request(frame::kCameraOn));
    uint32_t lastNumber = 0;
    for (int i = 0; i < 4; ++i) {
        const auto picture = AsPicture(client_->ReadFrame());
        ASSERT_TRUE(picture) << "frame " << i;
        EXPECT_EQ(frame::ZoomCode(picture->info), 0x00);
        EXPECT_GT(frame::PictureNumber(picture->info), lastNumber) << "frames are counted";
        lastNumber = frame::PictureNumber(picture->info);
        EXPECT_EQ(Decode(picture->jpeg).size(), QSize(320, 240));
    }
    EXPECT_TRUE(microscope_->IsStreaming());
    client_->Write(Request(frame::kCameraOff));
    ASSERT_TRUE(microscope_->WaitForFrame({0xF8, 0x2A}, 2s));
    client_->Drain();  // what was under way when the request came
    EXPECT_FALSE(microscope_->IsStreaming());
    EXPECT_TRUE(client_->Drain().empty());
}

TEST_F(MicroscopeTest, ZoomKeysWalkThroughRangesZeroAndTwo) {
    StartMicroscope();
    auto snapshotZoom = [&]() -> int {
        const auto picture = AsPicture(Ask(Request(frame::kGetSnapshot, 1)));
        return picture ? frame::ZoomCode(picture->info) : -1;
    };
    EXPECT_EQ(snapshotZoom(), 0x00);
    const Bytes zoomIn = Request(frame::kKeyBase + 8);
    const Bytes zoomOut = Request(frame::kKeyBase + 6);
    for (int i = 0; i < 3; ++i) {
        client_->Write(zoomIn);
    }
    EXPECT_EQ(snapshotZoom(), 0x03);
    for (int i = 0; i < 13; ++i) {
        client_->Write(zoomIn);
    }
    EXPECT_EQ(snapshotZoom(), 0x20) << "after step 15 of range 0 comes range 2";
    for (int i = 0; i < 40; ++i) {
        client_->Write(zoomIn);
    }
    EXPECT_EQ(snapshotZoom(), 0x2F) << "stops at the last step";
    client_->Write(zoomOut);
    EXPECT_EQ(snapshotZoom(), 0x2E);

    // The stream follows the keys too.
    client_->Write(Request(frame::kCameraOn));
    const auto live = AsPicture(client_->ReadFrame());
    ASSERT_TRUE(live);
    EXPECT_EQ(frame::ZoomCode(live->info), 0x2E);
    client_->Write(Request(frame::kCameraOff));
}

TEST_F(MicroscopeTest, PanKeysChangeTheLivePicture) {
    StartMicroscope();
    client_->Write(Request(frame::kKeyBase + 7));  // lock: the cells stop drifting
    const auto before = AsPicture(Ask(Request(frame::kGetSnapshot)));
    const auto still = AsPicture(Ask(Request(frame::kGetSnapshot)));
    client_->Write(Request(frame::kKeyBase + 4));  // right
    const auto moved = AsPicture(Ask(Request(frame::kGetSnapshot)));
    ASSERT_TRUE(before && still && moved);
    EXPECT_EQ(before->jpeg, still->jpeg) << "locked and not moved: the same picture";
    EXPECT_NE(before->jpeg, moved->jpeg);
}

TEST_F(MicroscopeTest, UnknownBytesAreDroppedOneAtATime) {
    StartMicroscope();
    client_->Write({0x00, 0xF8, 0x99, 0x12, 0xF8, 0x31, 0x00, 0x00});
    const auto reply = client_->ReadFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, frame::kProbeReply);
    EXPECT_EQ(microscope_->DroppedBytes(), 4u);
    const auto frames = microscope_->ReceivedFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (Bytes{0xF8, 0x31, 0x00, 0x00}));
}

TEST_F(MicroscopeTest, OwnProbesAreSentAndTheReplyIsLogged) {
    Options options;
    options.probeEveryMs = 100;
    StartMicroscope(options);
    const auto probe = client_->ReadFrame();
    ASSERT_TRUE(probe);
    EXPECT_EQ(probe->command, frame::kProbe);
    client_->Write(Request(frame::kProbeReply));
    EXPECT_TRUE(microscope_->WaitForFrame({0xF8, 0x91, 0x00, 0x00}, 2s));
}

TEST_F(MicroscopeTest, WireLogFileHasOneFrameALine) {
    const std::string path = ::testing::TempDir() + "vm_wire_log_" + std::to_string(getpid());
    Options options;
    options.logPath = path;
    StartMicroscope(options);
    const Bytes jpeg = SmallJpeg();
    client_->Write(Request(frame::kProbe));
    client_->Write(RequestWithWord(frame::kDeleteRequest, 0x05000003));
    client_->Write(Request(frame::kUpload, static_cast<uint16_t>(jpeg.size())));
    client_->WriteInPieces(jpeg, 32, 1ms);
    client_->Write(Request(frame::kKeyBase + 1));
    ASSERT_TRUE(microscope_->WaitForFrame({0xF8, 0x41}, 3s));
    microscope_->Stop();

    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "F8 31 00 00");
    EXPECT_EQ(lines[1], "F8 23 04 00 03 00 00 05");
    char header[16];
    std::snprintf(header, sizeof header, "F8 27 %02X %02X",
                  static_cast<unsigned>(jpeg.size() & 0xFF),
                  static_cast<unsigned>(jpeg.size() >> 8));
    EXPECT_EQ(lines[2], header);
    EXPECT_EQ(lines[3].rfind("  payload " + std::to_string(jpeg.size()) + " bytes: FF D8", 0), 0u)
        << lines[3];
    EXPECT_EQ(lines[4], "F8 41 00 00");
}

TEST_F(MicroscopeTest, PublishedLinkAppearsAndDisappears) {
    StartMicroscope();
    const std::string link = microscope_->LinkPath();
    ASSERT_FALSE(link.empty()) << microscope_->ErrorText();
    EXPECT_EQ(std::filesystem::path(link).parent_path(), PortTable::PublishedLinksDirectory());
    EXPECT_EQ(std::filesystem::read_symlink(link), path_);
    struct stat info {};
    ASSERT_EQ(::stat(PortTable::PublishedLinksDirectory().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    microscope_->Stop();
    EXPECT_FALSE(std::filesystem::is_symlink(link));
    EXPECT_FALSE(microscope_->IsRunning());
}

TEST_F(MicroscopeTest, TwoMicroscopesPublishTwoLinks) {
    StartMicroscope();
    VirtualMicroscope second;
    ASSERT_FALSE(second.Start().empty());
    EXPECT_NE(second.LinkPath(), microscope_->LinkPath());
    EXPECT_NE(second.SlavePath(), microscope_->SlavePath());
    EXPECT_EQ(std::filesystem::read_symlink(second.LinkPath()), second.SlavePath());
}

TEST_F(MicroscopeTest, PortCanBeClosedAndOpenedAgainBetweenProbes) {
    StartMicroscope();
    client_.reset();
    for (int round = 0; round < 3; ++round) {
        PtyClient client(path_);
        ASSERT_TRUE(client.IsOpen()) << round;
        client.Write(Request(frame::kProbe));
        const auto reply = client.ReadFrame();
        ASSERT_TRUE(reply) << round;
        EXPECT_EQ(reply->command, frame::kProbeReply);
    }
}

TEST_F(MicroscopeTest, PortOpenedAfterADisconnectStartsClean) {
    StartMicroscope();
    client_->Write(Request(frame::kCameraOn));
    ASSERT_TRUE(microscope_->WaitForFrame({0xF8, 0x29}, 2s));
    std::this_thread::sleep_for(200ms);  // frames pile up unread
    client_->Write(Request(frame::kDisconnect));
    ASSERT_TRUE(microscope_->WaitForFrame({0xF8, 0x12}, 2s));
    std::this_thread::sleep_for(100ms);
    client_.reset();

    PtyClient next(path_);
    ASSERT_TRUE(next.IsOpen());
    EXPECT_TRUE(next.Drain().empty()) << "no tail of the old stream";
    next.Write(Request(frame::kProbe));
    const auto reply = next.ReadFrame();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command, frame::kProbeReply);
    EXPECT_EQ(reply->skipped, 0u);
}

TEST_F(MicroscopeTest, DisconnectLiftsTheExclusiveUseLeftOnTheTerminal) {
    StartMicroscope();
    ASSERT_EQ(ioctl(client_->Descriptor(), TIOCEXCL), 0);
    client_->Write(Request(frame::kDisconnect));
    ASSERT_TRUE(microscope_->WaitForFrame({0xF8, 0x12}, 2s));
    int exclusive = 1;
    for (int i = 0; i < 100 && exclusive != 0; ++i) {
        ASSERT_EQ(ioctl(client_->Descriptor(), TIOCGEXCL, &exclusive), 0);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(exclusive, 0);
}

}  // namespace
}  // namespace dm::vm::testing
