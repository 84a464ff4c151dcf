// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// IMAGE_BUFFER: received pictures as JPEG bytes with their info word, in arrival order.
// Two instances live for the whole run: the picture list (record i is directory entry i
// and list row i) and the snapshot list.
//
// Threads: records are appended on the data thread, read on the window thread and
// removed or cleared on the command thread. A short internal lock keeps every walk away
// from a record being linked or freed; StreamAt hands out an implicitly shared copy, so
// a reader keeps valid bytes even if the record is removed afterwards.

#include <cstdint>
#include <memory>
#include <mutex>

#include <QByteArray>
#include <QDateTime>

namespace dm {

class IMAGE_BUFFER {
  public:
    IMAGE_BUFFER() = default;
    ~IMAGE_BUFFER();
    IMAGE_BUFFER(const IMAGE_BUFFER&) = delete;
    IMAGE_BUFFER& operator=(const IMAGE_BUFFER&) = delete;

    void AppendPicture(uint32_t info, const uint8_t* bytes, int32_t n);
    // Index 0 or less addresses the first record; an index at or past the end changes
    // nothing (RemoveAt) or returns 0 / an empty array (InfoAt, StreamAt).
    void RemoveAt(int32_t index);
    void Clear();
    uint32_t InfoAt(int32_t index) const;
    QByteArray StreamAt(int32_t index) const;
    // When the record was appended (local time); invalid where there is no record.
    QDateTime ReceivedAt(int32_t index) const;
    int32_t Count() const;

  private:
    struct Record {
        uint32_t info = 0;
        QByteArray stream;
        QDateTime receivedAt;
        std::unique_ptr<Record> next;
    };
    const Record* Walk(int32_t index) const;

    mutable std::mutex lock_;
    std::unique_ptr<Record> head_;
    Record* tail_ = nullptr;
    int32_t count_ = 0;
};

}  // namespace dm
