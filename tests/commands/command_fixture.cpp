#include "command_fixture.h"

#include <algorithm>

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
                                  std::vector<uint32_t> missing, uint8_t directoryStatus) {
    data_.SetHandler([this, entries, missing, directoryStatus](const Bytes& frame) {
        if (frame.size() < frame::kHeaderSize || frame[0] != frame::kLead) {
            return;
        }
        if (frame[1] == frame::kDirectoryRequest && directoryStatus != kTransferPending) {
            FillDirectory(entries);
            state_.transferStatus.store(directoryStatus, std::memory_order_release);
        }
        if (frame[1] == frame::kPictureRequest && frame.size() == 8) {
            const uint32_t number = frame::ReadLe32(frame.data() + frame::kHeaderSize);
            if (std::find(missing.begin(), missing.end(), number) != missing.end()) {
                return;
            }
            for (const auto& entry : entries) {
                if (frame::PictureNumber(entry.info) == number) {
                    const uint8_t jpeg[3] = {0xFF, 0xD8, static_cast<uint8_t>(number)};
                    pictures_.AppendPicture(entry.info, jpeg, sizeof jpeg);
                }
            }
            state_.transferStatus.store(kTransferDone, std::memory_order_release);
        }
    });
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace dm::test
