// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live view: renders each live picture frame into the live frame ring on the data
// thread and hands finished frames to the window thread one per timer tick.
//
// RenderLiveFrame (data thread): decode, stretch (nearest neighbour) into the slot at the
// write index, remember the frame's info word as the current picture info, burn in the
// overlays the two check boxes ask for, advance. While the camera-on flag is clear (frames
// still arriving after the camera went off) the overlays go to the browse view instead of
// the slot. A frame that does not decode is dropped and changes nothing.
// ShowNextLiveFrame (window thread): the oldest ready frame, which also becomes the live
// view control's picture, or nothing.
// LatestFrame (window thread): the newest decodable frame as it arrived, without
// overlays, for measuring. Kept as its JPEG bytes (a copy of some kilobytes per frame,
// taken under a lock held only for the copy), so the live path pays no second decode.

#include <cstdint>
#include <mutex>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QImage>

#include "inbound/device_state.h"
#include "inbound/live_frame_sink.h"
#include "inbound/window_port.h"
#include "view/live_frame_ring.h"
#include "view/live_view_surface.h"

namespace dm {

class LiveView : public LiveFrameSink {
  public:
    LiveView(DeviceState& state, WindowPort& window, LiveViewSurface& surface);

    void RenderLiveFrame(uint32_t info, const uint8_t* jpeg, uint32_t size) override;
    std::optional<QImage> ShowNextLiveFrame();

    const LiveFrameRing& Ring() const { return ring_; }

    struct ArrivedFrame {
        QByteArray jpeg;
        uint32_t info = 0;
        QDateTime received;
        uint64_t sequence = 0;  // 1 for the first frame, one more for each after it
    };
    std::optional<ArrivedFrame> LatestFrame() const;

  private:
    void KeepLatest(uint32_t info, const uint8_t* jpeg, uint32_t size);
    void StretchIntoSlot(const QImage& decoded, QImage& slot) const;
    void DrawRequestedOverlays(QImage& slot, uint8_t zoomCode);

    DeviceState& state_;
    WindowPort& window_;
    LiveViewSurface& surface_;
    LiveFrameRing ring_;
    mutable std::mutex latestLock_;
    ArrivedFrame latest_;  // sequence 0: no frame yet
};

}  // namespace dm
