// SPDX-License-Identifier: GPL-3.0-or-later
// The command thread's gate and loop, with commands of the test's own.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#endif

#include "command_fixture.h"
#include "commands/cmd_proc_thread.h"
#include "commands/command_codes.h"

namespace dm::test {
namespace {

using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class CmdProcThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (uint16_t code : {command::kCameraOn, command::kDownloadAll, command::kKey1}) {
            thread_.SetCommand(code, [this, code] {
                ++runs_;
                lastCode_ = code;
            });
        }
    }
    void TearDown() override {
        thread_.RequestStop();
        thread_.wait();
    }

    DeviceState state_;
    TCmdProcThread thread_{state_};
    std::atomic<int> runs_{0};
    std::atomic<uint16_t> lastCode_{0};
};

TEST_F(CmdProcThreadTest, CodesOutsideTheTableRunNothingAndAreCleared) {
    thread_.start();
    thread_.RequestCommand(command::kNone);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    thread_.RequestCommand(command::kCameraOffSignal);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    thread_.RequestCommand(0x1234);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 0);
    EXPECT_EQ(state_.runningCommand.load(), kNoCommandRunning);
}

TEST_F(CmdProcThreadTest, RunsTheRequestedCommandOnceThenClearsTheCode) {
    thread_.start();
    thread_.RequestCommand(command::kDownloadAll);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 1);
    EXPECT_EQ(lastCode_, command::kDownloadAll);
    EXPECT_EQ(state_.runningCommand.load(), kNoCommandRunning);
    EXPECT_TRUE(thread_.IsIdle());
}

TEST_F(CmdProcThreadTest, RequestBeforeTheThreadReachesItsGateIsKept) {
    thread_.RequestCommand(command::kKey1);
    thread_.start();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 1);
}

// Holds the thread in a command of code kUpload until `release` is set.
class QueueTest : public CmdProcThreadTest {
  protected:
    void SetUp() override {
        CmdProcThreadTest::SetUp();
        thread_.SetCommand(command::kUpload, [this] {
            order_.push_back(command::kUpload);
            ++blockingRuns_;
            while (!release_ && thread_.Sleep(2ms)) {
            }
        });
        thread_.SetCommand(command::kKey1 + 1, [this] { order_.push_back(command::kKey1 + 1); });
        thread_.start();
        thread_.RequestCommand(command::kUpload);
        while (blockingRuns_ == 0) {
            std::this_thread::sleep_for(1ms);
        }
    }

    std::atomic<bool> release_{false};
    std::atomic<int> blockingRuns_{0};
    std::vector<uint16_t> order_;  // command thread until idle
};

TEST_F(QueueTest, RequestsWhileACommandRunsRunAfterItInTheOrderMade) {
    EXPECT_FALSE(thread_.IsIdle());
    EXPECT_TRUE(thread_.IsRunningOrQueued(command::kUpload));
    thread_.RequestCommand(command::kKey1 + 1);
    thread_.RequestCommand(command::kUpload);
    EXPECT_FALSE(thread_.RequestIfIdle(command::kCameraOn));  // busy: the keep-alive waits
    release_ = true;
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(order_,
              (std::vector<uint16_t>{command::kUpload, command::kKey1 + 1, command::kUpload}));
    EXPECT_EQ(state_.runningCommand.load(), kNoCommandRunning);
}

TEST_F(QueueTest, AFullQueueDropsTheNewestRequest) {
    for (std::size_t i = 0; i < TCmdProcThread::kQueueCapacity; ++i) {
        EXPECT_TRUE(thread_.RequestCommand(command::kKey1 + 1)) << i;
    }
    EXPECT_FALSE(thread_.RequestCommand(command::kUpload));
    release_ = true;
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(order_.size(), TCmdProcThread::kQueueCapacity + 1);
    EXPECT_EQ(order_.back(), command::kKey1 + 1);
}

// The running command's wait ends and its writes are refused; the next request runs and
// writes as usual.
TEST_F(QueueTest, WithdrawAllEmptiesTheQueueAndCutsTheRunningCommandShort) {
    thread_.RequestCommand(command::kKey1 + 1);
    thread_.WithdrawAll();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s)) << "the running command's sleep went on";
    EXPECT_EQ(order_, std::vector<uint16_t>{command::kUpload});
    EXPECT_TRUE(thread_.Withdrawn());
    EXPECT_FALSE(thread_.WriteUnlessWithdrawn([] { return true; }));

    thread_.RequestCommand(command::kKey1);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 1);
    EXPECT_FALSE(thread_.Withdrawn());
    EXPECT_TRUE(thread_.WriteUnlessWithdrawn([] { return true; }));
}

TEST_F(QueueTest, CameraOffSignalWithdrawsAWaitingCameraOnRequest) {
    thread_.RequestCommand(command::kCameraOn);
    thread_.RequestCommand(command::kCameraOn);  // not queued twice
    EXPECT_TRUE(thread_.IsRunningOrQueued(command::kCameraOn));
    thread_.SignalCameraOff();
    EXPECT_FALSE(thread_.IsRunningOrQueued(command::kCameraOn));
    release_ = true;
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 0);
}

TEST_F(CmdProcThreadTest, StreamingCameraEndsOnTheSignalOrOnAnyOtherRequest) {
    std::atomic<int> stops{0};
    thread_.SetCommand(command::kCameraOn, [&] {
        while (!thread_.WaitForCameraStop(10ms)) {
        }
        ++stops;
    });
    thread_.start();
    ASSERT_TRUE(thread_.RequestIfIdle(command::kCameraOn));
    ASSERT_TRUE(WaitFor([&] { return state_.runningCommand.load() == command::kCameraOn; }));
    thread_.SignalCameraOff();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(stops, 1);

    thread_.RequestCommand(command::kCameraOn);
    ASSERT_TRUE(WaitFor([&] { return state_.runningCommand.load() == command::kCameraOn; }));
    thread_.RequestCommand(command::kKey1);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(stops, 2);
    EXPECT_EQ(lastCode_, command::kKey1);
}

TEST_F(CmdProcThreadTest, StopRequestCutsASleepShortAndEndsTheThread) {
    std::atomic<bool> sleepCompleted{true};
    std::atomic<bool> started{false};
    thread_.SetCommand(command::kUpload, [&] {
        started = true;
        sleepCompleted = thread_.Sleep(60s);
    });
    thread_.start();
    thread_.RequestCommand(command::kUpload);
    while (!started) {
        std::this_thread::sleep_for(1ms);
    }
    thread_.RequestStop();
    ASSERT_TRUE(thread_.wait(QDeadlineTimer(20000)));
    EXPECT_FALSE(sleepCompleted);
}

#if defined(__linux__)
TEST_F(CmdProcThreadTest, ThreadCarriesItsNameForDebuggers) {
    std::string name;
    thread_.SetCommand(command::kUpload, [&] {
        char buffer[32] = {};
        pthread_getname_np(pthread_self(), buffer, sizeof buffer);
        name = buffer;
    });
    thread_.start();
    thread_.RequestCommand(command::kUpload);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(name, "CmdProcThread");
}
#endif

// With the device commands registered.
using KeyCommandTest = CommandTest;

TEST_F(KeyCommandTest, EveryKeyCommandWritesItsKeyFrame) {
    for (int key = 1; key <= 8; ++key) {
        Run(command::KeyCode(key));
    }
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{
                                      "F8 41 00 00", "F8 42 00 00", "F8 43 00 00", "F8 44 00 00",
                                      "F8 45 00 00", "F8 46 00 00", "F8 47 00 00", "F8 48 00 00"}));
    EXPECT_EQ(state_.runningCommand.load(), kNoCommandRunning);
}

TEST_F(KeyCommandTest, CameraOffSignalAndEmptyRequestWriteNothing) {
    Run(command::kNone);
    Run(command::kCameraOffSignal);
    EXPECT_TRUE(port_.Writes().empty());
    EXPECT_TRUE(window_.Calls().empty());
}

}  // namespace
}  // namespace dm::test
