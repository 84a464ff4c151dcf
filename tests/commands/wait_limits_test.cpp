// SPDX-License-Identifier: GPL-3.0-or-later
// The reply waits' limits: about 1.1 s of silence for the directory, 5.1 s for a picture
// and 10 s for a snapshot, and 60 s in all however long bytes of the reply keep coming.
// A reply later than usual but inside its limit is taken; no reply ends the wait within a
// few seconds of its limit, whatever else the line carries.
#include <atomic>
#include <functional>
#include <thread>

#include "command_fixture.h"
#include "commands/command_codes.h"
#include "link/frame.h"

namespace dm::test {
namespace {

class WaitLimitTest : public CommandTest {
  protected:
    void TearDown() override {
        CommandTest::TearDown();
        stopAnswering_ = true;
        if (answerer_.joinable()) {
            answerer_.join();
        }
    }

    // Once `writes` requests have been written, waits `after` and answers.
    void AnswerAfter(std::size_t writes, std::chrono::milliseconds after,
                     std::function<void()> answer) {
        answerer_ = std::thread([this, writes, after, answer = std::move(answer)] {
            if (port_.WaitForWrites(writes, 20s)) {
                std::this_thread::sleep_for(after);
                answer();
            }
        });
    }

    void AnswerDirectory(const std::vector<frame::DirectoryEntry>& entries) {
        FillDirectory(entries);
        state_.transferStatus.store(kTransferDone, std::memory_order_release);
    }

    std::thread answerer_;
    std::atomic<bool> stopAnswering_{false};
};

TEST_F(WaitLimitTest, DirectoryAnsweredAfterHalfASecondIsTaken) {
    window_.SetMessage(message::kDirectoryEmpty, QStringLiteral("Empty"));
    AnswerAfter(1, 500ms, [this] { AnswerDirectory({}); });
    Run(command::kDownloadAll);
    EXPECT_EQ(window_.Calls(), (std::vector<std::string>{"ClearRows", "ShowInfo Empty"}));
}

// Bytes that are no part of a reply (live frames draining, the microscope's own probes,
// garbage) come every 100 ms: they are no reason to wait on.
TEST_F(WaitLimitTest, UnansweredDirectoryIsGivenUpWithinSecondsOnABusyLine) {
    window_.SetMessage(message::kNoDirectoryReply, QStringLiteral("No reply"));
    AnswerAfter(1, 0ms, [this] {
        while (!stopAnswering_) {
            port_.AddBytesReceived(1);
            std::this_thread::sleep_for(100ms);
        }
    });
    Run(command::kDownloadAll, 5s);
    stopAnswering_ = true;
    EXPECT_TRUE(Contains(window_.Calls(), "ShowError No reply"));
}

// The hard limit is a backstop for a line that never falls silent, far beyond any frame.
TEST_F(WaitLimitTest, AReplyStillFlowingAfterSevenSecondsIsWaitedFor) {
    window_.SetMessage(message::kDirectoryEmpty, QStringLiteral("Empty"));
    AnswerAfter(1, 0ms, [this] {
        for (int i = 0; i < 70; ++i) {
            state_.replyProgress += 1;
            std::this_thread::sleep_for(100ms);
        }
        AnswerDirectory({});
    });
    Run(command::kDownloadAll);
    EXPECT_EQ(window_.Calls(), (std::vector<std::string>{"ClearRows", "ShowInfo Empty"}));
}

TEST_F(WaitLimitTest, ALineThatNeverFallsSilentIsGivenUpWithinAMinuteAndAHalf) {
    window_.SetMessage(message::kNoDirectoryReply, QStringLiteral("No reply"));
    AnswerAfter(1, 0ms, [this] {
        while (!stopAnswering_) {  // a reply that flows without end
            state_.replyProgress += 1;
            std::this_thread::sleep_for(100ms);
        }
    });
    Run(command::kDownloadAll, 90s);
    stopAnswering_ = true;
    EXPECT_TRUE(Contains(window_.Calls(), "ShowError No reply"));
}

TEST_F(WaitLimitTest, PictureAnsweredAfterTwoSecondsIsTaken) {
    const std::vector<frame::DirectoryEntry> entries{{frame::MakeInfo(7, 0), 100}};
    AnswerAfter(1, 0ms, [this, entries] {
        AnswerDirectory(entries);
        if (port_.WaitForWrites(2, 20s)) {
            std::this_thread::sleep_for(2s);
            DeliverPicture(entries[0]);
            state_.transferStatus.store(kTransferDone, std::memory_order_release);
        }
    });
    Run(command::kDownloadAll);
    ASSERT_EQ(pictures_.Count(), 1);
    EXPECT_FALSE(pictures_.StreamAt(0).isEmpty()) << "the picture came inside its wait";
}

TEST_F(WaitLimitTest, SnapshotAnsweredAfterTwoSecondsIsWaitedFor) {
    std::atomic<bool> readyBeforeAnswer{true};
    AnswerAfter(1, 2s, [this, &readyBeforeAnswer] {
        readyBeforeAnswer = window_.WaitForCall("ApplyButtonSet Ready", 0ms);
        state_.transferStatus.store(kTransferDone, std::memory_order_release);
    });
    window_.QueueAnswer(false);
    state_.snapshotRequest = kSnapshotRequestWaiting;
    Run(command::kSnapshot);
    EXPECT_FALSE(readyBeforeAnswer) << "the snapshot command went on before its picture";
}

TEST_F(WaitLimitTest, UnansweredSnapshotIsGivenUpWithinSeconds) {
    window_.QueueAnswer(false);
    state_.snapshotRequest = kSnapshotRequestWaiting;
    Run(command::kSnapshot, 15s);
    EXPECT_TRUE(window_.WaitForCall("AskWarning", 0ms)) << "named and asked anyway";
}

// With a period of an hour only the data thread's report can end the wait: a wait that
// polled would sit out the period.
TEST_F(WaitLimitTest, AWaitEndsWhenTheReplyIsReportedAndAtOnceWhenTheLinkIsLost) {
    constexpr auto kHour = std::chrono::hours(1);
    for (const bool lost : {false, true}) {
        SCOPED_TRACE(lost ? "link lost" : "reply reported");
        state_.transferStatus.store(kTransferPending);
        std::thread reporter([&] {
            std::this_thread::sleep_for(50ms);
            if (lost) {
                state_.linkLost.store(true);
            } else {
                state_.transferStatus.store(kTransferDone);
            }
            state_.replies.Ring();
        });
        EXPECT_EQ(commands_.WaitForTransfer(kHour, 1), !lost);
        reporter.join();
    }
    EXPECT_FALSE(state_.abandonReply.load()) << "nothing to abandon once the link is gone";
}

}  // namespace
}  // namespace dm::test
