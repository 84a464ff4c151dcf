// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/digital_zoom.h"

#include <array>
#include <utility>

#include "link/frame.h"
#include "view/area_resample.h"
#include "view/jpeg_codec.h"
#include "view/live_frame_ring.h"
#include "view/picture_files.h"

namespace dm {

namespace {

// Part of the picture cut away by each zoom step; the factor is 1 / (1 - fraction).
constexpr std::array<float, 16> kCropFraction = {0.00F, 0.32F, 0.33F, 0.34F, 0.35F, 0.36F,
                                                 0.37F, 0.39F, 0.41F, 0.43F, 0.44F, 0.45F,
                                                 0.46F, 0.48F, 0.48F, 0.48F};

}  // namespace

QRect DigitalZoomGeometry(uint8_t zoomStep) {
    // Kept in 32-bit floats throughout, which fixes the exact sizes (320 / 0.68 -> 470).
    const float factor = 1.0F - kCropFraction[zoomStep & 0x0F];
    const int width = static_cast<int>(static_cast<float>(kPanelWidth) / factor);
    const int height = static_cast<int>(static_cast<float>(kPanelHeight) / factor);
    return {(kPanelWidth - width) / 2, (kPanelHeight - height) / 2, width, height};
}

QImage ZoomedPicture(const QImage& canvas, uint8_t zoomStep) {
    const QRect geometry = DigitalZoomGeometry(zoomStep);
    const QImage enlarged = AreaResample(canvas, geometry.size());
    return enlarged.copy(QRect(-geometry.left(), -geometry.top(), kPanelWidth, kPanelHeight));
}

DigitalZoom::DigitalZoom(LiveViewSurface& surface, WindowPort& window, QString scratchFolder)
    : surface_(surface), window_(window), scratchFolder_(std::move(scratchFolder)) {}

DigitalZoomResult DigitalZoom::ConvertWithDigitalZoom(const QByteArray& jpeg, uint32_t info) {
    const QImage decoded = DecodeJpegStream(jpeg, QImage::Format_RGB32);
    if (decoded.isNull()) {
        return {};
    }
    surface_.DrawUnscaled(decoded);
    const uint8_t zoomStep = frame::ZoomStep(frame::ZoomCode(info));
    const QRect geometry = DigitalZoomGeometry(zoomStep);
    const QImage result = ZoomedPicture(surface_.Picture(), zoomStep);

    surface_.MarkEnlarged();
    window_.ShowEnlargedLiveView(surface_.Picture(), geometry);
    return {SaveScratchPicture(result, ScratchPicturePath(scratchFolder_, info)), geometry};
}

}  // namespace dm
