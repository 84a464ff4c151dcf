// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The picture directory received with the last directory frame: a count and up to 64
// entries. Entry i belongs to row i of the picture list view and record i of the
// picture list. Written by the data thread (directory frame) and the command thread
// (delete shifts entries), read by the command and window threads; every word is an
// atomic so a reader never sees a torn entry.

#include <array>
#include <atomic>
#include <cstdint>

#include "link/frame.h"

namespace dm {

class PictureDirectory {
  public:
    static constexpr int kCapacity = frame::kMaxDirectoryEntries;

    uint16_t Count() const { return count_.load(std::memory_order_relaxed); }
    void SetCount(uint16_t count) { count_.store(count, std::memory_order_relaxed); }
    // How many pictures the microscope said it holds; more than Count() when it sent
    // more entries than the directory keeps.
    uint16_t Announced() const { return announced_.load(std::memory_order_relaxed); }
    void SetAnnounced(uint16_t count) { announced_.store(count, std::memory_order_relaxed); }

    // Indexes outside 0..kCapacity-1 read as an empty entry and are never written.
    frame::DirectoryEntry Entry(int index) const {
        if (index < 0 || index >= kCapacity) {
            return {};
        }
        return {info_[index].load(std::memory_order_relaxed),
                size_[index].load(std::memory_order_relaxed)};
    }
    void SetEntry(int index, frame::DirectoryEntry entry) {
        if (index < 0 || index >= kCapacity) {
            return;
        }
        info_[index].store(entry.info, std::memory_order_relaxed);
        size_[index].store(entry.size, std::memory_order_relaxed);
    }

  private:
    std::atomic<uint16_t> count_{0};
    std::atomic<uint16_t> announced_{0};
    std::array<std::atomic<uint32_t>, kCapacity> info_{};
    std::array<std::atomic<uint32_t>, kCapacity> size_{};
};

}  // namespace dm
