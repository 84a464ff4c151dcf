// SPDX-License-Identifier: GPL-3.0-or-later
#include "inbound/data_proc_thread.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace dm {

namespace {

// With nothing to do the thread sleeps on the receive buffer; it wakes for a byte at
// once and at least this often to look at the stop and abandon requests.
constexpr std::chrono::milliseconds kIdleWait{100};
// A payload wait looks at the abandon request this often.
constexpr std::chrono::milliseconds kPayloadPoll{10};

// A few bytes that begin no frame, between two frames, are a sender's noise. A longer
// run is no gap between frames but the inside of one (a frame whose start was lost).
constexpr uint32_t kMaxStrayBytes = 16;
// Bare frames behind one another that are looked through to find the frame that
// vouches for them.
constexpr int kMaxBelieveDepth = 4;
// Padding is looked through this many bytes at a time for a frame that begins inside it.
constexpr uint32_t kPaddingWindow = 256;

constexpr uint32_t kLeadByte = 1;
constexpr uint32_t kDirectoryCountEnd = frame::kHeaderSize + frame::kDirectoryCountSize;
constexpr std::size_t kDirectoryEntryBytes =
    frame::kMaxDirectoryEntries * frame::kDirectoryEntrySize;

const char* const kMemoryFullText = "Memory full";

}  // namespace

TDataProcThread::TDataProcThread(ReceiveBuffer& buffer, FrameWriter& writer, DeviceState& state,
                                 IMAGE_BUFFER& pictures, IMAGE_BUFFER& snapshots,
                                 LiveFrameSink& live, WindowPort& window, InboundTiming timing,
                                 QObject* parent)
    : QThread(parent),
      buffer_(buffer),
      writer_(writer),
      state_(state),
      window_(window),
      timing_(timing),
      reception_(buffer, state, pictures, snapshots, live,
                 [this](uint32_t n) { return WaitForBytes(n); }),
      lastArrival_(Clock::now()),
      seenClears_(buffer.Clears()) {
    // Qt gives the native thread this name when it starts (shown by debuggers).
    setObjectName(QStringLiteral("DataProcThread"));
}

TDataProcThread::~TDataProcThread() {
    RequestStop();
    wait();
}

void TDataProcThread::RequestStop() {
    stop_.store(true, std::memory_order_release);
    buffer_.WakeWaiters();
}

void TDataProcThread::run() {
    while (!StopRequested()) {
        // Between frames nothing is being received: a reply given up on left nothing here.
        state_.abandonReply.store(false, std::memory_order_release);
        const uint64_t seen = buffer_.Received();
        if (DispatchFrame()) {
            continue;
        }
        buffer_.WaitForArrival(seen, IdleWait());
    }
}

// A frame waiting to be believed is worth waking for when the line has been quiet long
// enough; otherwise only a new byte is.
std::chrono::milliseconds TDataProcThread::IdleWait() const {
    if (!awaitingQuiet_) {
        return kIdleWait;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        lastArrival_ + timing_.confirmQuiet - Clock::now());
    return std::clamp(left + std::chrono::milliseconds{1}, std::chrono::milliseconds{1}, kIdleWait);
}

void TDataProcThread::NoteArrivals() {
    const uint64_t received = buffer_.Received();
    if (received != lastReceived_) {
        lastReceived_ = received;
        lastArrival_ = Clock::now();
    }
}

// Opening a port empties the buffer from the command thread: what follows is a new line.
void TDataProcThread::NoteBufferReset() {
    const uint32_t clears = buffer_.Clears();
    if (clears == seenClears_) {
        return;
    }
    seenClears_ = clears;
    footing_ = Footing::kBoundary;
    strayRun_ = 0;
    padding_ = 0;
}

bool TDataProcThread::LineQuiet() const {
    return Clock::now() - lastArrival_ >= timing_.confirmQuiet;
}

// Quiet behind the front vouches for it only when the front came after the last frame
// given up on: the line falls quiet behind a stalled frame's bytes too.
bool TDataProcThread::QuietVouches() const {
    const uint64_t received = buffer_.Received();
    const uint64_t front = received - buffer_.Count();
    return LineQuiet() && front >= stalledUntil_;
}

uint32_t TDataProcThread::PeekFront(std::array<uint8_t, kLookahead>& bytes) const {
    std::lock_guard guard(buffer_.Lock());
    const uint32_t held = std::min<uint32_t>(buffer_.Count(), kLookahead);
    return held > 0 ? buffer_.Peek(bytes.data(), held) : 0;
}

bool TDataProcThread::DispatchFrame() {
    NoteArrivals();
    NoteBufferReset();
    awaitingQuiet_ = false;
    if (padding_ > 0) {
        return SkipPadding();
    }
    std::array<uint8_t, kLookahead> bytes{};
    const uint32_t held = PeekFront(bytes);
    if (held == 0) {
        return false;
    }
    const StartVerdict verdict = CheckFrameStart(bytes.data(), held);
    if (verdict == StartVerdict::kNotAStart) {
        return DropStray(held, bytes.data());
    }
    if (held < frame::kHeaderSize) {
        return false;
    }
    const frame::Header header = frame::ParseHeader(bytes.data());
    const bool lost = footing_ == Footing::kLost;
    // Only a picture or directory start is still undecided with its header in: at a
    // boundary it is taken on its header and checked as the rest arrives; inside a frame
    // it waits for the bytes that decide.
    if (verdict == StartVerdict::kNeedMore && lost) {
        return false;
    }
    switch (StrengthOf(header.command)) {
        case StartStrength::kDiscard:
            if (lost) {
                return DropStray(held, bytes.data());
            }
            break;
        case StartStrength::kWeak:
            if (lost) {
                const StartVerdict believed =
                    Believe(bytes.data(), held, WeakFrameSize(header.command), 0);
                if (believed == StartVerdict::kNotAStart) {
                    return DropStray(held, bytes.data());
                }
                if (believed == StartVerdict::kNeedMore) {
                    awaitingQuiet_ = true;
                    return false;
                }
            }
            break;
        case StartStrength::kStrong:
            break;
    }
    HandleFrame(header);
    return true;
}

// A weak frame where the front may be inside a frame: believed when the bytes behind it
// begin a plausible frame (itself believed, if weak), refused when they begin none, and
// believed when nothing has come behind it while the line stayed quiet.
StartVerdict TDataProcThread::Believe(const uint8_t* bytes, uint32_t held, uint32_t size,
                                      int depth) const {
    if (held <= size) {
        return QuietVouches() ? StartVerdict::kStart : StartVerdict::kNeedMore;
    }
    const uint8_t* next = bytes + size;
    const uint32_t nextHeld = held - size;
    switch (CheckFrameStart(next, nextHeld)) {
        case StartVerdict::kNotAStart:
            return StartVerdict::kNotAStart;
        case StartVerdict::kNeedMore:
            return QuietVouches() ? StartVerdict::kStart : StartVerdict::kNeedMore;
        case StartVerdict::kStart:
            break;
    }
    if (StrengthOf(next[1]) == StartStrength::kWeak && depth < kMaxBelieveDepth) {
        return Believe(next, nextHeld, WeakFrameSize(next[1]), depth + 1);
    }
    return StartVerdict::kStart;
}

// Drops the byte at the front and those behind it up to the next lead byte. A known frame
// start that fails its checks is a frame gone wrong (its sizes disagree, a bare frame
// with a length): the bytes behind it may be its payload.
bool TDataProcThread::DropStray(uint32_t held, const uint8_t* bytes) {
    if (held >= frame::kHeaderSize && bytes[0] == frame::kLead && IsKnownCommand(bytes[1])) {
        footing_ = Footing::kLost;
    }
    const auto* nextLead =
        static_cast<const uint8_t*>(std::memchr(bytes + kLeadByte, frame::kLead, held - kLeadByte));
    const auto dropped = nextLead ? static_cast<uint32_t>(nextLead - bytes) : held;
    DropFront(dropped);
    strayRun_ += dropped;
    if (footing_ == Footing::kBoundary) {
        footing_ = Footing::kStray;
    }
    if (strayRun_ > kMaxStrayBytes) {
        footing_ = Footing::kLost;
    }
    return true;
}

// Padding is dropped up to the length the picture announced, unless a frame begins inside
// it (a picture or directory, or a bare frame or acknowledgement that something vouches
// for): then the length field was wrong and that frame is read.
bool TDataProcThread::SkipPadding() {
    std::array<uint8_t, kPaddingWindow + kLookahead> bytes{};
    const uint32_t window = std::min(padding_, kPaddingWindow);
    uint32_t held = 0;
    {
        std::lock_guard guard(buffer_.Lock());
        held = std::min<uint32_t>(buffer_.Count(), window + kLookahead);
        if (held == 0 || buffer_.Peek(bytes.data(), held) != held) {
            return false;
        }
    }
    const uint32_t looked = std::min(held, window);
    for (uint32_t at = 0; at < looked; ++at) {
        if (bytes[at] != frame::kLead) {
            continue;
        }
        const StartVerdict verdict = FrameInPadding(&bytes[at], held - at);
        if (verdict == StartVerdict::kNotAStart) {
            continue;
        }
        if (at > 0) {
            DropFront(at);
            padding_ -= at;
            return true;
        }
        if (verdict == StartVerdict::kNeedMore) {
            awaitingQuiet_ = true;
            return false;
        }
        padding_ = 0;
        return true;
    }
    DropFront(looked);
    padding_ -= looked;
    return true;
}

StartVerdict TDataProcThread::FrameInPadding(const uint8_t* bytes, uint32_t held) const {
    const StartVerdict verdict = CheckFrameStart(bytes, held);
    if (verdict == StartVerdict::kNotAStart || held < 2) {
        return verdict;
    }
    switch (StrengthOf(bytes[1])) {
        case StartStrength::kStrong:
            return verdict;
        case StartStrength::kWeak:
            return verdict == StartVerdict::kStart
                       ? Believe(bytes, held, WeakFrameSize(bytes[1]), 0)
                       : verdict;
        case StartStrength::kDiscard:
            break;
    }
    return StartVerdict::kNotAStart;
}

// A frame that was only believed (a bare frame or an acknowledgement, where the front may
// have been inside a frame) does not prove that the front is at a boundary now.
void TDataProcThread::HandleFrame(const frame::Header& header) {
    if (footing_ != Footing::kLost || StrengthOf(header.command) != StartStrength::kWeak) {
        footing_ = Footing::kBoundary;
    }
    strayRun_ = 0;
    switch (header.command) {
        case frame::kProbe:
            DropFront(frame::kHeaderSize);
            AnswerProbe();
            break;
        case frame::kProbeReply:
            DropFront(frame::kHeaderSize);
            state_.probeReply.store(true, std::memory_order_release);
            state_.replies.Ring();
            break;
        case frame::kMemoryFull:
            DropFront(frame::kHeaderSize);
            ReportMemoryFull();
            break;
        case frame::kAcknowledge:
            ReceiveAcknowledgement();
            break;
        case frame::kDiscard:
            ReceiveDiscard(header.length);
            break;
        case frame::kDirectory:
            ReceiveDirectory(header.length);
            break;
        case frame::kPicture: {
            NoteReplyProgress(frame::kHeaderSize);
            const PictureOutcome outcome = reception_.Receive(header.length);
            if (outcome.end == FrameEnd::Abandoned) {
                stalledUntil_ = buffer_.Received();
            }
            if (outcome.end == FrameEnd::Refused || outcome.end == FrameEnd::Abandoned) {
                footing_ = Footing::kLost;
            }
            padding_ = outcome.padding;
            break;
        }
        default:
            break;
    }
}

// Bytes of a port opened meanwhile are no part of the frame being read.
void TDataProcThread::DropFront(uint32_t n) {
    std::lock_guard guard(buffer_.Lock());
    if (buffer_.Clears() == seenClears_) {
        buffer_.Drop(std::min(n, buffer_.Count()));
    }
}

// A frame whose bytes did not come: only its lead byte is consumed, and what came of it
// is looked through for the next frame like any bytes that may be inside one.
void TDataProcThread::GiveUp() {
    stalledUntil_ = buffer_.Received();
    DropFront(kLeadByte);
    footing_ = Footing::kLost;
}

void TDataProcThread::NoteReplyProgress(uint64_t bytes) {
    state_.replyProgress.fetch_add(bytes, std::memory_order_relaxed);
}

// Gives up after payloadStall without a new byte, counted from the last byte or from the
// start of the wait, whichever is later: bytes that piled up while this thread was held
// (by a box) do not count as a stall.
bool TDataProcThread::WaitForBytes(uint32_t n, Progress progress) {
    NoteArrivals();
    lastArrival_ = std::max(lastArrival_, Clock::now());
    uint64_t seen = buffer_.Received();
    for (;;) {
        if (buffer_.Count() >= n) {
            return true;
        }
        if (StopRequested() || buffer_.Clears() != seenClears_) {
            return false;
        }
        const bool abandoned = state_.abandonReply.load(std::memory_order_acquire);
        const auto stalledFor = Clock::now() - lastArrival_;
        if (abandoned || stalledFor >= timing_.payloadStall) {
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            timing_.payloadStall - stalledFor);
        buffer_.WaitForArrival(seen, std::clamp(left, std::chrono::milliseconds{1}, kPayloadPoll));
        const uint64_t received = buffer_.Received();
        if (progress == Progress::kReply) {
            NoteReplyProgress(received - seen);
        }
        seen = received;
        NoteArrivals();
    }
    state_.abandonReply.store(false, std::memory_order_release);
    return false;
}

void TDataProcThread::AnswerProbe() {
    static constexpr auto kProbeReplyFrame = frame::MakeHeader(frame::kProbeReply);
    writer_.WritePort(kProbeReplyFrame.data(), static_cast<int32_t>(kProbeReplyFrame.size()));
}

// The directory frame carries one byte more than its length field says: a 16-bit count
// and then L - 1 bytes of 8-byte entries. The whole L + 1 bytes are awaited before any is
// read. Entries past the directory's 64 are consumed and forgotten (the count the
// microscope announced is kept, so the user can be told). A count that disagrees with
// the length refuses the frame (status 2). A directory nobody asked for (a late reply) is
// consumed and ignored, so it cannot replace the directory of the rows on show.
void TDataProcThread::ReceiveDirectory(uint16_t length) {
    NoteReplyProgress(frame::kHeaderSize);
    std::array<uint8_t, kDirectoryCountEnd> start{};
    bool peeked = false;
    if (WaitForBytes(kDirectoryCountEnd)) {
        std::lock_guard guard(buffer_.Lock());
        peeked = buffer_.Peek(start.data(), kDirectoryCountEnd) == kDirectoryCountEnd;
    }
    if (!peeked || CheckFrameStart(start.data(), kDirectoryCountEnd) != StartVerdict::kStart) {
        GiveUp();
        SetTransferStatus(kTransferTimedOut);
        return;
    }
    const uint32_t entryBytesSent = length - 1u;
    const uint32_t frameSize = kDirectoryCountEnd + entryBytesSent;
    if (!WaitForBytes(frameSize)) {
        GiveUp();
        SetTransferStatus(kTransferTimedOut);
        return;
    }

    std::array<uint8_t, frame::kDirectoryCountSize> countBytes{};
    std::array<uint8_t, kDirectoryEntryBytes> entryBytes{};
    const auto entryBytesKept =
        static_cast<uint32_t>(std::min<std::size_t>(entryBytesSent, entryBytes.size()));
    {
        std::lock_guard guard(buffer_.Lock());
        if (buffer_.Clears() != seenClears_ || buffer_.Count() < frameSize) {
            SetTransferStatus(kTransferTimedOut);  // emptied meanwhile by the command thread
            return;
        }
        buffer_.Drop(frame::kHeaderSize);
        buffer_.Take(countBytes.data(), frame::kDirectoryCountSize);
        buffer_.Take(entryBytes.data(), entryBytesKept);
        buffer_.Drop(entryBytesSent - entryBytesKept);
    }
    if (!state_.directoryExpected.exchange(false, std::memory_order_acq_rel)) {
        return;
    }

    const auto entriesCarried = static_cast<uint16_t>(entryBytesKept / frame::kDirectoryEntrySize);
    for (int i = 0; i < entriesCarried; ++i) {
        const uint8_t* entry = entryBytes.data() + i * frame::kDirectoryEntrySize;
        state_.directory.SetEntry(i, {frame::ReadLe32(entry), frame::ReadLe32(entry + 4)});
    }
    const uint16_t announced = frame::ReadLe16(countBytes.data());
    state_.directory.SetAnnounced(announced);
    state_.directory.SetCount(std::min(announced, entriesCarried));
    SetTransferStatus(kTransferDone);
}

// The acknowledgement's contents are not used.
void TDataProcThread::ReceiveAcknowledgement() {
    NoteReplyProgress(frame::kHeaderSize);
    constexpr uint32_t kFrameSize = frame::kHeaderSize + frame::kAcknowledgeSize;
    if (!WaitForBytes(kFrameSize)) {
        GiveUp();
        SetTransferStatus(kTransferTimedOut);
        return;
    }
    DropFront(kFrameSize);
    SetTransferStatus(kTransferDone);
}

// A discard frame is no reply: its bytes are not reply progress.
void TDataProcThread::ReceiveDiscard(uint16_t length) {
    const uint32_t frameSize = frame::kHeaderSize + length;
    if (!WaitForBytes(frameSize, Progress::kNotReply)) {
        GiveUp();
        SetTransferStatus(kTransferTimedOut);
        return;
    }
    DropFront(frameSize);
}

// Blocks this thread until the box is closed; bytes pile up in the receive buffer meanwhile,
// so a second memory-full frame can only be shown once the first box is gone.
void TDataProcThread::ReportMemoryFull() {
    state_.memoryFull.store(true, std::memory_order_release);
    window_.ShowError(QString::fromLatin1(kMemoryFullText));
}

void TDataProcThread::SetTransferStatus(TransferStatus status) {
    state_.transferStatus.store(status, std::memory_order_release);
    state_.replies.Ring();
}

}  // namespace dm
