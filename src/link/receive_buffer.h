// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The receive buffer: every byte from the microscope lands here first (window thread,
// PollPort) and the data thread takes frames from its front.
//
// Contract: Append, Peek, Take, Drop and Clear must be called with Lock() held; the data
// thread holds it once around the two takes of a directory or picture frame. Count and
// Received may be read without the lock; callers use them only to decide whether to wait
// or go on. WaitForArrival takes the lock itself: never call it with the lock held.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace dm {

class ReceiveBuffer {
  public:
    static constexpr uint32_t kStorageSize = 131072;
    static constexpr uint32_t kMaxHeld = kStorageSize - 1;  // one slot always stays free

    // Adds n bytes at the write side, all or nothing. Returns n, or 0 when refused.
    uint32_t Append(const uint8_t* bytes, uint32_t n);
    uint32_t Count() const { return count_.load(std::memory_order_acquire); }
    // Every byte ever appended (refused chunks not counted): a reader that sees it change
    // knows the line is still delivering, whatever was taken meanwhile.
    uint64_t Received() const { return received_.load(std::memory_order_acquire); }
    // How often the buffer was emptied with Clear: a reader that sees it change knows the
    // bytes it was looking at are gone (a port was opened), whatever is held now.
    uint32_t Clears() const { return clears_.load(std::memory_order_acquire); }
    // Blocks until Received() differs from `seen`, WakeWaiters() is called, or the timeout
    // passes. True when new bytes arrived.
    bool WaitForArrival(uint64_t seen, std::chrono::milliseconds timeout);
    // Ends every WaitForArrival at once (a stop request, a reply given up on).
    void WakeWaiters();
    // Copies the n oldest bytes; 0 (and nothing copied) when fewer are held.
    uint32_t Peek(uint8_t* dest, uint32_t n) const;
    // As Peek, and removes them.
    uint32_t Take(uint8_t* dest, uint32_t n);
    // Removes the n oldest bytes; n >= Count() empties the buffer.
    void Drop(uint32_t n);
    void Clear();

    std::mutex& Lock() { return lock_; }

  private:
    void CopyOut(uint8_t* dest, uint32_t n) const;
    void Empty();

    std::array<uint8_t, kStorageSize> storage_{};
    uint32_t writePos_ = 0;
    uint32_t readPos_ = 0;
    std::atomic<uint32_t> count_{0};
    std::atomic<uint64_t> received_{0};
    std::atomic<uint32_t> clears_{0};
    uint64_t wakeUps_ = 0;  // under lock_
    std::mutex lock_;
    std::condition_variable arrived_;
};

}  // namespace dm
