// SPDX-License-Identifier: GPL-3.0-or-later
// A line that loses or mangles a byte now and then: the frames behind a fault are found
// at once, whatever the gaps on the line, and nothing inside a broken frame becomes an
// event. Streams are built from frames whose payloads hold no lead byte, so every frame
// start in them is a real one and an event that was not sent is the dispatcher's fault.
#include <algorithm>
#include <random>
#include <set>

#include "fuzz/resync_property.h"
#include "inbound_fixture.h"

namespace dm::test {
namespace {

using namespace std::chrono_literals;

constexpr uint8_t kZoomCode = 0x35;
constexpr int kStreamFrames = 24;
constexpr std::size_t kLargestChunk = 4096;
constexpr int kMostLostPerFault = 2;

// JPEG-like bytes without a lead byte: start and end of image around varied data.
Bytes JpegLike(std::mt19937& random, uint32_t size) {
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<uint8_t>(random() % frame::kLead);
    }
    bytes[0] = 0xFF;
    bytes[1] = 0xD8;
    bytes[size - 2] = 0xFF;
    bytes[size - 1] = 0xD9;
    return bytes;
}

struct Sent {
    std::size_t start = 0;  // in the stream as sent
    Bytes bytes;
    uint32_t info = 0;  // pictures only
};

std::vector<Sent> LiveFrames(std::mt19937& random) {
    std::vector<Sent> frames;
    std::size_t at = 0;
    for (int i = 0; i < kStreamFrames; ++i) {
        const uint32_t info = frame::MakeInfo(static_cast<uint32_t>(i + 1), kZoomCode);
        const Bytes bytes = PictureFrame(info, JpegLike(random, 300 + random() % 2700));
        frames.push_back({at, bytes, info});
        at += bytes.size();
    }
    return frames;
}

enum class Fault { kDrop, kFlip, kTruncate, kShortLength };

struct FaultCase {
    Fault fault;
    std::size_t offset;  // within the faulted frame; for a truncation, the bytes kept
};

// Applies the fault to frame `hit` and returns the stream as received.
Bytes Received(std::vector<Sent> frames, std::size_t hit, const FaultCase& fault) {
    Bytes& bytes = frames[hit].bytes;
    const std::size_t at = std::min(fault.offset, bytes.size() - 1);
    switch (fault.fault) {
        case Fault::kDrop:
            bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        case Fault::kFlip:
            bytes[at] ^= 0x5A;
            break;
        case Fault::kTruncate:
            bytes.resize(at);
            break;
        case Fault::kShortLength:
            frame::WriteLe16(bytes.data() + 2,
                             static_cast<uint16_t>(frame::ReadLe16(&bytes[2]) - 50));
            break;
    }
    Bytes stream;
    for (const auto& sent : frames) {
        stream.insert(stream.end(), sent.bytes.begin(), sent.bytes.end());
    }
    return stream;
}

const FaultCase kFaults[] = {
    {Fault::kDrop, 0},        {Fault::kDrop, 1},      {Fault::kDrop, 3},
    {Fault::kDrop, 6},        {Fault::kDrop, 10},     {Fault::kDrop, 13},
    {Fault::kDrop, 200},      {Fault::kDrop, 99999},  {Fault::kFlip, 1},
    {Fault::kFlip, 3},        {Fault::kFlip, 9},      {Fault::kFlip, 11},
    {Fault::kFlip, 12},       {Fault::kFlip, 150},    {Fault::kTruncate, 2},
    {Fault::kTruncate, 11},   {Fault::kTruncate, 60}, {Fault::kTruncate, 290},
    {Fault::kShortLength, 0},
};

class Resync : public InboundTest {
  protected:
    std::set<uint32_t> Infos(const std::vector<RecordingLiveSink::Frame>& frames) const {
        std::set<uint32_t> infos;
        for (const auto& shown : frames) {
            infos.insert(shown.info);
        }
        return infos;
    }
};

// Frames back to back, in chunks of 1 byte to 4 KB, one fault in the second frame: the
// live view goes on with the next whole frame, and nothing shown was not sent.
TEST_F(Resync, AGapFreeLiveStreamLosesAtMostTwoFramesPerFault) {
    state.liveView = true;
    thread.start();
    std::mt19937 random(20261209);
    const std::vector<Sent> frames = LiveFrames(random);
    const uint32_t lastInfo = frames.back().info;
    std::size_t shownBefore = 0;
    for (const FaultCase& fault : kFaults) {
        SCOPED_TRACE(testing::Message()
                     << "fault " << static_cast<int>(fault.fault) << " at " << fault.offset);
        const Bytes stream = Received(frames, 1, fault);
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min(stream.size() - at, 1 + random() % kLargestChunk);
            Feed(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(at),
                       stream.begin() + static_cast<std::ptrdiff_t>(at + n)));
            at += n;
        }
        ASSERT_TRUE(WaitUntil(
            [&] {
                const auto shown = live.Frames();
                return shown.size() > shownBefore && shown.back().info == lastInfo;
            },
            10s))
            << "the stream's last frame was not shown";
        const auto all = live.Frames();
        const std::vector<RecordingLiveSink::Frame> shown(
            all.begin() + static_cast<std::ptrdiff_t>(shownBefore), all.end());
        shownBefore = all.size();
        std::set<uint32_t> infos = Infos(shown);
        infos.erase(frames[1].info);  // the broken frame may show, mangled or not
        EXPECT_LE(infos.size() + 0u, static_cast<std::size_t>(kStreamFrames - 1));
        EXPECT_GE(infos.size(), static_cast<std::size_t>(kStreamFrames - kMostLostPerFault));
        for (const auto& one : shown) {
            if (one.info != frames[1].info) {
                EXPECT_EQ(frame::ZoomCode(one.info), kZoomCode) << "a frame that was not sent";
            }
        }
    }
    EXPECT_TRUE(writer.Writes().empty());
    EXPECT_TRUE(window.Calls().empty());
    StopThread();
}

// Downloaded pictures come one per request: a broken reply costs that picture alone.
TEST_F(Resync, ADownloadLosesOnlyTheBrokenPicture) {
    TDataProcThread quick{*buffer,   writer, state,  pictures,
                          snapshots, live,   window, InboundTiming{200ms, 100ms}};
    state.collect = true;
    quick.start();
    std::mt19937 random(7);
    const std::vector<Sent> frames = LiveFrames(random);
    for (const FaultCase fault : {FaultCase{Fault::kDrop, 40}, FaultCase{Fault::kShortLength, 0},
                                  FaultCase{Fault::kTruncate, 100}, FaultCase{Fault::kDrop, 5}}) {
        pictures.Clear();
        const Bytes stream = Received(frames, 1, fault);
        const auto sentSize =
            static_cast<std::ptrdiff_t>(frames.back().start + frames.back().bytes.size());
        const std::ptrdiff_t delta = static_cast<std::ptrdiff_t>(stream.size()) - sentSize;
        auto at = stream.begin();
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const auto size =
                static_cast<std::ptrdiff_t>(frames[i].bytes.size()) + (i == 1 ? delta : 0);
            state.transferStatus = kTransferPending;
            Feed(Bytes(at, at + size));
            at += size;
            // A reply that is no frame at all gets no status: the command's wait ends it.
            WaitUntil([&] { return Status() != kTransferPending; }, i == 1 ? 1s : 5s);
        }
        EXPECT_EQ(pictures.Count(), kStreamFrames - 1) << "fault " << static_cast<int>(fault.fault);
    }
    quick.RequestStop();
    window.ReleaseBoxes();
    ASSERT_TRUE(quick.wait(QDeadlineTimer(10000)));
}

// Random streams of every frame the microscope sends, one random fault each (the fuzz
// target checks the same with inputs of its choosing).
TEST(ResyncProperty, NoFrameIsMadeUpAndNoneBehindAFaultIsLost) {
    constexpr int kStreams = 1000;
    constexpr std::size_t kInputSize = 3000;
    std::mt19937 random(1209);
    Bytes input(kInputSize);
    for (int run = 0; run < kStreams; ++run) {
        std::generate(input.begin(), input.end(), [&] { return static_cast<uint8_t>(random()); });
        EXPECT_EQ(fuzz::CheckResyncProperty(input.data(), input.size()), "") << "run " << run;
    }
}

}  // namespace
}  // namespace dm::test
