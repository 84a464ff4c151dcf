// TEMPORARY stand-in so the command tests link before the real picture list lands.
#include "inbound/image_buffer.h"

namespace dm {

IMAGE_BUFFER::~IMAGE_BUFFER() { Clear(); }

void IMAGE_BUFFER::AppendPicture(uint32_t info, const uint8_t* bytes, int32_t n) {
    auto record = std::make_unique<Record>();
    record->info = info;
    if (n > 0) {
        record->stream = QByteArray(reinterpret_cast<const char*>(bytes), n);
    }
    std::lock_guard lock(lock_);
    Record* raw = record.get();
    if (head_) {
        tail_->next = std::move(record);
    } else {
        head_ = std::move(record);
    }
    tail_ = raw;
    ++count_;
}

void IMAGE_BUFFER::RemoveAt(int32_t index) {
    std::lock_guard lock(lock_);
    if (index < 0) index = 0;
    if (index >= count_) return;
    std::unique_ptr<Record>* link = &head_;
    Record* before = nullptr;
    for (int32_t i = 0; i < index; ++i) {
        before = link->get();
        link = &(*link)->next;
    }
    std::unique_ptr<Record> gone = std::move(*link);
    *link = std::move(gone->next);
    if (!*link) tail_ = before;
    --count_;
}

void IMAGE_BUFFER::Clear() {
    std::lock_guard lock(lock_);
    while (head_) head_ = std::move(head_->next);
    tail_ = nullptr;
    count_ = 0;
}

const IMAGE_BUFFER::Record* IMAGE_BUFFER::Walk(int32_t index) const {
    const Record* r = head_.get();
    for (int32_t i = 0; r && i < index; ++i) r = r->next.get();
    return r;
}

uint32_t IMAGE_BUFFER::InfoAt(int32_t index) const {
    std::lock_guard lock(lock_);
    const Record* r = Walk(index);
    return r ? r->info : 0;
}

QByteArray IMAGE_BUFFER::StreamAt(int32_t index) const {
    std::lock_guard lock(lock_);
    const Record* r = Walk(index);
    return r ? r->stream : QByteArray();
}

int32_t IMAGE_BUFFER::Count() const {
    std::lock_guard lock(lock_);
    return count_;
}

}  // namespace dm
