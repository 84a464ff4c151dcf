// SPDX-License-Identifier: GPL-3.0-or-later
#include "inbound/image_buffer.h"

#include <utility>

namespace dm {

namespace {

// Frees a chain one record at a time: letting the head's destructor free its successor
// would recurse once per record, and the snapshot list can hold tens of thousands.
template <typename RecordPtr>
void FreeChain(RecordPtr head) {
    while (head) {
        head = std::move(head->next);
    }
}

}  // namespace

IMAGE_BUFFER::~IMAGE_BUFFER() {
    Clear();
}

void IMAGE_BUFFER::AppendPicture(uint32_t info, const uint8_t* bytes, int32_t n) {
    // The record is complete (info and every byte) before it becomes reachable.
    auto record = std::make_unique<Record>();
    record->info = info;
    record->receivedAt = QDateTime::currentDateTime();
    // A record without bytes (a picture that did not arrive) still holds a non-null empty
    // stream, so StreamAt tells it apart from an index with no record (a null array).
    const bool hasBytes = bytes != nullptr && n > 0;
    record->stream =
        hasBytes ? QByteArray(reinterpret_cast<const char*>(bytes), n) : QByteArray("", 0);

    std::lock_guard guard(lock_);
    Record* added = record.get();
    if (head_) {
        tail_->next = std::move(record);
    } else {
        head_ = std::move(record);
    }
    tail_ = added;
    ++count_;
}

void IMAGE_BUFFER::RemoveAt(int32_t index) {
    std::unique_ptr<Record> removed;
    {
        std::lock_guard guard(lock_);
        Record* before = nullptr;
        Record* current = head_.get();
        for (int32_t step = 0; step < index && current != nullptr; ++step) {
            before = current;
            current = current->next.get();
        }
        if (current == nullptr) {
            return;
        }
        std::unique_ptr<Record>& link = before != nullptr ? before->next : head_;
        removed = std::move(link);
        link = std::move(removed->next);
        if (tail_ == current) {
            tail_ = before;
        }
        --count_;
    }
    // The record (and its bytes) is freed outside the lock; its next was already moved on.
}

void IMAGE_BUFFER::Clear() {
    std::unique_ptr<Record> chain;
    {
        std::lock_guard guard(lock_);
        chain = std::move(head_);
        tail_ = nullptr;
        count_ = 0;
    }
    FreeChain(std::move(chain));
}

const IMAGE_BUFFER::Record* IMAGE_BUFFER::Walk(int32_t index) const {
    const Record* current = head_.get();
    for (int32_t step = 0; step < index && current != nullptr; ++step) {
        current = current->next.get();
    }
    return current;
}

uint32_t IMAGE_BUFFER::InfoAt(int32_t index) const {
    std::lock_guard guard(lock_);
    const Record* record = Walk(index);
    return record != nullptr ? record->info : 0;
}

QByteArray IMAGE_BUFFER::StreamAt(int32_t index) const {
    std::lock_guard guard(lock_);
    const Record* record = Walk(index);
    return record != nullptr ? record->stream : QByteArray();
}

QDateTime IMAGE_BUFFER::ReceivedAt(int32_t index) const {
    std::lock_guard guard(lock_);
    const Record* record = Walk(index);
    return record != nullptr ? record->receivedAt : QDateTime();
}

int32_t IMAGE_BUFFER::Count() const {
    std::lock_guard guard(lock_);
    return count_;
}

}  // namespace dm
