// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the inbound fuzz target's seed corpus: well-formed frame streams with real
// pictures from the program's own encoder, and a few damaged ones. Each file starts with
// the two control bytes described in inbound_input.h.
//
// Usage: make_inbound_corpus <folder>

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "fuzz/inbound_input.h"
#include "link/frame.h"
#include "view/jpeg_codec.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace dm;
using namespace dm::fuzz;

constexpr int kPictureWidth = 64;
constexpr int kPictureHeight = 48;
constexpr uint8_t kZoomCode = 0x12;  // range 1, step 2: a magnification and a ruler
constexpr int kForgedSide = 16384;
constexpr uint8_t kJpegMarker = 0xFF;
constexpr uint8_t kBaselineFrameMarker = 0xC0;
constexpr int kFrameHeightOffset = 5;
constexpr int kFrameWidthOffset = 7;
constexpr uint8_t kAllAtOnce = 0;
constexpr uint8_t kHeaderChunk = frame::kHeaderSize;

void Add(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

Bytes Le16(uint16_t value) {
    Bytes bytes(2);
    frame::WriteLe16(bytes.data(), value);
    return bytes;
}

Bytes Le32(uint32_t value) {
    Bytes bytes(4);
    frame::WriteLe32(bytes.data(), value);
    return bytes;
}

Bytes Header(uint8_t command, uint16_t length = 0) {
    const auto header = frame::MakeHeader(command, length);
    return {header.begin(), header.end()};
}

// A smooth picture, different for each seed value.
Bytes Jpeg(int seed) {
    QImage picture(kPictureWidth, kPictureHeight, QImage::Format_RGB888);
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            picture.setPixelColor(
                x, y, QColor((x * 4 + seed * 40) % 256, (y * 5) % 256, (x + y + seed * 70) % 256));
        }
    }
    const QByteArray jpeg = EncodeJpegStream(picture);
    return {jpeg.begin(), jpeg.end()};
}

// The same stream with a frame header that claims a huge picture.
Bytes ForgedJpeg() {
    Bytes jpeg = Jpeg(0);
    for (std::size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == kJpegMarker && jpeg[i + 1] == kBaselineFrameMarker) {
            for (const int offset : {kFrameHeightOffset, kFrameWidthOffset}) {
                jpeg[i + offset] = static_cast<uint8_t>(kForgedSide >> 8);
                jpeg[i + offset + 1] = static_cast<uint8_t>(kForgedSide & 0xFF);
            }
            break;
        }
    }
    return jpeg;
}

// Length 8 + S, info word, size S, the picture.
Bytes PictureFrame(uint32_t pictureNumber, const Bytes& jpeg) {
    const auto size = static_cast<uint32_t>(jpeg.size());
    Bytes bytes = Header(frame::kPicture, static_cast<uint16_t>(frame::kPictureHeaderSize + size));
    Add(bytes, Le32(frame::MakeInfo(pictureNumber, kZoomCode)));
    Add(bytes, Le32(size));
    Add(bytes, jpeg);
    return bytes;
}

// Length L = 8N + 1, then the count and N entries: one byte more than L.
Bytes DirectoryFrame(uint16_t entries) {
    Bytes bytes =
        Header(frame::kDirectory, static_cast<uint16_t>(entries * frame::kDirectoryEntrySize + 1));
    Add(bytes, Le16(entries));
    for (uint16_t i = 0; i < entries; ++i) {
        Add(bytes, Le32(frame::MakeInfo(i + 1u, kZoomCode)));
        Add(bytes, Le32(1000u + i));
    }
    return bytes;
}

Bytes AcknowledgeFrame() {
    Bytes bytes = Header(frame::kAcknowledge, frame::kAcknowledgeSize);
    Add(bytes, {0x01, 0x00, 0x00, 0x00});
    return bytes;
}

Bytes DiscardFrame() {
    const Bytes payload{'d', 'i', 's', 'c', 'a', 'r', 'd'};
    Bytes bytes = Header(frame::kDiscard, static_cast<uint16_t>(payload.size()));
    Add(bytes, payload);
    return bytes;
}

Bytes Garbage() {
    return {0x00, 0xF8, 0x00, 0x13, 0x37, 0xF8, 0xF8, 0x99, 0xFF};
}

Bytes Seed(uint8_t route, uint8_t chunk, std::initializer_list<Bytes> parts) {
    Bytes bytes{route, chunk};
    for (const Bytes& part : parts) {
        Add(bytes, part);
    }
    return bytes;
}

bool Write(const QDir& folder, const char* name, const Bytes& bytes) {
    QFile file(folder.filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", name);
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    constexpr uint8_t kLiveWithOverlays = kRouteLiveView | kRouteOverlays | kRouteCameraOn;
    constexpr uint8_t kEveryRoute = kRouteLiveView | kRouteCollect | kRouteSnapshot;
    const Bytes picture = PictureFrame(1, Jpeg(1));
    Bytes truncated = PictureFrame(1, Jpeg(2));
    truncated.resize(truncated.size() / 2);
    Bytes corrupt = Jpeg(3);
    for (std::size_t i = corrupt.size() / 2; i < corrupt.size() / 2 + 16; ++i) {
        corrupt[i] ^= 0x5A;
    }

    struct File {
        const char* name;
        Bytes bytes;
    };
    const std::vector<File> files{
        {"live_picture", Seed(kLiveWithOverlays, kAllAtOnce, {picture})},
        {"live_picture_camera_off",
         Seed(kRouteLiveView | kRouteOverlays, kAllAtOnce, {PictureFrame(2, Jpeg(4))})},
        {"live_picture_forged_size",
         Seed(kRouteLiveView, kAllAtOnce, {PictureFrame(3, ForgedJpeg())})},
        {"live_picture_corrupt", Seed(kLiveWithOverlays, kAllAtOnce, {PictureFrame(4, corrupt)})},
        {"collected_picture", Seed(kRouteCollect, kAllAtOnce, {picture})},
        {"claimed_picture",
         Seed(kRouteCollect | ClaimBits(ClaimMode::Picture), kAllAtOnce, {picture})},
        {"unclaimed_picture",
         Seed(kRouteCollect | ClaimBits(ClaimMode::Closed), kAllAtOnce, {picture})},
        {"snapshot_picture", Seed(kRouteSnapshot, kAllAtOnce, {picture})},
        {"every_route_picture", Seed(kEveryRoute, kAllAtOnce, {picture})},
        {"directory", Seed(0, kAllAtOnce, {DirectoryFrame(3)})},
        {"probe", Seed(0, kAllAtOnce, {Header(frame::kProbe)})},
        {"probe_reply", Seed(0, kAllAtOnce, {Header(frame::kProbeReply)})},
        {"memory_full", Seed(0, kAllAtOnce, {Header(frame::kMemoryFull)})},
        {"acknowledgement", Seed(0, kAllAtOnce, {AcknowledgeFrame()})},
        {"discard", Seed(0, kAllAtOnce, {DiscardFrame()})},
        {"back_to_back", Seed(kRouteLiveView | kRouteCollect, kAllAtOnce,
                              {DirectoryFrame(2), picture, Header(frame::kProbeReply),
                               AcknowledgeFrame(), DiscardFrame(), PictureFrame(2, Jpeg(5))})},
        {"garbage_between_frames",
         Seed(kRouteLiveView, kAllAtOnce,
              {Garbage(), Header(frame::kProbeReply), Garbage(), picture, Garbage()})},
        {"truncated_picture", Seed(kRouteLiveView | kRouteCollect, kAllAtOnce, {truncated})},
        {"short_frames_in_chunks",
         Seed(0, kHeaderChunk,
              {Header(frame::kProbe), Header(frame::kProbeReply), Header(frame::kMemoryFull)})},
    };
    for (const File& file : files) {
        if (!Write(folder, file.name, file.bytes)) {
            return 1;
        }
    }
    return 0;
}
