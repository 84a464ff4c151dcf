// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/resync_property.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <vector>

#include "fuzz/counting_frame_writer.h"
#include "fuzz/quiet_window.h"
#include "inbound/data_proc_thread.h"
#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/live_frame_sink.h"
#include "link/frame.h"
#include "link/receive_buffer.h"

namespace dm::fuzz {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kMostFrames = 12;
constexpr uint32_t kLargestPicture = 1500;
constexpr uint16_t kLargestDiscard = 40;
constexpr uint8_t kZoomCode = 0x35;
constexpr uint8_t kFiller = 0x11;
constexpr int kDirectoryEntries = 2;
// Payload waits end at once (the whole stream is buffered before dispatching); a bare
// frame is never believed for a quiet line, only for the frame behind it.
constexpr InboundTiming kWholeStream{std::chrono::milliseconds{0}, std::chrono::hours{1}};

// The input's bytes as a sequence of choices; zeros once it is used up.
class Choices {
  public:
    Choices(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint32_t Next(uint32_t bound) {
        uint32_t value = 0;
        for (int i = 0; i < 2; ++i) {
            value = (value << 8) | (at_ < size_ ? data_[at_++] : 0);
        }
        return bound == 0 ? 0 : value % bound;
    }
    uint8_t NotLead() { return static_cast<uint8_t>(Next(frame::kLead)); }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Sent {
    std::size_t start = 0;
    Bytes bytes;
    uint32_t info = 0;  // pictures only
};

Bytes Frame(uint8_t command, uint16_t length, const Bytes& payload = {}) {
    const auto header = frame::MakeHeader(command, length);
    Bytes bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

void AddLe32(Bytes& bytes, uint32_t value) {
    bytes.resize(bytes.size() + 4);
    frame::WriteLe32(bytes.data() + bytes.size() - 4, value);
}

Bytes PictureFrame(Choices& choices, uint32_t info) {
    const uint32_t size = 4 + choices.Next(kLargestPicture);
    Bytes payload;
    AddLe32(payload, info);
    AddLe32(payload, size);
    payload.insert(payload.end(), {0xFF, 0xD8});
    for (uint32_t i = 4; i < size; ++i) {
        payload.push_back(choices.NotLead());
    }
    payload.insert(payload.end(), {0xFF, 0xD9});
    return Frame(frame::kPicture, static_cast<uint16_t>(frame::kPictureHeaderSize + size), payload);
}

Bytes DirectoryFrame() {
    Bytes payload(frame::kDirectoryCountSize);
    frame::WriteLe16(payload.data(), kDirectoryEntries);
    for (uint32_t i = 1; i <= kDirectoryEntries; ++i) {
        AddLe32(payload, frame::MakeInfo(i, kZoomCode));
        AddLe32(payload, 1000 * i);
    }
    return Frame(frame::kDirectory,
                 static_cast<uint16_t>(kDirectoryEntries * frame::kDirectoryEntrySize + 1),
                 payload);
}

// Ends with a picture nothing is wrong with, so every frame has one behind it.
std::vector<Sent> MixedFrames(Choices& choices) {
    const int count = 2 + static_cast<int>(choices.Next(kMostFrames));
    std::vector<Sent> frames;
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t info = frame::MakeInfo(static_cast<uint32_t>(i + 1), kZoomCode);
        Bytes bytes;
        switch (i + 1 == count ? 0 : choices.Next(6)) {
            case 0:
                bytes = PictureFrame(choices, info);
                break;
            case 1:
                bytes = Frame(frame::kProbe, 0);
                break;
            case 2:
                bytes = Frame(frame::kMemoryFull, 0);
                break;
            case 3:
                bytes = Frame(frame::kAcknowledge, frame::kAcknowledgeSize, {1, 2, 3, 4});
                break;
            case 4: {
                const auto length = static_cast<uint16_t>(choices.Next(kLargestDiscard));
                bytes = Frame(frame::kDiscard, length, Bytes(length, kFiller));
                break;
            }
            default:
                bytes = DirectoryFrame();
                break;
        }
        frames.push_back({at, bytes, bytes[1] == frame::kPicture ? info : 0});
        at += bytes.size();
    }
    return frames;
}

struct Fault {
    std::size_t hit = 0;  // the frame it is in
    std::size_t at = 0;   // in the stream as sent
};

// Drops, mangles (never into a lead byte) or slips in one byte, or cuts the frame short.
Bytes WithFault(std::vector<Sent> frames, Choices& choices, Fault& fault) {
    fault.hit = choices.Next(static_cast<uint32_t>(frames.size() - 1));
    Bytes& bytes = frames[fault.hit].bytes;
    const std::size_t at = choices.Next(static_cast<uint32_t>(bytes.size()));
    fault.at = frames[fault.hit].start + at;
    switch (choices.Next(4)) {
        case 0:
            bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        case 1: {
            const auto mangled = static_cast<uint8_t>(bytes[at] ^ (1 + choices.Next(255)));
            bytes[at] = mangled == frame::kLead ? static_cast<uint8_t>(mangled ^ 1) : mangled;
            break;
        }
        case 2:
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), choices.NotLead());
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

// Where a frame whose header is at `start` of `bytes` ends by its length field (a
// directory reads one byte more than its length says).
std::size_t AnnouncedEnd(std::size_t start, const Bytes& bytes) {
    if (start + frame::kHeaderSize > bytes.size()) {
        return bytes.size();
    }
    return start + frame::kHeaderSize + frame::ReadLe16(&bytes[start + 2]) + 1;
}

class PictureCounter : public LiveFrameSink {
  public:
    void RenderLiveFrame(uint32_t, const uint8_t*, uint32_t) override {}
};

}  // namespace

std::string CheckResyncProperty(const uint8_t* data, std::size_t size) {
    Choices choices(data, size);
    const std::vector<Sent> frames = MixedFrames(choices);
    Fault fault;
    const Bytes stream = WithFault(frames, choices, fault);
    if (stream.size() > ReceiveBuffer::kMaxHeld) {
        return {};
    }

    ReceiveBuffer buffer;
    CountingFrameWriter answers;
    DeviceState state;
    state.collect = true;
    IMAGE_BUFFER pictures;
    IMAGE_BUFFER snapshots;
    PictureCounter live;
    QuietWindow window;
    {
        TDataProcThread dispatcher{buffer,    answers, state,  pictures,
                                   snapshots, live,    window, kWholeStream};
        {
            std::lock_guard guard(buffer.Lock());
            buffer.Append(stream.data(), static_cast<uint32_t>(stream.size()));
        }
        while (dispatcher.DispatchFrame()) {
        }
    }

    // Offsets in the stream as received: the frames behind the fault moved by `shift`.
    const auto sentSize =
        static_cast<std::ptrdiff_t>(frames.back().start + frames.back().bytes.size());
    const std::ptrdiff_t shift = static_cast<std::ptrdiff_t>(stream.size()) - sentSize;
    const Sent& hit = frames[fault.hit];
    const std::size_t excusedUntil = std::max(
        {fault.at, AnnouncedEnd(0, hit.bytes) + hit.start, AnnouncedEnd(hit.start, stream)});
    std::multiset<uint32_t> sentPictures;
    std::set<uint32_t> owed;
    int probes = 0;
    int memoryFulls = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const uint8_t command = frames[i].bytes[1];
        probes += command == frame::kProbe ? 1 : 0;
        memoryFulls += command == frame::kMemoryFull ? 1 : 0;
        const auto receivedStart = static_cast<std::ptrdiff_t>(frames[i].start) + shift;
        if (command == frame::kPicture) {
            sentPictures.insert(frames[i].info);
            if (i > fault.hit && receivedStart > static_cast<std::ptrdiff_t>(excusedUntil)) {
                owed.insert(frames[i].info);
            }
        }
    }
    int madeUp =
        std::max(0, answers.Writes() - probes) + std::max(0, window.ErrorsShown() - memoryFulls);
    std::set<uint32_t> reported;
    for (int32_t i = 0; i < pictures.Count(); ++i) {
        reported.insert(pictures.InfoAt(i));
        madeUp += sentPictures.count(pictures.InfoAt(i)) == 0 ? 1 : 0;
    }
    if (madeUp > 1) {
        return "events that were not sent: " + std::to_string(madeUp);
    }
    for (const uint32_t info : owed) {
        if (reported.count(info) == 0) {
            return "picture " + std::to_string(frame::PictureNumber(info)) +
                   " behind the fault in frame " + std::to_string(fault.hit + 1) + " was lost";
        }
    }
    return {};
}

}  // namespace dm::fuzz
