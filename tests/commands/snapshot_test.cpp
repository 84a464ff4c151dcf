// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot command: its request, naming, the save question and the full table.
#include "command_fixture.h"
#include "commands/command_codes.h"
#include "link/frame.h"

namespace dm::test {
namespace {

class SnapshotTest : public CommandTest {
  protected:
    void SetUp() override {
        window_.SetMessage(16, "Save it?");
        state_.getSnapshotSelector = 1;
        data_.SetHandler([this](const Bytes& frame) {
            if (frame.size() == 4 && frame[1] == frame::kGetSnapshot) {
                state_.transferStatus.store(kTransferDone, std::memory_order_release);
            }
        });
    }
    // As the window's snapshot step requests it: waiting for the command to start.
    void RunSnapshot() {
        state_.snapshotRequest = kSnapshotRequestWaiting;
        Run(command::kSnapshot);
    }
};

TEST_F(SnapshotTest, FirstSnapshotIsNamedByDateAndNumberAndSavedOnRequest) {
    window_.QueueSaveFile(QStringLiteral("/pictures/mine.jpg"));
    RunSnapshot();
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 28 01 00"}));
    EXPECT_EQ(state_.snapshotCounter.load(), 1);
    EXPECT_EQ(commands_.SnapshotName(1), "P20091207_1");
    EXPECT_EQ(window_.Calls(), (std::vector<std::string>{
                                   "ApplyButtonSet Busy", "ApplyButtonSet Ready",
                                   "AskWarning Save it?", "ChooseSnapshotFile P20091207_1.jpg"}));
    ASSERT_TRUE(state_.snapshotSaveRequested.load(std::memory_order_acquire));
    EXPECT_EQ(state_.snapshotFileName, "/pictures/mine.jpg");
    EXPECT_FALSE(state_.snapshotBusy.load());
}

TEST_F(SnapshotTest, DeclinedQuestionOrDialogRequestsNoSave) {
    state_.getSnapshotSelector = 0;
    window_.QueueAnswer(false);
    RunSnapshot();
    RunSnapshot();  // OK, then the dialog is cancelled
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 28 00 00", "F8 28 00 00"}));
    EXPECT_TRUE(window_.WaitForCall("ChooseSnapshotFile P20091207_2.jpg", 0ms));
    EXPECT_FALSE(window_.WaitForCall("ChooseSnapshotFile P20091207_1.jpg", 0ms));
    EXPECT_FALSE(state_.snapshotSaveRequested.load());
    EXPECT_FALSE(state_.snapshotBusy.load());
}

// The name table has a slot for every counter value below the full mark; the counter
// never passes it and never wraps.
TEST_F(SnapshotTest, BufferFullStopsNamingForGood) {
    state_.snapshotCounter = 65532;
    window_.QueueAnswer(false);
    RunSnapshot();
    EXPECT_EQ(commands_.SnapshotName(65533), "P20091207_65533");
    window_.ClearCalls();

    for (int i = 0; i < 3; ++i) {
        RunSnapshot();
        EXPECT_EQ(state_.snapshotCounter.load(), DeviceCommands::kSnapshotBufferFull);
        EXPECT_FALSE(state_.snapshotBusy.load());
    }
    const auto calls = window_.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "ShowError Image Buffer Full!!"), 3);
    EXPECT_FALSE(window_.WaitForCall("AskWarning", 0ms));
    EXPECT_TRUE(commands_.SnapshotName(65534).isEmpty());
    EXPECT_TRUE(commands_.SnapshotName(0).isEmpty());
}

TEST_F(SnapshotTest, ARequestTheWindowGaveUpOnDoesNothing) {
    for (uint8_t request : {kSnapshotRequestAbandoned, kSnapshotRequestNone}) {
        state_.snapshotRequest = request;
        Run(command::kSnapshot);
        EXPECT_EQ(state_.snapshotRequest.load(), request);
    }
    EXPECT_TRUE(port_.WrittenHex().empty());
    EXPECT_TRUE(window_.Calls().empty());
    EXPECT_EQ(state_.snapshotCounter.load(), 0);

    RunSnapshot();
    EXPECT_EQ(state_.snapshotRequest.load(), kSnapshotRequestRunning);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 28 01 00"}));
}

}  // namespace
}  // namespace dm::test
