// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared set-up for the command tests: a real command thread with every command
// registered, a fake port, a recording window and a stand-in for the data thread that
// answers written requests from its own thread, as the real one does.

#include <gtest/gtest.h>

#include <QDate>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "commands/cmd_proc_thread.h"
#include "commands/device_commands.h"
#include "commands/device_control.h"
#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "support/fake_device_port.h"
#include "support/recording_window.h"

namespace dm::test {

using namespace std::chrono_literals;

// Takes every frame the commands write and hands it to a handler on its own thread.
class DataThreadSimulator {
  public:
    using Handler = std::function<void(const Bytes&)>;

    explicit DataThreadSimulator(FakeDevicePort& port);
    ~DataThreadSimulator();
    void SetHandler(Handler handler);

  private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Bytes> frames_;
    Handler handler_;
    bool stop_ = false;
    std::thread thread_;
};

class CommandTest : public ::testing::Test {
  protected:
    CommandTest();
    void TearDown() override;

    // Requests a command and waits (bounded) until the thread is idle again.
    void Run(uint16_t code, std::chrono::milliseconds limit = 20s);
    // Answers directory and picture requests from the given directory; pictures whose
    // number is in missing never arrive, those in late arrive only after the next request.
    // A directory status of 0 means no reply.
    void AnswerDownloads(std::vector<frame::DirectoryEntry> entries,
                         std::vector<uint32_t> missing = {},
                         uint8_t directoryStatus = kTransferDone, std::vector<uint32_t> late = {});
    void DeliverPicture(const frame::DirectoryEntry& entry);
    void FillDirectory(const std::vector<frame::DirectoryEntry>& entries);

    QTemporaryDir scratch_;
    DeviceState state_;
    FakeDevicePort port_;
    RecordingWindow window_;
    IMAGE_BUFFER pictures_;
    TCmdProcThread thread_{state_};
    DeviceCommands commands_;
    DeviceControl control_{state_, port_, thread_, window_};
    DataThreadSimulator data_{port_};
};

bool Contains(const std::vector<std::string>& lines, const std::string& line);

}  // namespace dm::test
