// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_fixture.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "inbound/picture_claim.h"
#include "link/frame.h"

namespace dm::test {

DataThreadSimulator::DataThreadSimulator(FakeDevicePort& port) {
    port.SetWriteHook([this](const Bytes& frame) {
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
        changed_.notify_all();
    });
    thread_ = std::thread([this] { Loop(); });
}

DataThreadSimulator::~DataThreadSimulator() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void DataThreadSimulator::SetHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void DataThreadSimulator::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !frames_.empty(); });
        if (stop_) {
            return;
        }
        const Bytes frame = frames_.front();
        frames_.pop_front();
        const Handler handler = handler_;
        lock.unlock();
        if (handler) {
            handler(frame);
        }
        lock.lock();
    }
}

CommandTest::CommandTest()
    : commands_(state_, port_, window_, pictures_, thread_, scratch_.path(),
                [] { return QDate(2009, 12, 7); }) {
    commands_.Register(thread_);
    thread_.start();
}

void CommandTest::TearDown() {
    thread_.RequestStop();
    thread_.wait();
}

void CommandTest::Run(uint16_t code, std::chrono::milliseconds limit) {
    thread_.RequestCommand(code);
    ASSERT_TRUE(thread_.WaitUntilIdle(limit)) << "command did not end";
}

void CommandTest::FillDirectory(const std::vector<frame::DirectoryEntry>& entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        state_.directory.SetEntry(static_cast<int>(i), entries[i]);
    }
    state_.directory.SetCount(static_cast<uint16_t>(entries.size()));
}

void CommandTest::AnswerDownloads(std::vector<frame::DirectoryEntry> entries,
                                  std::vector<uint32_t> missing, uint8_t directoryStatus,
                                  std::vector<uint32_t> late) {
    auto lateEntry = std::make_shared<std::optional<frame::DirectoryEntry>>();
    data_.SetHandler(
        [this, entries, missing, directoryStatus, late, lateEntry](const Bytes& frame) {
            if (frame.size() < frame::kHeaderSize || frame[0] != frame::kLead) {
                return;
            }
            if (frame[1] == frame::kDirectoryRequest && directoryStatus != kTransferPending) {
                FillDirectory(entries);
                state_.transferStatus.store(directoryStatus, std::memory_order_release);
            }
            if (frame[1] == frame::kPictureRequest && frame.size() == 8) {
                // A late picture turns up only when the next one is asked for.
                if (lateEntry->has_value()) {
                    DeliverPicture(**lateEntry);
                    lateEntry->reset();
                }
                const uint32_t number = frame::ReadLe32(frame.data() + frame::kHeaderSize);
                if (std::find(missing.begin(), missing.end(), number) != missing.end()) {
                    return;
                }
                for (const auto& entry : entries) {
                    if (frame::PictureNumber(entry.info) != number) {
                        continue;
                    }
                    if (std::find(late.begin(), late.end(), number) != late.end()) {
                        *lateEntry = entry;
                        return;
                    }
                    DeliverPicture(entry);
                }
                state_.transferStatus.store(kTransferDone, std::memory_order_release);
            }
        });
}

// As the data thread does with the collect flag set.
void CommandTest::DeliverPicture(const frame::DirectoryEntry& entry) {
    const uint8_t jpeg[3] = {0xFF, 0xD8, static_cast<uint8_t>(frame::PictureNumber(entry.info))};
    if (ClaimPictureForList(state_, entry.info)) {
        pictures_.AppendPicture(entry.info, jpeg, sizeof jpeg);
    }
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace dm::test
