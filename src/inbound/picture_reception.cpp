#include "inbound/picture_reception.h"

#include "inbound/picture_claim.h"

#include <array>
#include <mutex>
#include <utility>

namespace dm {

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

void PictureReception::Receive(uint16_t length) {
    if (!waitForPayload_(length)) {
        Finish(kTransferTimedOut);
        return;
    }
    switch (ReadPayload(length)) {
        case ReadResult::Read:
            Route();
            Finish(kTransferDone);
            return;
        case ReadResult::Malformed:
        case ReadResult::Missing:
            Finish(kTransferTimedOut);
            return;
    }
}

// The length field is meant to be 8 + S. A frame that says otherwise is still consumed
// exactly as long as its length field announced, so the next frame is found where the
// sender put it; a picture that would not fit the buffer or the frame is never read.
PictureReception::ReadResult PictureReception::ReadPayload(uint16_t length) {
    std::array<uint8_t, frame::kPictureHeaderSize> header{};
    uint32_t info = 0;
    uint32_t size = 0;
    {
        std::lock_guard guard(buffer_.Lock());
        // The command thread may have emptied the buffer (opening a port) since the wait.
        if (buffer_.Count() < length) {
            return ReadResult::Missing;
        }
        if (length < frame::kPictureHeaderSize) {
            buffer_.Drop(length);
            return ReadResult::Malformed;
        }
        buffer_.Take(header.data(), frame::kPictureHeaderSize);
        const uint32_t room = length - frame::kPictureHeaderSize;
        info = frame::ReadLe32(header.data());
        size = frame::ReadLe32(header.data() + 4);
        if (size > frame::kPictureBufferSize || size > room) {
            buffer_.Drop(room);
            return ReadResult::Malformed;
        }
        buffer_.Take(pictureBuffer_->data(), size);
        buffer_.Drop(room - size);  // surplus behind the picture
    }
    pictureInfo_ = info;
    pictureSize_ = size;
    return ReadResult::Read;
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
}

}  // namespace dm
