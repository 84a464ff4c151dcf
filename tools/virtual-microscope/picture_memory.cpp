// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/picture_memory.h"

#include <algorithm>

namespace dm::vm {

std::optional<uint32_t> PictureMemory::Add(uint8_t zoomCode, QByteArray jpeg) {
    std::lock_guard guard(lock_);
    if (static_cast<int>(pictures_.size()) >= maxPictures_) {
        return std::nullopt;
    }
    const uint32_t info = frame::MakeInfo(nextNumber_, zoomCode);
    nextNumber_ = frame::PictureNumber(nextNumber_ + 1);
    pictures_.push_back({info, std::move(jpeg)});
    return info;
}

bool PictureMemory::IsFull() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(pictures_.size()) >= maxPictures_;
}

uint32_t PictureMemory::NextNumber() const {
    std::lock_guard guard(lock_);
    return nextNumber_;
}

bool PictureMemory::Remove(uint32_t number) {
    std::lock_guard guard(lock_);
    const auto removed = std::erase_if(pictures_, [number](const StoredPicture& picture) {
        return frame::PictureNumber(picture.info) == frame::PictureNumber(number);
    });
    return removed > 0;
}

void PictureMemory::Clear() {
    std::lock_guard guard(lock_);
    pictures_.clear();
}

std::optional<StoredPicture> PictureMemory::Find(uint32_t number) const {
    std::lock_guard guard(lock_);
    const auto found = std::find_if(pictures_.begin(), pictures_.end(), [number](const auto& p) {
        return frame::PictureNumber(p.info) == frame::PictureNumber(number);
    });
    if (found == pictures_.end()) {
        return std::nullopt;
    }
    return *found;
}

std::vector<StoredPicture> PictureMemory::Pictures() const {
    std::lock_guard guard(lock_);
    return pictures_;
}

std::vector<frame::DirectoryEntry> PictureMemory::Directory() const {
    std::lock_guard guard(lock_);
    std::vector<frame::DirectoryEntry> entries;
    entries.reserve(pictures_.size());
    for (const auto& picture : pictures_) {
        entries.push_back({picture.info, static_cast<uint32_t>(picture.jpeg.size())});
    }
    return entries;
}

}  // namespace dm::vm
