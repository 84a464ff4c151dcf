// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receive_buffer.h"

#include <algorithm>
#include <cstring>

namespace dm {

uint32_t ReceiveBuffer::Append(const uint8_t* bytes, uint32_t n) {
    const uint32_t held = count_.load(std::memory_order_relaxed);
    if (n > kMaxHeld - held) {
        return 0;
    }
    const uint32_t first = std::min(n, kStorageSize - writePos_);
    std::memcpy(storage_.data() + writePos_, bytes, first);
    std::memcpy(storage_.data(), bytes + first, n - first);
    writePos_ = (writePos_ + n) % kStorageSize;
    count_.store(held + n, std::memory_order_release);
    received_.fetch_add(n, std::memory_order_acq_rel);
    arrived_.notify_all();  // the caller holds lock_, so no waiter misses it
    return n;
}

bool ReceiveBuffer::WaitForArrival(uint64_t seen, std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    const uint64_t wakeUps = wakeUps_;
    arrived_.wait_for(guard, timeout, [&] {
        return received_.load(std::memory_order_acquire) != seen || wakeUps_ != wakeUps;
    });
    return received_.load(std::memory_order_acquire) != seen;
}

void ReceiveBuffer::WakeWaiters() {
    std::lock_guard guard(lock_);
    ++wakeUps_;
    arrived_.notify_all();
}

void ReceiveBuffer::CopyOut(uint8_t* dest, uint32_t n) const {
    const uint32_t first = std::min(n, kStorageSize - readPos_);
    std::memcpy(dest, storage_.data() + readPos_, first);
    std::memcpy(dest + first, storage_.data(), n - first);
}

uint32_t ReceiveBuffer::Peek(uint8_t* dest, uint32_t n) const {
    if (count_.load(std::memory_order_relaxed) < n) {
        return 0;
    }
    CopyOut(dest, n);
    return n;
}

uint32_t ReceiveBuffer::Take(uint8_t* dest, uint32_t n) {
    if (Peek(dest, n) != n) {
        return 0;
    }
    Drop(n);
    return n;
}

void ReceiveBuffer::Drop(uint32_t n) {
    const uint32_t held = count_.load(std::memory_order_relaxed);
    if (n < held) {
        readPos_ = (readPos_ + n) % kStorageSize;
        count_.store(held - n, std::memory_order_release);
    } else {
        Empty();
    }
}

void ReceiveBuffer::Clear() {
    Empty();
    clears_.fetch_add(1, std::memory_order_acq_rel);
}

void ReceiveBuffer::Empty() {
    writePos_ = 0;
    readPos_ = 0;
    count_.store(0, std::memory_order_release);
}

}  // namespace dm
