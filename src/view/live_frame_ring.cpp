// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/live_frame_ring.h"

#include <QColor>

namespace dm {

LiveFrameRing::LiveFrameRing() {
    for (QImage& slot : slots_) {
        slot = QImage(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
        slot.fill(QColor(0, 0, 0));
    }
}

void LiveFrameRing::Advance() {
    const uint32_t next = (writeIndex_.load(std::memory_order_relaxed) + 1) % kSlotCount;
    if (next != readIndex_.load(std::memory_order_acquire)) {
        writeIndex_.store(next, std::memory_order_release);
    }
}

std::optional<QImage> LiveFrameRing::TakeNext() {
    const uint32_t next = (readIndex_.load(std::memory_order_relaxed) + 1) % kSlotCount;
    if (next == writeIndex_.load(std::memory_order_acquire)) {
        return std::nullopt;
    }
    QImage frame = slots_[next];
    readIndex_.store(next, std::memory_order_release);
    return frame;
}

}  // namespace dm
