// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/virtual_microscope.h"

#include <algorithm>
#include <array>

#include "link/frame.h"
#include "view/magnification.h"
#include "virtual-microscope/picture_factory.h"
#include "virtual-microscope/specimen_painter.h"

namespace dm::vm {

namespace {

// Every event of its own has a timer and every call from another thread wakes it, so
// this only bounds a wait that nothing would end otherwise.
constexpr std::chrono::milliseconds kLongestWait{1000};
constexpr std::chrono::milliseconds kExclusiveCheckPeriod{2000};
// How the program's reading of the last bytes before a vanishing link is watched: the
// master side gets no signal when the slave side's queue runs empty.
constexpr std::chrono::milliseconds kVanishPoll{10};
// A throttled chunk that follows its predecessor starts where that one ended on the line
// even when the thread woke up to this much late, so that the line keeps its rate
// exactly; a longer gap (nothing to send, nobody reading) is not made up for in a burst.
constexpr std::chrono::milliseconds kPacingCatchUp{50};
constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kWriteChunk = 65536;
constexpr std::size_t kThrottledChunk = 64;
constexpr std::size_t kCompactAfter = 1 << 20;
constexpr uint16_t kOversizeExtra = 256;
// Closing the master throws away what the program has not read yet, so a vanishing link
// first lets the program read the part of the picture it was meant to get.
constexpr std::chrono::milliseconds kVanishSettle{50};
constexpr std::chrono::milliseconds kVanishLongestWait{2000};
constexpr uint32_t kMadeUpPictureSize = 16000;  // what the directory claims for them
constexpr double kPanStepPixels = 24;           // on the screen, whatever the zoom
constexpr std::array<uint8_t, 5> kGarbage = {0x00, 0x55, 0xAA, 0x13, 0x7E};  // never 0xF8
// Long enough to be no gap between frames; never 0xF8.
constexpr std::array<uint8_t, 24> kStrayBurst = {0x10, 0x31, 0x00, 0x00, 0x91, 0x00, 0x00, 0xA1,
                                                 0x00, 0x00, 0x82, 0x09, 0x00, 0x83, 0x20, 0x00,
                                                 0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46};
// Spreads the dropped byte over the frame, header included.
constexpr std::size_t kDropStride = 7919;

enum Key : int { kUp = 1, kLeft, kCentre, kRight, kDown, kZoomOut, kLock, kZoomIn };

Bytes Header(uint8_t command, uint16_t length = 0) {
    const auto header = frame::MakeHeader(command, length);
    return Bytes(header.begin(), header.end());
}

QByteArray ToByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

}  // namespace

uint8_t VirtualMicroscope::ZoomCodeAt(int index) {
    constexpr int kStepsPerRange = 16;
    constexpr uint8_t kSecondRange = 0x20;
    index = std::clamp(index, 0, kZoomSteps - 1);
    return index < kStepsPerRange ? static_cast<uint8_t>(index)
                                  : static_cast<uint8_t>(kSecondRange + index - kStepsPerRange);
}

VirtualMicroscope::VirtualMicroscope(Options options)
    : options_(std::move(options)),
      log_(options_.logPath),
      memory_(options_.maxPictures),
      faults_(options_.faults) {}

VirtualMicroscope::~VirtualMicroscope() {
    Stop();
}

std::string VirtualMicroscope::Start() {
    if (thread_.joinable()) {
        return slavePath_;
    }
    if (!options_.logPath.empty() && !log_.IsFileOpen()) {
        std::lock_guard guard(lock_);
        error_ = "cannot write the wire log " + options_.logPath;
        return {};
    }
    if (!pty_.Open()) {
        std::lock_guard guard(lock_);
        error_ = pty_.ErrorText();
        return {};
    }
    slavePath_ = pty_.SlavePath();
    switch (link_.Publish(slavePath_)) {
        case PublishedLink::Outcome::kPublished:
            linkPath_ = link_.LinkPath();
            break;
        case PublishedLink::Outcome::kFolderRefused: {
            // Someone else may have made the folder: refuse to run rather than run unfound
            // while the user wonders why.
            std::lock_guard guard(lock_);
            error_ = link_.ErrorText();
            pty_.Close();
            slavePath_.clear();
            return {};
        }
        case PublishedLink::Outcome::kFailed: {
            // Still usable through its path; only the port search will not find it.
            std::lock_guard guard(lock_);
            error_ = link_.ErrorText();
            break;
        }
    }
    if (memory_.Pictures().empty()) {
        for (int i = 0; i < options_.pictures; ++i) {
            const uint8_t zoom = InitialZoomCode(i);
            memory_.Add(zoom, PadPicture(MakeStillPicture(memory_.NextNumber(), zoom),
                                         options_.pictureBytes));
        }
    }
    stopRequested_.store(false);
    unplugRequested_.store(false);
    running_.store(true, std::memory_order_release);
    thread_ = std::thread(&VirtualMicroscope::Run, this);
    return slavePath_;
}

void VirtualMicroscope::Stop() {
    stopRequested_.store(true);
    pty_.Wake();
    if (thread_.joinable()) {
        thread_.join();
    }
    running_.store(false, std::memory_order_release);
    running_.notify_all();
    pty_.Close();
    link_.Remove();
}

void VirtualMicroscope::Unplug() {
    if (!IsRunning()) {
        return;
    }
    unplugRequested_.store(true);
    pty_.Wake();
    running_.wait(true, std::memory_order_acquire);
}

std::string VirtualMicroscope::ErrorText() const {
    std::lock_guard guard(lock_);
    return error_;
}

uint8_t VirtualMicroscope::LiveZoomCode() const {
    return ZoomCodeAt(zoomIndex_.load(std::memory_order_relaxed));
}

void VirtualMicroscope::SetFaults(const Faults& faults) {
    {
        std::lock_guard guard(lock_);
        faults_ = faults;
    }
    pty_.Wake();  // a throttle switched off lets held output go now
}

Faults VirtualMicroscope::CurrentFaults() const {
    std::lock_guard guard(lock_);
    return faults_;
}

// ---- the microscope's thread ----

void VirtualMicroscope::Run() {
    const auto now = Clock::now();
    startedAt_ = now;
    nextProbe_ = now + std::chrono::milliseconds(options_.probeEveryMs);
    nextExclusiveCheck_ = now + kExclusiveCheckPeriod;
    while (!stopRequested_.load() && pty_.IsOpen()) {
        if (unplugRequested_.load()) {
            Vanish();
            break;
        }
        ServiceTimers(Clock::now());
        const auto beforeWait = Clock::now();
        const bool wantWrite = Pending() > 0 && !OutputHeldUntil(beforeWait);
        const auto ready = pty_.Wait(NextWait(beforeWait), wantWrite);
        if (unplugRequested_.load()) {
            continue;  // nothing more goes over the line
        }
        ServiceInput(Clock::now(), ready.readable);
        ServiceOutput(Clock::now());
        ServiceVanishing(Clock::now());
        ServiceExclusiveUse(Clock::now());
    }
    streaming_.store(false, std::memory_order_relaxed);
    running_.store(false, std::memory_order_release);
    running_.notify_all();
}

std::optional<VirtualMicroscope::Clock::time_point> VirtualMicroscope::OutputHeldUntil(
    Clock::time_point now) const {
    if (Pending() == 0) {
        return std::nullopt;
    }
    std::optional<Clock::time_point> held;
    if (CurrentFaults().throttle && pacedUntil_ > now) {
        held = pacedUntil_;
    }
    if (pausedUntil_ && *pausedUntil_ > now) {
        held = std::max(held.value_or(now), *pausedUntil_);
    }
    return held;
}

std::chrono::milliseconds VirtualMicroscope::NextWait(Clock::time_point now) const {
    if (vanishDeadline_) {
        return kVanishPoll;
    }
    Clock::time_point wakeAt = now + kLongestWait;
    auto atTheLatest = [&](Clock::time_point at) { wakeAt = std::min(wakeAt, at); };
    // A frame that falls due while the last one is still on its way waits for the
    // output to drain, which the line itself reports.
    if (streaming_.load(std::memory_order_relaxed) && Pending() == 0) {
        atTheLatest(nextLiveFrame_);
    }
    if (options_.probeEveryMs > 0) {
        atTheLatest(nextProbe_);
    }
    if (const auto held = OutputHeldUntil(now)) {
        atTheLatest(*held);
    }
    if (const auto givesUp = parser_.GivesUpAt()) {
        atTheLatest(*givesUp);
    }
    atTheLatest(nextExclusiveCheck_);
    // Rounded up: a wait that ends before its timer is due would only be followed by
    // waits of no time until it is.
    return std::max(std::chrono::milliseconds(0),
                    std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now));
}

void VirtualMicroscope::ServiceTimers(Clock::time_point now) {
    const bool probeDue = options_.probeEveryMs > 0 && now >= nextProbe_;
    if (probeDue) {
        nextProbe_ = now + std::chrono::milliseconds(options_.probeEveryMs);
    }
    if (probeRequested_.exchange(false, std::memory_order_relaxed) || probeDue) {
        EnqueueFrame(Header(frame::kProbe));
    }
    // Like a camera on a slow link, the stream skips frames while the last one is still
    // on its way (nobody reading, or throttled) rather than piling them up.
    if (streaming_.load(std::memory_order_relaxed) && now >= nextLiveFrame_ && Pending() == 0) {
        nextLiveFrame_ = now + kLiveFrameInterval;
        const auto sequence = liveFramesSent_.fetch_add(1, std::memory_order_relaxed) + 1;
        SendLivePicture(static_cast<uint32_t>(sequence));
    }
}

void VirtualMicroscope::ServiceInput(Clock::time_point now, bool readable) {
    std::array<uint8_t, kReadChunk> chunk{};
    for (std::size_t got = readable ? pty_.Read(chunk.data(), chunk.size()) : 0; got > 0;
         got = pty_.Read(chunk.data(), chunk.size())) {
        parser_.Feed(chunk.data(), got, now);
    }
    while (auto event = parser_.Next(now)) {
        Handle(*event);
    }
    dropped_.store(parser_.DroppedBytes(), std::memory_order_relaxed);
}

void VirtualMicroscope::ServiceOutput(Clock::time_point now) {
    const bool throttle = CurrentFaults().throttle;
    while (Pending() > 0 && pty_.IsOpen()) {
        if (throttle && now < pacedUntil_) {
            break;
        }
        if (pausedUntil_ && now < *pausedUntil_) {
            break;
        }
        pausedUntil_.reset();
        std::size_t n = std::min(Pending(), throttle ? kThrottledChunk : kWriteChunk);
        if (vanishAt_) {
            n = std::min(n, *vanishAt_ - outPos_);
        }
        if (pauseAt_) {
            n = std::min(n, *pauseAt_ - outPos_);
        }
        const std::size_t written = pty_.Write(out_.data() + outPos_, n);
        if (written == 0) {
            break;  // nobody is reading; the line reports when there is room again
        }
        outPos_ += written;
        lastWrite_ = now;
        if (throttle) {
            const auto time = std::chrono::duration<double>(static_cast<double>(written) /
                                                            kThrottledBytesPerSecond);
            const bool follows = lineContinues_ && now - pacedUntil_ <= kPacingCatchUp;
            pacedUntil_ = (follows ? pacedUntil_ : std::max(pacedUntil_, now)) +
                          std::chrono::duration_cast<Clock::duration>(time);
        }
        lineContinues_ = Pending() > 0;
        if (pauseAt_ && outPos_ >= *pauseAt_) {
            pausedUntil_ = now + pauseFor_;
            pauseAt_.reset();
        }
        if (vanishAt_ && outPos_ >= *vanishAt_) {
            vanishDeadline_ = now + kVanishLongestWait;
            vanishAt_.reset();
            return;
        }
        if (written < n) {
            break;  // the line is full; a further write would only be refused
        }
    }
    if (outPos_ == out_.size()) {
        out_.clear();
        outPos_ = 0;
    } else if (outPos_ > kCompactAfter && !vanishAt_ && !vanishDeadline_) {
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(outPos_));
        outPos_ = 0;
    }
}

void VirtualMicroscope::ServiceExclusiveUse(Clock::time_point now) {
    if (now < nextExclusiveCheck_ || !pty_.IsOpen()) {
        return;
    }
    nextExclusiveCheck_ = now + kExclusiveCheckPeriod;
    // The program's exclusive claim outlives its close on a pseudo-terminal; once
    // nobody holds the port any more, lift it so that the port can be opened again.
    if (pty_.IsExclusive() && !pty_.SlaveHeldElsewhere()) {
        pty_.ReleaseExclusive();
    }
}

void VirtualMicroscope::ServiceVanishing(Clock::time_point now) {
    if (!vanishDeadline_) {
        return;
    }
    const bool readByProgram = pty_.UnreadBySlave() == 0 && now - lastWrite_ >= kVanishSettle;
    if (readByProgram || now >= *vanishDeadline_) {
        Vanish();
    }
}

void VirtualMicroscope::Vanish() {
    vanishAt_.reset();
    vanishDeadline_.reset();
    out_.clear();
    outPos_ = 0;
    lineContinues_ = false;
    pty_.Close();
    link_.Remove();
    streaming_.store(false, std::memory_order_relaxed);
}

// ---- requests ----

void VirtualMicroscope::Handle(const RequestParser::Event& event) {
    using Kind = RequestParser::Event::Kind;
    switch (event.kind) {
        case Kind::Request:
            log_.Record(event.bytes);
            HandleRequest(event.bytes);
            break;
        case Kind::UploadHeader:
            uploadHeader_ = event.bytes;
            if (event.size == 0) {
                log_.Record(event.bytes);
            } else if (memory_.IsFull()) {
                EnqueueFrame(Header(frame::kMemoryFull));
                parser_.RefuseUpload();
                log_.Record(event.bytes);
            } else {
                parser_.AcceptUpload();
            }
            break;
        case Kind::UploadPayload:
            if (event.refused) {
                if (event.size > 0) {
                    log_.Note("payload of " + std::to_string(event.size) +
                              " bytes skipped: memory full");
                }
            } else if (const auto info = memory_.Add(LiveZoomCode(), ToByteArray(event.bytes))) {
                log_.RecordWithPayload(
                    uploadHeader_, event.bytes,
                    "stored as picture " + std::to_string(frame::PictureNumber(*info)));
            } else {
                log_.RecordWithPayload(uploadHeader_, event.bytes, "not stored: memory full");
            }
            break;
        case Kind::UploadAbandoned:
            if (event.refused) {
                log_.Note("payload of a refused upload: " + std::to_string(event.bytes.size()) +
                          " bytes skipped");
            } else {
                log_.RecordWithPayload(uploadHeader_, event.bytes,
                                       "stalled after " + std::to_string(event.bytes.size()) +
                                           " of " + std::to_string(event.size) +
                                           " bytes, not stored");
            }
            break;
    }
}

void VirtualMicroscope::HandleRequest(const Bytes& request) {
    const uint8_t command = request[1];
    switch (command) {
        case frame::kProbe:
            EnqueueFrame(Header(frame::kProbeReply));
            break;
        case frame::kDisconnect:
            // The program lets go of the port next: its exclusive claim must not stay, and
            // what it has not read yet must not greet whoever opens the port next.
            streaming_.store(false, std::memory_order_relaxed);
            if (!vanishAt_ && !vanishDeadline_) {
                out_.clear();
                outPos_ = 0;
                lineContinues_ = false;
            }
            pty_.DiscardUnread();
            pty_.ReleaseExclusive();
            break;
        case frame::kDirectoryRequest:
            SendDirectory();
            break;
        case frame::kPictureRequest:
            SendStoredPicture(frame::ReadLe32(request.data() + frame::kHeaderSize));
            break;
        case frame::kDeleteRequest:
            memory_.Remove(frame::ReadLe32(request.data() + frame::kHeaderSize));
            break;
        case frame::kDeleteAllRequest:
            memory_.Clear();
            break;
        case frame::kGetSnapshot:
            SendLivePicture(0);
            break;
        case frame::kCameraOn:
            if (!streaming_.exchange(true, std::memory_order_relaxed)) {
                nextLiveFrame_ = Clock::now();
            }
            break;
        case frame::kCameraOff:
            streaming_.store(false, std::memory_order_relaxed);
            break;
        default:
            if (command > frame::kKeyBase && command <= frame::kKeyBase + frame::kKeyCount) {
                HandleKey(command - frame::kKeyBase);
            }
            break;  // link start, probe reply: logged, nothing to answer
    }
}

void VirtualMicroscope::HandleKey(int key) {
    const double step =
        kPanStepPixels / ScaleForMagnification(ZoomCodeToMagnification(LiveZoomCode()));
    const int zoom = zoomIndex_.load(std::memory_order_relaxed);
    switch (key) {
        case kUp:
            panY_ -= step;
            break;
        case kDown:
            panY_ += step;
            break;
        case kLeft:
            panX_ -= step;
            break;
        case kRight:
            panX_ += step;
            break;
        case kCentre:
            panX_ = 0;
            panY_ = 0;
            break;
        case kLock:
            animationLocked_ = !animationLocked_;
            lockedSeconds_ = std::chrono::duration<double>(Clock::now() - startedAt_).count();
            break;
        case kZoomOut:
            zoomIndex_.store(std::max(zoom - 1, 0), std::memory_order_relaxed);
            break;
        case kZoomIn:
            zoomIndex_.store(std::min(zoom + 1, kZoomSteps - 1), std::memory_order_relaxed);
            break;
        default:
            break;
    }
}

// ---- frames sent ----

void VirtualMicroscope::SendDirectory() {
    auto entries = memory_.Directory();
    const int wanted = std::min(CurrentFaults().directoryEntries, kMaxDirectoryEntries);
    if (wanted > 0) {
        const auto held = static_cast<int>(entries.size());
        entries.resize(static_cast<std::size_t>(std::min(wanted, held)));
        const uint32_t next = memory_.NextNumber();
        for (int k = 0; k < wanted - held; ++k) {
            entries.push_back(
                {frame::MakeInfo(next + static_cast<uint32_t>(k), 0), kMadeUpPictureSize});
        }
    }
    // The receiver reads two bytes of count and L - 1 bytes of entries: L = 8N + 1.
    const std::size_t count = entries.size();
    const auto length = static_cast<uint16_t>(frame::kDirectoryEntrySize * count + 1);
    Bytes directory = Header(frame::kDirectory, length);
    directory.resize(frame::kHeaderSize + frame::kDirectoryCountSize +
                     frame::kDirectoryEntrySize * count);
    uint8_t* at = directory.data() + frame::kHeaderSize;
    frame::WriteLe16(at, static_cast<uint16_t>(count));
    at += frame::kDirectoryCountSize;
    for (const auto& entry : entries) {
        frame::WriteLe32(at, entry.info);
        frame::WriteLe32(at + 4, entry.size);
        at += frame::kDirectoryEntrySize;
    }
    EnqueueFrame(directory);
}

std::optional<uint32_t> VirtualMicroscope::MadeUpPictureNumber(uint32_t number) const {
    const int wanted = std::min(CurrentFaults().directoryEntries, kMaxDirectoryEntries);
    const auto held = static_cast<int>(memory_.Pictures().size());
    const uint32_t next = memory_.NextNumber();
    if (wanted > held && number >= next && number < next + static_cast<uint32_t>(wanted - held)) {
        return number;
    }
    return std::nullopt;
}

void VirtualMicroscope::SendStoredPicture(uint32_t number) {
    number = frame::PictureNumber(number);
    if (const auto picture = memory_.Find(number)) {
        SendPictureFrame(picture->info, picture->jpeg);
    } else if (MadeUpPictureNumber(number)) {
        SendPictureFrame(frame::MakeInfo(number, 0), MakeStillPicture(number, 0));
    }
    // A number it does not hold gets no answer; the program's wait runs out.
}

void VirtualMicroscope::SendLivePicture(uint32_t number) {
    const double seconds = animationLocked_
                               ? lockedSeconds_
                               : std::chrono::duration<double>(Clock::now() - startedAt_).count();
    const uint8_t zoom = LiveZoomCode();
    SendPictureFrame(frame::MakeInfo(number, zoom),
                     MakeLivePicture({zoom, panX_, panY_, seconds}, livePainter_), number);
}

// Every Nth frame of the stream, counted by its sequence number (0: not a stream frame).
static bool EveryNth(int n, uint32_t sequence) {
    return n > 0 && sequence > 0 && sequence % static_cast<uint32_t>(n) == 0;
}

void VirtualMicroscope::SendPictureFrame(uint32_t info, const QByteArray& jpeg,
                                         uint32_t liveSequence) {
    const Faults faults = CurrentFaults();
    const QByteArray payload = faults.undecodableJpeg ? MakeUndecodableBytes(jpeg.size()) : jpeg;
    const auto size = static_cast<uint32_t>(payload.size());
    const uint32_t length =
        frame::kPictureHeaderSize + size + (faults.oversizedLength ? kOversizeExtra : 0);
    Bytes picture =
        Header(frame::kPicture, static_cast<uint16_t>(std::min<uint32_t>(length, 0xFFFF)));
    picture.resize(frame::kHeaderSize + frame::kPictureHeaderSize);
    frame::WriteLe32(picture.data() + frame::kHeaderSize, info);
    frame::WriteLe32(picture.data() + frame::kHeaderSize + 4, size);
    picture.insert(picture.end(), payload.begin(), payload.end());

    const std::size_t halfway = frame::kHeaderSize + frame::kPictureHeaderSize + size / 2;
    if (faults.vanishMidTransfer) {
        picture.resize(halfway);
        EnqueueFrame(picture);
        vanishAt_ = out_.size();
        return;
    }
    if (faults.stallPayload) {
        picture.resize(halfway);
        streaming_.store(false, std::memory_order_relaxed);
    }
    if (EveryNth(faults.dropLiveByteEvery, liveSequence)) {
        picture.erase(picture.begin() +
                      static_cast<std::ptrdiff_t>(liveSequence * kDropStride % picture.size()));
    }
    EnqueueFrame(picture);
    if (EveryNth(faults.strayBurstEvery, liveSequence)) {
        Enqueue(kStrayBurst.data(), kStrayBurst.size());
    }
    if (faults.pausePayloadMs > 0 && !faults.stallPayload) {
        pauseAt_ = out_.size() - (picture.size() - halfway);
        pauseFor_ = std::chrono::milliseconds(faults.pausePayloadMs);
    }
}

void VirtualMicroscope::EnqueueFrame(const Bytes& frameBytes) {
    if (vanishAt_ || vanishDeadline_) {
        return;  // the link is going; nothing more gets out
    }
    if (CurrentFaults().garbageBetweenFrames) {
        const std::size_t n = 1 + static_cast<std::size_t>(garbageCounter_++) % kGarbage.size();
        Enqueue(kGarbage.data(), n);
    }
    Enqueue(frameBytes.data(), frameBytes.size());
}

void VirtualMicroscope::Enqueue(const uint8_t* bytes, std::size_t n) {
    out_.insert(out_.end(), bytes, bytes + n);
}

}  // namespace dm::vm
