#include "inbound/data_proc_thread.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <thread>

namespace dm {

namespace {

// A frame is looked at as soon as its header is buffered. A microscope answers a probe
// with the four header bytes alone and then stays silent, so waiting for a byte behind
// them would miss the reply (and a memory-full frame) for good.
constexpr uint32_t kDispatchThreshold = frame::kHeaderSize;

// The loop polls the byte count this many times in a row before it sleeps.
constexpr int kIdlePassesBeforeSleep = 1000;
constexpr auto kIdleSleep = std::chrono::milliseconds(1);

// Payload wait: polls every 10 ms and gives up after 501 polls in a row without a new byte.
constexpr auto kPayloadPoll = std::chrono::milliseconds(10);
constexpr int kMaxStalledPolls = 500;

constexpr uint32_t kResyncStep = 1;

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
                 [this](uint32_t n) { return WaitForPayload(n); }) {
    // Qt gives the native thread this name when it starts (shown by debuggers).
    setObjectName(QStringLiteral("DataProcThread"));
}

TDataProcThread::~TDataProcThread() {
    RequestStop();
    wait();
}

void TDataProcThread::RequestStop() {
    stop_.store(true, std::memory_order_release);
}

void TDataProcThread::run() {
    int idlePasses = 0;
    while (!StopRequested()) {
        // Between frames: the frame whose wait was abandoned has been given up entirely.
        if (state_.abandonReply.load(std::memory_order_acquire)) {
            EmptyBuffer();
            state_.abandonReply.store(false, std::memory_order_release);
        }
        if (DispatchFrame()) {
            idlePasses = 0;
            continue;
        }
        if (++idlePasses > kIdlePassesBeforeSleep) {
            std::this_thread::sleep_for(kIdleSleep);
            idlePasses = 0;
        }
    }
}

bool TDataProcThread::DispatchFrame() {
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
    switch (header.Word()) {
        case frame::HeaderWord(frame::kProbe):
            DropHeader();
            AnswerProbe();
            break;
        case frame::HeaderWord(frame::kDirectory):
            DropHeader();
            ReceiveDirectory(header.length);
            break;
        case frame::HeaderWord(frame::kPicture):
            DropHeader();
            reception_.Receive(header.length);
            break;
        case frame::HeaderWord(frame::kProbeReply):
            DropHeader();
            state_.probeReply.store(true, std::memory_order_release);
            break;
        case frame::HeaderWord(frame::kMemoryFull):
            DropHeader();
            ReportMemoryFull();
            break;
        case frame::HeaderWord(frame::kAcknowledge):
            DropHeader();
            ReceiveAcknowledgement(header.length);
            break;
        case frame::HeaderWord(frame::kDiscard):
            DropHeader();
            ReceiveDiscard(header.length);
            break;
        default: {
            // Not a frame start: drop one byte and look again.
            std::lock_guard guard(buffer_.Lock());
            buffer_.Drop(kResyncStep);
            break;
        }
    }
    return true;
}

bool TDataProcThread::WaitForPayload(uint32_t n) {
    int stalledPolls = 0;
    uint32_t lastSeen = 0;
    while (stalledPolls <= kMaxStalledPolls) {
        if (buffer_.Count() >= n) {
            return true;
        }
        if (StopRequested()) {
            return false;
        }
        if (state_.abandonReply.load(std::memory_order_acquire)) {
            break;
        }
        std::this_thread::sleep_for(kPayloadPoll);
        const uint32_t seen = buffer_.Count();
        if (seen == lastSeen) {
            ++stalledPolls;
        } else {
            lastSeen = seen;
            stalledPolls = 0;
        }
    }
    // The payload stalled, or the command gave up on it: whatever is buffered cannot be
    // trusted to start a frame.
    EmptyBuffer();
    return false;
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
// read. Entries past the directory's 64 are consumed and forgotten, and the count never
// claims more entries than the frame carried. A length of 0 cannot hold even the count:
// the frame is refused (status 2) and what follows is looked at as the next frame.
void TDataProcThread::ReceiveDirectory(uint16_t length) {
    if (length == 0) {
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

    const auto entriesCarried = static_cast<uint16_t>(entryBytesKept / frame::kDirectoryEntrySize);
    for (int i = 0; i < entriesCarried; ++i) {
        const uint8_t* entry = entryBytes.data() + i * frame::kDirectoryEntrySize;
        state_.directory.SetEntry(i, {frame::ReadLe32(entry), frame::ReadLe32(entry + 4)});
    }
    const uint16_t announced = frame::ReadLe16(countBytes.data());
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

// Blocks this thread until the box is closed; bytes pile up in the receive buffer meanwhile.
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
}

}  // namespace dm
