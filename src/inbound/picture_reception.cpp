#include "inbound/picture_reception.h"

#include "inbound/picture_claim.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <utility>

namespace dm {

static_assert(frame::kPictureBufferSize >= UINT16_MAX - frame::kPictureHeaderSize,
              "a well-formed picture frame always fits the picture buffer");

PictureReception::PictureReception(ReceiveBuffer& buffer, DeviceState& state,
                                   IMAGE_BUFFER& pictures, IMAGE_BUFFER& snapshots,
                                   LiveFrameSink& live, PayloadWait waitForPayload)
    : buffer_(buffer),
      state_(state),
      pictures_(pictures),
      snapshots_(snapshots),
      live_(live),
      waitForPayload_(std::move(waitForPayload)),
      pictureBuffer_(std::make_unique<std::array<uint8_t, frame::kPictureBufferSize>>()) {}

FrameEnd PictureReception::Receive(uint16_t length) {
    if (length < frame::kPictureHeaderSize) {
        if (!waitForPayload_(length, length)) {
            Finish(kTransferTimedOut);
            return FrameEnd::Abandoned;
        }
        DropBytes(length);
        Finish(kTransferTimedOut);
        return FrameEnd::Malformed;
    }
    PictureHeader header;
    if (!waitForPayload_(frame::kPictureHeaderSize, length) || !PeekPictureHeader(header)) {
        Finish(kTransferTimedOut);
        return FrameEnd::Abandoned;
    }
    const uint64_t announced = frame::kPictureHeaderSize + uint64_t{header.size};
    const auto consumed = static_cast<uint32_t>(std::min<uint64_t>(length, announced));
    if (!waitForPayload_(consumed, length)) {
        Finish(kTransferTimedOut);
        return FrameEnd::Abandoned;
    }
    if (announced != length) {
        DropBytes(consumed);
        Finish(kTransferTimedOut);
        return FrameEnd::Malformed;
    }
    if (!ReadPicture(header)) {
        Finish(kTransferTimedOut);
        return FrameEnd::Malformed;
    }
    Route();
    Finish(kTransferDone);
    return FrameEnd::Clean;
}

bool PictureReception::PeekPictureHeader(PictureHeader& header) {
    std::array<uint8_t, frame::kPictureHeaderSize> bytes{};
    {
        std::lock_guard guard(buffer_.Lock());
        // The command thread may have emptied the buffer (opening a port) since the wait.
        if (buffer_.Peek(bytes.data(), frame::kPictureHeaderSize) == 0) {
            return false;
        }
    }
    header.info = frame::ReadLe32(bytes.data());
    header.size = frame::ReadLe32(bytes.data() + 4);
    return true;
}

bool PictureReception::DropBytes(uint32_t n) {
    std::lock_guard guard(buffer_.Lock());
    if (buffer_.Count() < n) {
        return false;
    }
    buffer_.Drop(n);
    return true;
}

// The frame is well formed (length = 8 + size, size within the picture buffer since the
// length field is 16 bits wide).
bool PictureReception::ReadPicture(const PictureHeader& header) {
    std::array<uint8_t, frame::kPictureHeaderSize> skipped{};
    {
        std::lock_guard guard(buffer_.Lock());
        if (buffer_.Count() < frame::kPictureHeaderSize + header.size) {
            return false;  // emptied meanwhile by the command thread
        }
        buffer_.Take(skipped.data(), frame::kPictureHeaderSize);
        buffer_.Take(pictureBuffer_->data(), header.size);
    }
    pictureInfo_ = header.info;
    pictureSize_ = header.size;
    return true;
}

// Each use runs when its flag is set, in this order. Nothing here depends on the live
// view managing to decode the picture.
void PictureReception::Route() {
    const uint8_t* bytes = pictureBuffer_->data();
    const auto size = static_cast<int32_t>(pictureSize_);
    if (state_.liveView.load(std::memory_order_acquire)) {
        live_.RenderLiveFrame(pictureInfo_, bytes, pictureSize_);
    }
    if (state_.collect.load(std::memory_order_acquire) &&
        ClaimPictureForList(state_, pictureInfo_)) {
        pictures_.AppendPicture(pictureInfo_, bytes, size);
    }
    // One-shot: the first picture after the flag was set is the snapshot.
    if (state_.snapshotCapture.exchange(false, std::memory_order_acq_rel)) {
        const uint32_t number = state_.snapshotCounter.load(std::memory_order_acquire);
        snapshots_.AppendPicture(number, bytes, size);
    }
}

void PictureReception::Finish(TransferStatus status) {
    state_.transferStatus.store(status, std::memory_order_release);
    state_.replies.Ring();
}

}  // namespace dm
