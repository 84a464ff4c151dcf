// The command thread's gate and loop, with commands of the test's own.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <atomic>
#include <chrono>

#if defined(__linux__)
#include <pthread.h>
#endif

#include "command_fixture.h"
#include "commands/cmd_proc_thread.h"
#include "commands/command_codes.h"

namespace dm::test {
namespace {

using namespace std::chrono_literals;

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
    thread_.Resume();  // code 0
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    thread_.RequestCommand(command::kCameraOffSignal);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    thread_.RequestCommand(0x1234);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 0);
    EXPECT_EQ(state_.pendingCommand.load(), 0);
}

TEST_F(CmdProcThreadTest, RunsTheRequestedCommandOnceThenClearsTheCode) {
    thread_.start();
    thread_.RequestCommand(command::kDownloadAll);
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 1);
    EXPECT_EQ(lastCode_, command::kDownloadAll);
    EXPECT_EQ(state_.pendingCommand.load(), 0);
    EXPECT_TRUE(thread_.IsIdle());
}

TEST_F(CmdProcThreadTest, RequestBeforeTheThreadReachesItsGateIsKept) {
    thread_.RequestCommand(command::kKey1);
    thread_.start();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(runs_, 1);
}

TEST_F(CmdProcThreadTest, ResumeWhileACommandRunsIsNotRemembered) {
    std::atomic<bool> release{false};
    std::atomic<int> blockingRuns{0};
    thread_.SetCommand(command::kUpload, [&] {
        ++blockingRuns;
        while (!release && thread_.Sleep(5ms)) {
        }
    });
    thread_.start();
    thread_.RequestCommand(command::kUpload);
    while (blockingRuns == 0) {
        std::this_thread::sleep_for(1ms);
    }
    thread_.RequestCommand(command::kUpload);  // lands while the first one runs
    release = true;
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    EXPECT_EQ(blockingRuns, 1);
    EXPECT_EQ(state_.pendingCommand.load(), 0);
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
    EXPECT_EQ(state_.pendingCommand.load(), 0);
}

TEST_F(KeyCommandTest, CameraOffSignalAndEmptyResumeWriteNothing) {
    thread_.Resume();
    ASSERT_TRUE(thread_.WaitUntilIdle(5s));
    Run(command::kCameraOffSignal);
    EXPECT_TRUE(port_.Writes().empty());
    EXPECT_TRUE(window_.Calls().empty());
}

}  // namespace
}  // namespace dm::test
