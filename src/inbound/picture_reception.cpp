// SPDX-License-Identifier: GPL-3.0-or-later
#include "inbound/picture_reception.h"

#include "inbound/frame_start.h"
#include "inbound/picture_claim.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace dm {

namespace {

constexpr uint32_t kPictureSizeOffset = frame::kHeaderSize + 4;
constexpr uint32_t kJpegOffset = frame::kHeaderSize + frame::kPictureHeaderSize;
constexpr uint32_t kLeadByte = 1;

}  // namespace

static_assert(frame::kPictureBufferSize >= UINT16_MAX - frame::kPictureHeaderSize,
              "a well-formed picture frame always fits the picture buffer");

PictureReception::PictureReception(ReceiveBuffer& buffer, DeviceState& state,
                                   IMAGE_BUFFER& pictures, IMAGE_BUFFER& snapshots,
                                   LiveFrameSink& live, ByteWait waitForBytes)
    : buffer_(buffer),
      state_(state),
      pictures_(pictures),
      snapshots_(snapshots),
      live_(live),
      waitForBytes_(std::move(waitForBytes)),
      pictureBuffer_(std::make_unique<std::array<uint8_t, frame::kPictureBufferSize>>()),
      frameBytes_(std::make_unique<std::array<uint8_t, kFrameBytes>>()) {}

PictureOutcome PictureReception::Receive(uint16_t length) {
    clearsAtStart_ = buffer_.Clears();
    uint32_t held = 0;
    if (!waitForBytes_(kStartCheckBytes) || !PeekFrame(kStartCheckBytes, held)) {
        return Reject(FrameEnd::Abandoned);
    }
    if (CheckFrameStart(frameBytes_->data(), held) != StartVerdict::kStart) {
        return Reject(FrameEnd::Refused);
    }
    const uint32_t size = frame::ReadLe32(frameBytes_->data() + kPictureSizeOffset);
    const uint32_t jpegEnd = kJpegOffset + size;
    if (!waitForBytes_(jpegEnd) || !PeekFrame(jpegEnd, held)) {
        return Reject(FrameEnd::Abandoned);
    }
    if (const uint32_t inner = InnerFrameStart(jpegEnd, held); inner < jpegEnd) {
        DropFront(inner);
        Finish(kTransferTimedOut);
        return {FrameEnd::CutShort, 0};
    }
    pictureInfo_ = frame::ReadLe32(frameBytes_->data() + frame::kHeaderSize);
    pictureSize_ = size;
    std::memcpy(pictureBuffer_->data(), frameBytes_->data() + kJpegOffset, size);
    DropFront(jpegEnd);
    Route();
    Finish(kTransferDone);
    return {FrameEnd::Clean, static_cast<uint32_t>(frame::kHeaderSize + length - jpegEnd)};
}

// Copies the frame and what is buffered behind it, up to the few bytes a start check
// looks at. False when the command thread emptied the buffer since the wait.
bool PictureReception::PeekFrame(uint32_t wanted, uint32_t& held) {
    std::lock_guard guard(buffer_.Lock());
    held = std::min<uint32_t>({buffer_.Count(), wanted + kStartCheckBytes, kFrameBytes});
    return held >= wanted && buffer_.Peek(frameBytes_->data(), held) == held;
}

// Where a picture or directory frame begins inside the JPEG bytes, or jpegEnd when none
// does. The bytes buffered behind the frame serve to check a start near its end.
uint32_t PictureReception::InnerFrameStart(uint32_t jpegEnd, uint32_t held) const {
    const uint8_t* bytes = frameBytes_->data();
    for (uint32_t at = kJpegOffset; at < jpegEnd; ++at) {
        const auto* lead =
            static_cast<const uint8_t*>(std::memchr(bytes + at, frame::kLead, jpegEnd - at));
        if (lead == nullptr) {
            break;
        }
        at = static_cast<uint32_t>(lead - bytes);
        if (CheckFrameStart(lead, held - at) == StartVerdict::kStart &&
            StrengthOf(lead[1]) == StartStrength::kStrong) {
            return at;
        }
    }
    return jpegEnd;
}

PictureOutcome PictureReception::Reject(FrameEnd end) {
    DropFront(kLeadByte);
    Finish(kTransferTimedOut);
    return {end, 0};
}

// Bytes of a port opened meanwhile are no part of this frame.
void PictureReception::DropFront(uint32_t n) {
    std::lock_guard guard(buffer_.Lock());
    if (buffer_.Clears() == clearsAtStart_) {
        buffer_.Drop(std::min(n, buffer_.Count()));
    }
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
