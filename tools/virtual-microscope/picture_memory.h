// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The pictures kept in the virtual microscope's memory: each a picture info word (number
// and zoom code) and its JPEG bytes. Numbers are handed out in rising order and never
// reused while the microscope runs. Thread-safe: the microscope's thread changes it,
// tests look at it.

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>

#include "link/frame.h"

namespace dm::vm {

struct StoredPicture {
    uint32_t info = 0;
    QByteArray jpeg;
};

class PictureMemory {
  public:
    explicit PictureMemory(int maxPictures) : maxPictures_(maxPictures) {}

    // Stores a picture under the next number; nullopt (nothing stored) when full.
    std::optional<uint32_t> Add(uint8_t zoomCode, QByteArray jpeg);
    bool IsFull() const;
    // The number the next Add will use.
    uint32_t NextNumber() const;
    // Removes the picture with that number (bits 0-23; the zoom code is not compared).
    bool Remove(uint32_t number);
    void Clear();

    std::optional<StoredPicture> Find(uint32_t number) const;
    std::vector<StoredPicture> Pictures() const;
    std::vector<frame::DirectoryEntry> Directory() const;

  private:
    mutable std::mutex lock_;
    int maxPictures_;
    uint32_t nextNumber_ = 1;
    std::vector<StoredPicture> pictures_;
};

}  // namespace dm::vm
