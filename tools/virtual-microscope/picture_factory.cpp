// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/picture_factory.h"

#include <QImage>
#include <algorithm>
#include <array>

#include "link/frame.h"
#include "view/jpeg_codec.h"
#include "view/magnification.h"
#include "virtual-microscope/specimen_painter.h"

namespace dm::vm {

namespace {

constexpr std::array<uint8_t, 4> kInitialZoomCodes = {0x00, 0x25, 0x31, 0xF0};
constexpr int kQualityStep = 10;
constexpr int kLowestQuality = 30;
// The live stream looks at one slide of its own.
constexpr uint32_t kLiveSlide = 0x5EED;

}  // namespace

uint8_t InitialZoomCode(int index) {
    return kInitialZoomCodes[static_cast<std::size_t>(index) % kInitialZoomCodes.size()];
}

QByteArray EncodePicture(const QImage& picture) {
    QByteArray jpeg;
    for (int quality = kDefaultJpegQuality; quality >= kLowestQuality; quality -= kQualityStep) {
        jpeg = EncodeJpegStream(picture, quality);
        if (jpeg.size() <= kMaxPictureBytes) {
            break;
        }
    }
    return jpeg;
}

QByteArray MakeStillPicture(uint32_t number, uint8_t zoomCode) {
    SpecimenView view;
    view.slide = number;
    view.scale = ScaleForMagnification(ZoomCodeToMagnification(zoomCode));
    view.number = number;
    return EncodePicture(PaintSpecimen(view));
}

QByteArray MakeLivePicture(const LiveView& live, SpecimenPainter& painter) {
    const auto magnification = ZoomCodeToMagnification(live.zoomCode);
    SpecimenView view;
    view.slide = kLiveSlide;
    view.panX = live.panX;
    view.panY = live.panY;
    view.scale = ScaleForMagnification(magnification);
    view.seconds = live.seconds;
    if (magnification) {
        view.magnification = *magnification;
    }
    return EncodePicture(painter.Paint(view));
}

// A start-of-image marker and then bytes that hold no other marker: a picture frame as
// plausible as any, whose JPEG data does not decode.
QByteArray MakeUndecodableBytes(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(0x20 + i % 0x50);  // never 0xFF or 0xF8
    }
    if (size >= 2) {
        bytes[0] = '\xFF';
        bytes[1] = '\xD8';
    }
    return bytes;
}

QByteArray PadPicture(const QByteArray& jpeg, int size) {
    constexpr int kMarkerSize = 2;         // FF D8 (start of image), FF FE (comment)
    constexpr int kSegmentLengthSize = 2;  // big-endian, counts itself
    constexpr int kLargestComment = 65533 - kSegmentLengthSize;
    const QByteArray frameStarts = QByteArray::fromHex("f8820900f8fe0200f8a10000f8310000f883");
    QByteArray segments;
    while (jpeg.size() + segments.size() < size) {
        const int wanted = size - static_cast<int>(jpeg.size() + segments.size()) - kMarkerSize -
                           kSegmentLengthSize;
        const int body = std::clamp(wanted, 1, kLargestComment);
        QByteArray comment = frameStarts.repeated(body / frameStarts.size() + 1).left(body);
        const int length = body + kSegmentLengthSize;
        segments += QByteArray::fromHex("fffe");
        segments += static_cast<char>(length >> 8);
        segments += static_cast<char>(length & 0xFF);
        segments += comment;
    }
    return jpeg.left(kMarkerSize) + segments + jpeg.mid(kMarkerSize);
}

}  // namespace dm::vm
