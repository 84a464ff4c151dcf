// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/live_view.h"

#include <cstring>

#include <QPainter>
#include <QRect>

#include "link/frame.h"
#include "view/jpeg_codec.h"
#include "view/overlays.h"

namespace dm {

LiveView::LiveView(DeviceState& state, WindowPort& window, LiveViewSurface& surface)
    : state_(state), window_(window), surface_(surface) {}

void LiveView::RenderLiveFrame(uint32_t info, const uint8_t* jpeg, uint32_t size) {
    const QImage decoded = DecodeJpeg(jpeg, size, QImage::Format_RGB32);
    if (decoded.isNull()) {
        return;
    }
    // A digital zoom conversion left the control enlarged; put it back once.
    if (surface_.TakeEnlarged()) {
        window_.RestoreLiveViewGeometry();
    }
    KeepLatest(info, jpeg, size);
    QImage& slot = ring_.WriteSlot();
    StretchIntoSlot(decoded, slot);
    state_.currentPictureInfo.store(info, std::memory_order_relaxed);
    DrawRequestedOverlays(slot, frame::ZoomCode(info));
    ring_.Advance();
}

void LiveView::KeepLatest(uint32_t info, const uint8_t* jpeg, uint32_t size) {
    const QDateTime now = QDateTime::currentDateTime();
    const std::lock_guard guard(latestLock_);
    latest_.jpeg.resize(static_cast<qsizetype>(size));
    std::memcpy(latest_.jpeg.data(), jpeg, size);
    latest_.info = info;
    latest_.received = now;
    ++latest_.sequence;
}

std::optional<LiveView::ArrivedFrame> LiveView::LatestFrame() const {
    const std::lock_guard guard(latestLock_);
    if (latest_.sequence == 0) {
        return std::nullopt;
    }
    return latest_;
}

std::optional<QImage> LiveView::ShowNextLiveFrame() {
    std::optional<QImage> frame = ring_.TakeNext();
    if (frame) {
        surface_.Replace(*frame);
    }
    return frame;
}

void LiveView::StretchIntoSlot(const QImage& decoded, QImage& slot) const {
    QPainter painter(&slot);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(0, 0, kPanelWidth, kPanelHeight), decoded);
}

void LiveView::DrawRequestedOverlays(QImage& slot, uint8_t zoomCode) {
    const bool magnification = window_.ShowMagnificationChecked();
    const bool ruler = window_.ShowRulerChecked();
    if (!magnification && !ruler) {
        return;
    }
    if (state_.cameraOn.load(std::memory_order_relaxed)) {
        DrawOverlays(slot, zoomCode, magnification, ruler, kLiveOverlayBackground);
    } else {
        window_.DrawOverlaysOnBrowseView(zoomCode, magnification, ruler);
    }
}

}  // namespace dm
