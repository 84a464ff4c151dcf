// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Picture reception: reads one picture frame into the picture buffer and hands the
// picture to the live view, the picture list and the snapshot list as the steering flags
// say, then reports the transfer as done.
//
// The frame is read from the front of the receive buffer, header included, and taken
// only once it proved whole: its sizes agree (the length field covers the info word, the
// size S and the S JPEG bytes, and may announce padding after them), its payload begins
// with a JPEG start-of-image marker, and no other picture or directory frame begins
// inside its JPEG bytes (the sign of a frame cut short and followed by the next one).
//
// Threads: runs on the data thread only. The steering flags and the snapshot counter are
// written by the window and command threads; the transfer status is stored last (release)
// so a reader that sees it done finds the picture already in its list.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/live_frame_sink.h"
#include "link/frame.h"
#include "link/receive_buffer.h"

namespace dm {

// How a frame ended: read as announced; refused, with only its lead byte consumed (the
// rest is looked through for the next frame); given up on while bytes were missing (the
// same); or cut short by a frame that begins inside it, with everything before that
// frame consumed.
enum class FrameEnd { Clean, Refused, Abandoned, CutShort };

struct PictureOutcome {
    FrameEnd end = FrameEnd::Clean;
    uint32_t padding = 0;  // bytes the length field announced after the JPEG, still to skip
};

class PictureReception {
  public:
    // Blocks until n bytes are buffered (header included); false on a stall, an abandoned
    // reply or a stop request.
    using ByteWait = std::function<bool(uint32_t n)>;

    PictureReception(ReceiveBuffer& buffer, DeviceState& state, IMAGE_BUFFER& pictures,
                     IMAGE_BUFFER& snapshots, LiveFrameSink& live, ByteWait waitForBytes);

    // Called with the frame's header at the front of the buffer; length is its length
    // field. Reads, routes and reports the picture (status 1), or refuses it (status 2).
    PictureOutcome Receive(uint16_t length);

    // The last picture received whole; untouched by a failed or malformed frame.
    uint32_t PictureInfo() const { return pictureInfo_; }
    uint32_t PictureSize() const { return pictureSize_; }
    const uint8_t* PictureBytes() const { return pictureBuffer_->data(); }

  private:
    static constexpr uint32_t kFrameBytes =
        frame::kHeaderSize + frame::kPictureHeaderSize + frame::kPictureBufferSize;

    bool PeekFrame(uint32_t wanted, uint32_t& held);
    uint32_t InnerFrameStart(uint32_t jpegEnd, uint32_t held) const;
    PictureOutcome Reject(FrameEnd end);
    void DropFront(uint32_t n);
    void Route();
    void Finish(TransferStatus status);

    ReceiveBuffer& buffer_;
    DeviceState& state_;
    IMAGE_BUFFER& pictures_;
    IMAGE_BUFFER& snapshots_;
    LiveFrameSink& live_;
    ByteWait waitForBytes_;

    uint32_t clearsAtStart_ = 0;  // the buffer's clears when this frame was found
    uint32_t pictureInfo_ = 0;
    uint32_t pictureSize_ = 0;
    std::unique_ptr<std::array<uint8_t, frame::kPictureBufferSize>> pictureBuffer_;
    // The frame as peeked, with a few bytes beyond it to check a start near its end.
    std::unique_ptr<std::array<uint8_t, kFrameBytes>> frameBytes_;
};

}  // namespace dm
