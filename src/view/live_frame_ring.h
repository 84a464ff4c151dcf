// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The live frame ring: 31 pictures of 320 x 240 (32 bits per pixel, black at start)
// between the data thread, which renders into the slot at the write index, and the
// window thread, which shows the slot after the read index on each timer tick.
//
// Ready slots lie strictly after the read index and before the write index (modulo 31),
// so at most 29 frames wait. The slot at the write index is never shown and the slot at
// the read index is never written: the two threads never touch the same slot. The write
// index is published with a release store after the slot is complete; the read index is
// published after the window has taken its copy of the slot.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include <QImage>

namespace dm {

inline constexpr int kPanelWidth = 320;  // the picture area, Panel1
inline constexpr int kPanelHeight = 240;

class LiveFrameRing {
  public:
    static constexpr uint32_t kSlotCount = 31;

    LiveFrameRing();

    // Data thread: the slot to render into, valid until Advance().
    QImage& WriteSlot() { return slots_[writeIndex_.load(std::memory_order_relaxed)]; }
    // Data thread: publishes the rendered slot unless the ring is full, in which case the
    // next frame renders into the same slot again.
    void Advance();

    // Window thread: the oldest ready slot (an implicitly shared copy that stays valid
    // when the slot is rendered again later), or nothing when no frame is ready.
    std::optional<QImage> TakeNext();

    uint32_t WriteIndex() const { return writeIndex_.load(std::memory_order_acquire); }
    uint32_t ReadIndex() const { return readIndex_.load(std::memory_order_acquire); }

  private:
    std::array<QImage, kSlotCount> slots_;
    std::atomic<uint32_t> writeIndex_{1};
    std::atomic<uint32_t> readIndex_{0};
};

}  // namespace dm
