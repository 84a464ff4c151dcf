// A line that loses or mangles a byte now and then: the frames behind a fault are found
// at once, whatever the gaps on the line, and nothing inside a broken frame becomes an
// event. Streams are built from frames whose payloads hold no lead byte, so every frame
// start in them is a real one and an event that was not sent is the dispatcher's fault.
#include <algorithm>
#include <random>
#include <set>

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

// A random mix of the frames a microscope sends, each picture numbered in order, ending
// with a picture that nothing is wrong with.
std::vector<Sent> MixedFrames(std::mt19937& random) {
    constexpr int kFrames = 12;
    std::vector<Sent> frames;
    std::size_t at = 0;
    for (int i = 0; i <= kFrames; ++i) {
        const uint32_t info = frame::MakeInfo(static_cast<uint32_t>(i + 1), kZoomCode);
        Bytes bytes;
        switch (i == kFrames ? 0 : random() % 6) {
            case 0:
                bytes = PictureFrame(info, JpegLike(random, 2 + random() % 1500));
                break;
            case 1:
                bytes = Frame(frame::kProbe, 0);
                break;
            case 2:
                bytes = Frame(frame::kMemoryFull, 0);
                break;
            case 3:
                bytes = Frame(frame::kAcknowledge, 4, {1, 2, 3, 4});
                break;
            case 4:
                bytes = Frame(frame::kDiscard, static_cast<uint16_t>(random() % 40), {});
                bytes.resize(frame::kHeaderSize + frame::ReadLe16(&bytes[2]), 0x11);
                break;
            default:
                bytes = DirectoryFrame(2, Entries(2));
                break;
        }
        frames.push_back({at, bytes, bytes[1] == frame::kPicture ? info : 0});
        at += bytes.size();
    }
    return frames;
}

std::vector<std::string> Starts(const std::vector<Sent>& frames) {
    std::vector<std::string> starts;
    for (const auto& sent : frames) {
        starts.push_back(std::to_string(sent.start) + ":" + std::to_string(sent.bytes[1]) + "/" +
                         std::to_string(sent.bytes.size()));
    }
    return starts;
}

// Where the frame's length field says it ends, in the stream as sent.
std::size_t DeclaredEnd(const Sent& sent) {
    const uint16_t length = frame::ReadLe16(&sent.bytes[2]);
    return sent.start + frame::kHeaderSize + length + 1;
}

// Drops, mangles (never into a lead byte) or inserts one byte, or cuts the frame short.
Bytes WithRandomFault(std::vector<Sent> frames, std::size_t hit, std::mt19937& random,
                      std::size_t& faultAt) {
    Bytes& bytes = frames[hit].bytes;
    const std::size_t at = random() % bytes.size();
    faultAt = frames[hit].start + at;
    switch (random() % 4) {
        case 0:
            bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        case 1:
            bytes[at] ^= static_cast<uint8_t>(1 + random() % 255);
            if (bytes[at] == frame::kLead) {
                bytes[at] ^= 1;
            }
            break;
        case 2:
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         static_cast<uint8_t>(random() % frame::kLead));
            break;
        default:
            bytes.resize(at);
            break;
    }
    Bytes stream;
    for (const auto& sent : frames) {
        stream.insert(stream.end(), sent.bytes.begin(), sent.bytes.end());
    }
    return stream;
}

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

// Random streams of every frame the microscope sends, one random fault each: nothing is
// reported that was not sent (the broken frame itself may yield one event), and every
// frame sent wholly behind the broken frame's announced end is reported.
TEST_F(Resync, NoFrameIsMadeUpAndNoneBehindAFaultIsLost) {
    constexpr int kStreams = 400;
    std::mt19937 random(1209);
    for (int run = 0; run < kStreams; ++run) {
        ReceiveBuffer lineBuffer;
        RecordingFrameWriter answers;
        DeviceState lineState;
        IMAGE_BUFFER collected;
        IMAGE_BUFFER unused;
        RecordingLiveSink unusedLive;
        RecordingWindow boxes;
        lineState.collect = true;
        TDataProcThread dispatcher{lineBuffer, answers,    lineState, collected,
                                   unused,     unusedLive, boxes,     InboundTiming{0ms, 10s}};
        const std::vector<Sent> frames = MixedFrames(random);
        const std::size_t hit = random() % (frames.size() - 1);
        std::size_t faultAt = frames[hit].start;
        const Bytes stream = WithRandomFault(frames, hit, random, faultAt);
        {
            std::lock_guard guard(lineBuffer.Lock());
            ASSERT_EQ(lineBuffer.Append(stream.data(), static_cast<uint32_t>(stream.size())),
                      stream.size());
        }
        while (dispatcher.DispatchFrame()) {
        }
        SCOPED_TRACE(testing::Message()
                     << "run " << run << ", fault in frame " << hit << " at " << faultAt
                     << ", frames at " << ::testing::PrintToString(Starts(frames)));
        std::multiset<uint32_t> sentInfos;
        std::set<uint32_t> owed;
        int probes = 0;
        int memoryFulls = 0;
        // Offsets in the stream as received: the frames behind the fault moved by `shift`.
        const auto sentSize = frames.back().start + frames.back().bytes.size();
        const auto shift =
            static_cast<std::ptrdiff_t>(stream.size()) - static_cast<std::ptrdiff_t>(sentSize);
        const std::size_t excusedUntil = std::max(
            {faultAt, DeclaredEnd(frames[hit]),
             DeclaredEnd({frames[hit].start,
                          Bytes(stream.begin() + static_cast<std::ptrdiff_t>(frames[hit].start),
                                stream.end())})});
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const uint8_t command = frames[i].bytes[1];
            probes += command == frame::kProbe ? 1 : 0;
            memoryFulls += command == frame::kMemoryFull ? 1 : 0;
            if (command == frame::kPicture) {
                sentInfos.insert(frames[i].info);
                if (i > hit &&
                    static_cast<std::size_t>(static_cast<std::ptrdiff_t>(frames[i].start) + shift) >
                        excusedUntil) {
                    owed.insert(frames[i].info);
                }
            }
        }
        int unsent = 0;
        std::set<uint32_t> reported;
        for (int32_t i = 0; i < collected.Count(); ++i) {
            reported.insert(collected.InfoAt(i));
            unsent += sentInfos.count(collected.InfoAt(i)) == 0 ? 1 : 0;
        }
        unsent += std::max(0, static_cast<int>(answers.Writes().size()) - probes);
        unsent += std::max(0, static_cast<int>(boxes.Calls().size()) - memoryFulls);
        EXPECT_LE(unsent, 1) << "events that were not sent";
        for (const uint32_t info : owed) {
            EXPECT_EQ(reported.count(info), 1u) << "picture " << info << " behind the fault";
        }
        dispatcher.RequestStop();
    }
}

}  // namespace
}  // namespace dm::test
