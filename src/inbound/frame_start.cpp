// SPDX-License-Identifier: GPL-3.0-or-later
#include "inbound/frame_start.h"

#include "link/receive_buffer.h"

namespace dm {

namespace {

constexpr uint8_t kJpegMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint32_t kStartOfImageSize = 2;
constexpr uint32_t kLengthEnd = frame::kHeaderSize;
constexpr uint32_t kCountEnd = frame::kHeaderSize + frame::kDirectoryCountSize;
constexpr uint32_t kSizeEnd = frame::kHeaderSize + frame::kPictureHeaderSize;

static_assert(frame::kHeaderSize + UINT16_MAX + 1 <= ReceiveBuffer::kMaxHeld,
              "every length field fits the receive buffer, so no frame is refused for size");

StartVerdict CheckDirectory(const uint8_t* bytes, uint32_t available, uint16_t length) {
    // 2 bytes of count and L - 1 bytes of whole 8-byte entries: L = 8N + 1.
    if (length == 0 || (length - 1u) % frame::kDirectoryEntrySize != 0) {
        return StartVerdict::kNotAStart;
    }
    if (available < kCountEnd) {
        return StartVerdict::kNeedMore;
    }
    const uint32_t entries = (length - 1u) / frame::kDirectoryEntrySize;
    return frame::ReadLe16(bytes + frame::kHeaderSize) == entries ? StartVerdict::kStart
                                                                  : StartVerdict::kNotAStart;
}

// L covers the info word, the size S and the S JPEG bytes; anything past them is padding.
StartVerdict CheckPicture(const uint8_t* bytes, uint32_t available, uint16_t length) {
    if (length < frame::kPictureHeaderSize + kStartOfImageSize) {
        return StartVerdict::kNotAStart;
    }
    if (available < kSizeEnd) {
        return StartVerdict::kNeedMore;
    }
    const uint32_t size = frame::ReadLe32(bytes + frame::kHeaderSize + 4);
    if (size < kStartOfImageSize || size > length - frame::kPictureHeaderSize) {
        return StartVerdict::kNotAStart;
    }
    if (available < kStartCheckBytes) {
        return available == kSizeEnd || bytes[kSizeEnd] == kJpegMarker ? StartVerdict::kNeedMore
                                                                       : StartVerdict::kNotAStart;
    }
    return bytes[kSizeEnd] == kJpegMarker && bytes[kSizeEnd + 1] == kStartOfImage
               ? StartVerdict::kStart
               : StartVerdict::kNotAStart;
}

}  // namespace

bool IsKnownCommand(uint8_t command) {
    switch (command) {
        case frame::kProbe:
        case frame::kProbeReply:
        case frame::kMemoryFull:
        case frame::kAcknowledge:
        case frame::kDirectory:
        case frame::kPicture:
        case frame::kDiscard:
            return true;
        default:
            return false;
    }
}

StartStrength StrengthOf(uint8_t command) {
    switch (command) {
        case frame::kDirectory:
        case frame::kPicture:
            return StartStrength::kStrong;
        case frame::kDiscard:
            return StartStrength::kDiscard;
        default:
            return StartStrength::kWeak;
    }
}

uint32_t WeakFrameSize(uint8_t command) {
    return command == frame::kAcknowledge ? frame::kHeaderSize + frame::kAcknowledgeSize
                                          : frame::kHeaderSize;
}

StartVerdict CheckFrameStart(const uint8_t* bytes, uint32_t available) {
    if (available == 0) {
        return StartVerdict::kNeedMore;
    }
    if (bytes[0] != frame::kLead) {
        return StartVerdict::kNotAStart;
    }
    if (available < 2) {
        return StartVerdict::kNeedMore;
    }
    const uint8_t command = bytes[1];
    if (!IsKnownCommand(command)) {
        return StartVerdict::kNotAStart;
    }
    if (available < kLengthEnd) {
        return StartVerdict::kNeedMore;
    }
    const uint16_t length = frame::ReadLe16(bytes + 2);
    switch (command) {
        case frame::kDirectory:
            return CheckDirectory(bytes, available, length);
        case frame::kPicture:
            return CheckPicture(bytes, available, length);
        case frame::kAcknowledge:
            return length == frame::kAcknowledgeSize ? StartVerdict::kStart
                                                     : StartVerdict::kNotAStart;
        case frame::kDiscard:
            return StartVerdict::kStart;
        default:
            // A bare frame is its header alone; the microscope sends it with length 0.
            return length == 0 ? StartVerdict::kStart : StartVerdict::kNotAStart;
    }
}

}  // namespace dm
