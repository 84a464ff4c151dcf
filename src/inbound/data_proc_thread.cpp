#include "inbound/data_proc_thread.h"

#include <algorithm>
#include <array>
#include <mutex>

namespace dm {

namespace {

// A frame is looked at as soon as its header is buffered. A microscope answers a probe
// with the four header bytes alone and then stays silent, so waiting for a byte behind
// them would miss the reply (and a memory-full frame) for good.
constexpr uint32_t kDispatchThreshold = frame::kHeaderSize;

// With nothing to do the thread sleeps on the receive buffer; it wakes for a byte at
// once and at least this often to look at the stop and abandon requests.
constexpr std::chrono::milliseconds kIdleWait{100};
// A payload wait looks at the abandon request this often.
constexpr std::chrono::milliseconds kPayloadPoll{10};

constexpr uint32_t kResyncStep = 1;
// Stray bytes between frames are dropped one at a time while a frame start is looked for.
// A run longer than this is no gap between frames but the inside of one (a lost chunk):
// the rest is dropped until the line is quiet, so picture bytes never pose as frames.
constexpr int kMaxResyncBytes = 16;

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
                 [this](uint32_t n, uint32_t rest) { return WaitForPayload(n, rest); }),
      lastArrival_(Clock::now()) {
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

// Until the line is quiet, nothing is worth waking for but a new byte.
std::chrono::milliseconds TDataProcThread::IdleWait() const {
    if (!discarding_) {
        return kIdleWait;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        lastArrival_ + timing_.quietGap - Clock::now());
    return std::clamp(left, std::chrono::milliseconds{1}, kIdleWait);
}

void TDataProcThread::NoteArrivals() {
    const uint64_t received = buffer_.Received();
    if (received != lastReceived_) {
        lastReceived_ = received;
        lastArrival_ = Clock::now();
    }
}

bool TDataProcThread::LineQuiet() const {
    return Clock::now() - lastArrival_ >= timing_.quietGap;
}

bool TDataProcThread::DispatchFrame() {
    NoteArrivals();
    if (discarding_) {
        return DiscardUntilQuiet();
    }
    if (remainder_ > 0) {
        return SkipRemainder();
    }
    if (buffer_.Count() < kDispatchThreshold) {
        return false;
    }
    std::array<uint8_t, frame::kHeaderSize> bytes{};
    {
        std::lock_guard guard(buffer_.Lock());
        // Opening a port empties the buffer from the command thread; nothing to look at then.
        if (buffer_.Peek(bytes.data(), frame::kHeaderSize) == 0) {
            return false;
        }
    }
    const frame::Header header = frame::ParseHeader(bytes.data());
    if (!IsFrameStart(header)) {
        Resynchronise();
        return true;
    }
    resyncRun_ = 0;
    suspectBoundary_ = false;
    DropHeader();
    switch (header.command) {
        case frame::kProbe:
            AnswerProbe();
            break;
        case frame::kDirectory:
            ReceiveDirectory(header.length);
            break;
        case frame::kPicture:
            suspectBoundary_ = reception_.Receive(header.length) != FrameEnd::Clean;
            break;
        case frame::kProbeReply:
            state_.probeReply.store(true, std::memory_order_release);
            state_.replies.Ring();
            break;
        case frame::kMemoryFull:
            ReportMemoryFull();
            break;
        case frame::kAcknowledge:
            ReceiveAcknowledgement(header.length);
            break;
        case frame::kDiscard:
            ReceiveDiscard(header.length);
            break;
        default:
            break;
    }
    return true;
}

// The frames the microscope sends. The bare frames (probe, probe reply, memory full) are
// only ever sent with length 0, so F8 A1 followed by anything else is no memory-full frame.
bool TDataProcThread::IsFrameStart(const frame::Header& header) {
    if (header.lead != frame::kLead) {
        return false;
    }
    switch (header.command) {
        case frame::kProbe:
        case frame::kProbeReply:
        case frame::kMemoryFull:
            return header.length == 0;
        case frame::kDirectory:
        case frame::kPicture:
        case frame::kAcknowledge:
        case frame::kDiscard:
            return true;
        default:
            return false;
    }
}

// Between two clean frames a few stray bytes are dropped one at a time. Right after a
// frame that ended badly, or after a long run of them, the front is inside a frame (most
// likely JPEG data): everything is dropped until the line is quiet instead.
void TDataProcThread::Resynchronise() {
    if (suspectBoundary_ || ++resyncRun_ > kMaxResyncBytes) {
        StartDiscarding();
        return;
    }
    std::lock_guard guard(buffer_.Lock());
    buffer_.Drop(kResyncStep);
}

void TDataProcThread::StartDiscarding() {
    discarding_ = true;
    resyncRun_ = 0;
    suspectBoundary_ = false;
    remainder_ = 0;
}

// True while it drops bytes or when the quiet ends the discarding.
bool TDataProcThread::DiscardUntilQuiet() {
    if (buffer_.Count() > 0) {
        EmptyBuffer();
        return true;
    }
    if (!LineQuiet()) {
        return false;
    }
    discarding_ = false;
    return true;
}

// The rest of a frame whose payload wait was given up on. If the first bytes that come
// after the give-up begin a frame, the sender abandoned the old frame and went on: they
// are read as that frame. Otherwise they are the late rest and are dropped up to the
// length the frame announced, and what follows that must begin a frame. A quiet line
// re-arms the first look, so a rest that never comes cannot eat a later reply.
bool TDataProcThread::SkipRemainder() {
    const uint32_t count = buffer_.Count();
    if (count == 0) {
        if (LineQuiet()) {
            remainderLooked_ = false;
        }
        return false;
    }
    if (!remainderLooked_) {
        if (count < std::min<uint32_t>(remainder_, kDispatchThreshold) && !LineQuiet()) {
            return false;  // too little yet to tell a frame start from the rest
        }
        remainderLooked_ = true;
        std::array<uint8_t, frame::kHeaderSize> bytes{};
        std::lock_guard guard(buffer_.Lock());
        if (buffer_.Peek(bytes.data(), frame::kHeaderSize) != 0 &&
            IsFrameStart(frame::ParseHeader(bytes.data()))) {
            remainder_ = 0;
            suspectBoundary_ = false;
            return true;
        }
    }
    const uint32_t dropped = std::min(count, remainder_);
    {
        std::lock_guard guard(buffer_.Lock());
        buffer_.Drop(dropped);
    }
    remainder_ -= dropped;
    suspectBoundary_ = remainder_ == 0;
    return true;
}

// Gives up after payloadStall without a new byte, counted from the last byte or from the
// start of the wait, whichever is later: bytes that piled up while this thread was held
// (by a box) do not count as a stall.
bool TDataProcThread::WaitForPayload(uint32_t n, uint32_t frameRest) {
    NoteArrivals();
    lastArrival_ = std::max(lastArrival_, Clock::now());
    uint64_t seen = buffer_.Received();
    for (;;) {
        if (buffer_.Count() >= n) {
            return true;
        }
        if (StopRequested()) {
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
        seen = buffer_.Received();
        NoteArrivals();
    }
    GiveUpPayload(std::max(n, frameRest));
    return false;
}

// Everything buffered belongs to the frame given up on; the rest of it may still come.
void TDataProcThread::GiveUpPayload(uint32_t n) {
    {
        std::lock_guard guard(buffer_.Lock());
        const uint32_t buffered = buffer_.Count();
        remainder_ = n > buffered ? n - buffered : 0;
        buffer_.Clear();
    }
    remainderLooked_ = false;
    suspectBoundary_ = true;
    state_.abandonReply.store(false, std::memory_order_release);
}

void TDataProcThread::EmptyBuffer() {
    std::lock_guard guard(buffer_.Lock());
    buffer_.Clear();
}

void TDataProcThread::DropHeader() {
    std::lock_guard guard(buffer_.Lock());
    buffer_.Drop(frame::kHeaderSize);
}

void TDataProcThread::AnswerProbe() {
    static constexpr auto kProbeReplyFrame = frame::MakeHeader(frame::kProbeReply);
    writer_.WritePort(kProbeReplyFrame.data(), static_cast<int32_t>(kProbeReplyFrame.size()));
}

// The directory frame carries one byte more than its length field says: a 16-bit count
// and then L - 1 bytes of 8-byte entries. The whole L + 1 bytes are awaited before any is
// read. Entries past the directory's 64 are consumed and forgotten (the count the
// microscope announced is kept, so the user can be told), and the count never claims
// more entries than the frame carried. A length of 0 cannot hold even the count: the
// frame is refused (status 2). A directory nobody asked for (a late reply) is consumed
// and ignored, so it cannot replace the directory of the rows on show.
void TDataProcThread::ReceiveDirectory(uint16_t length) {
    if (length == 0) {
        suspectBoundary_ = true;
        SetTransferStatus(kTransferTimedOut);
        return;
    }
    const uint32_t entryBytesSent = length - 1u;
    const uint32_t payload = frame::kDirectoryCountSize + entryBytesSent;
    if (!WaitForPayload(payload)) {
        SetTransferStatus(kTransferTimedOut);
        return;
    }

    std::array<uint8_t, frame::kDirectoryCountSize> countBytes{};
    std::array<uint8_t, kDirectoryEntryBytes> entryBytes{};
    const auto entryBytesKept =
        static_cast<uint32_t>(std::min<std::size_t>(entryBytesSent, entryBytes.size()));
    {
        std::lock_guard guard(buffer_.Lock());
        if (buffer_.Count() < payload) {  // emptied meanwhile by the command thread
            SetTransferStatus(kTransferTimedOut);
            return;
        }
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

// The acknowledgement's contents are not used; exactly the announced payload is consumed
// so that a wrong length never eats into the next frame.
void TDataProcThread::ReceiveAcknowledgement(uint16_t length) {
    if (SkipPayload(length)) {
        SetTransferStatus(kTransferDone);
    }
}

void TDataProcThread::ReceiveDiscard(uint16_t length) {
    SkipPayload(length);
}

// Blocks this thread until the box is closed; bytes pile up in the receive buffer meanwhile,
// so a second memory-full frame can only be shown once the first box is gone.
void TDataProcThread::ReportMemoryFull() {
    state_.memoryFull.store(true, std::memory_order_release);
    window_.ShowError(QString::fromLatin1(kMemoryFullText));
}

bool TDataProcThread::SkipPayload(uint32_t n) {
    if (!WaitForPayload(n)) {
        SetTransferStatus(kTransferTimedOut);
        return false;
    }
    std::lock_guard guard(buffer_.Lock());
    if (buffer_.Count() < n) {  // emptied meanwhile by the command thread
        SetTransferStatus(kTransferTimedOut);
        return false;
    }
    buffer_.Drop(n);
    return true;
}

void TDataProcThread::SetTransferStatus(TransferStatus status) {
    state_.transferStatus.store(status, std::memory_order_release);
    state_.replies.Ring();
}

}  // namespace dm
