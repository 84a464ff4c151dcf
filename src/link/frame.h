// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Layout of the device frames exchanged with the microscope, in both directions.
// Every frame is a 4-byte header (lead byte, command byte, 16-bit length field) and a
// payload that depends on the command byte. All integers are unsigned little-endian.

#include <array>
#include <cstddef>
#include <cstdint>

namespace dm::frame {

inline constexpr uint8_t kLead = 0xF8;
inline constexpr std::size_t kHeaderSize = 4;

// Inbound command bytes (microscope to program).
inline constexpr uint8_t kProbe = 0x31;  // also sent by the program during the port search
inline constexpr uint8_t kDirectory = 0x82;
inline constexpr uint8_t kPicture = 0x83;
inline constexpr uint8_t kProbeReply = 0x91;
inline constexpr uint8_t kMemoryFull = 0xA1;
inline constexpr uint8_t kAcknowledge = 0xA2;
inline constexpr uint8_t kDiscard = 0xFE;

// Outbound command bytes (program to microscope).
inline constexpr uint8_t kLinkStart = 0x11;
inline constexpr uint8_t kDisconnect = 0x12;
inline constexpr uint8_t kDirectoryRequest = 0x21;
inline constexpr uint8_t kPictureRequest = 0x22;
inline constexpr uint8_t kDeleteRequest = 0x23;
inline constexpr uint8_t kDeleteAllRequest = 0x24;
inline constexpr uint8_t kUpload = 0x27;
inline constexpr uint8_t kGetSnapshot = 0x28;
inline constexpr uint8_t kCameraOn = 0x29;
inline constexpr uint8_t kCameraOff = 0x2A;
inline constexpr uint8_t kKeyBase = 0x40;  // KeyN is kKeyBase + N, N = 1..8
inline constexpr int kKeyCount = 8;

// Payload sizes and limits.
inline constexpr std::size_t kDirectoryEntrySize = 8;  // info word + picture size
inline constexpr std::size_t kDirectoryCountSize = 2;
inline constexpr int kMaxDirectoryEntries = 64;
inline constexpr std::size_t kPictureHeaderSize = 8;  // info word + picture size
inline constexpr std::size_t kPictureBufferSize = 65536;
inline constexpr std::size_t kAcknowledgeSize = 4;
inline constexpr std::size_t kRequestArgumentSize = 4;  // picture and delete requests

// The receiver compares lead and command byte as one little-endian word:
// the picture frame begins with 0x83F8. Pending command codes use the same words.
constexpr uint16_t HeaderWord(uint8_t command) {
    return static_cast<uint16_t>(kLead | (command << 8));
}

constexpr uint16_t ReadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

constexpr uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

constexpr void WriteLe16(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>(value >> 8);
}

constexpr void WriteLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

struct Header {
    uint8_t lead = 0;
    uint8_t command = 0;
    uint16_t length = 0;

    uint16_t Word() const { return static_cast<uint16_t>(lead | (command << 8)); }
};

constexpr Header ParseHeader(const uint8_t* p) {
    return Header{p[0], p[1], ReadLe16(p + 2)};
}

constexpr std::array<uint8_t, kHeaderSize> MakeHeader(uint8_t command, uint16_t length = 0) {
    std::array<uint8_t, kHeaderSize> bytes{kLead, command, 0, 0};
    WriteLe16(bytes.data() + 2, length);
    return bytes;
}

// Picture info word: bits 0-23 the picture number, bits 24-31 the zoom code.
// Zoom code: high nibble the zoom range, low nibble the zoom step.
inline constexpr uint32_t kPictureNumberMask = 0x00FFFFFF;
constexpr uint32_t PictureNumber(uint32_t info) {
    return info & kPictureNumberMask;
}
constexpr uint8_t ZoomCode(uint32_t info) {
    return static_cast<uint8_t>(info >> 24);
}
constexpr uint8_t ZoomRange(uint8_t zoomCode) {
    return static_cast<uint8_t>(zoomCode >> 4);
}
constexpr uint8_t ZoomStep(uint8_t zoomCode) {
    return static_cast<uint8_t>(zoomCode & 0x0F);
}
constexpr uint32_t MakeInfo(uint32_t pictureNumber, uint8_t zoomCode) {
    return (pictureNumber & kPictureNumberMask) | (static_cast<uint32_t>(zoomCode) << 24);
}

struct DirectoryEntry {
    uint32_t info = 0;
    uint32_t size = 0;
};

}  // namespace dm::frame
