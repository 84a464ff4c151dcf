// SPDX-License-Identifier: GPL-3.0-or-later
// Download all, delete selected and delete all against a simulated data thread.
#include <QFile>
#include <algorithm>
#include <atomic>
#include <thread>

#include "command_fixture.h"
#include "commands/command_codes.h"
#include "link/frame.h"

namespace dm::test {
namespace {

using frame::DirectoryEntry;
using frame::MakeInfo;

std::vector<DirectoryEntry> Entries(int count) {
    std::vector<DirectoryEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back(
            {MakeInfo(static_cast<uint32_t>(100 + i), 0x05), static_cast<uint32_t>(1000 + i)});
    }
    return entries;
}

std::vector<int> Without0(std::vector<int> values) {
    values.erase(values.begin());  // the 0 the bar starts from
    return values;
}

class DownloadTest : public CommandTest {};

TEST_F(DownloadTest, FourPicturesMoveTheBarInFifthsOfEighty) {
    AnswerDownloads(Entries(4));
    Run(command::kDownloadAll);
    EXPECT_EQ(Without0(window_.ProgressValues()), (std::vector<int>{20, 40, 60, 80}));
    EXPECT_EQ(pictures_.Count(), 4);
    EXPECT_TRUE(state_.downloadFinished.load());
    const auto calls = window_.Calls();
    EXPECT_TRUE(Contains(calls, "ApplyButtonSet Busy"));
    EXPECT_TRUE(Contains(calls, "SetEnabled CameraBtn off"));
    EXPECT_EQ(port_.WrittenHex().front(), "F8 21 00 00");
    EXPECT_EQ(port_.WrittenHex()[1], "F8 22 04 00 64 00 00 00");  // number only, no zoom
}

TEST_F(DownloadTest, ThreePicturesMoveTheBarTo26And53And80) {
    AnswerDownloads(Entries(3));
    Run(command::kDownloadAll);
    EXPECT_EQ(Without0(window_.ProgressValues()), (std::vector<int>{26, 53, 80}));
}

TEST_F(DownloadTest, RowsShowNumberSizeAndMagnification) {
    AnswerDownloads({{0x0500000C, 23456}, {MakeInfo(7, 0x35), 5}, {MakeInfo(8, 0x70), 6}});
    Run(command::kDownloadAll);
    const auto rows = window_.Rows();
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0].name, "00000012.jpg");
    EXPECT_EQ(rows[0].size, "00023456");
    EXPECT_EQ(rows[0].zoom, "12");  // range 0, step 5
    EXPECT_EQ(rows[1].zoom, "48");  // range 3: always 48
    EXPECT_EQ(rows[2].zoom, "");    // range 7 has no magnification
    EXPECT_EQ(port_.WrittenHex()[1], "F8 22 04 00 0C 00 00 00");
}

TEST_F(DownloadTest, EmptyDirectoryEmptiesListAndSaysSo) {
    window_.SetMessage(8, "No pictures");
    const uint8_t old[1] = {1};
    pictures_.AppendPicture(1, old, 1);
    AnswerDownloads({});
    Run(command::kDownloadAll);
    const auto calls = window_.Calls();
    EXPECT_EQ(calls, (std::vector<std::string>{"ClearRows", "ShowInfo No pictures"}));
    EXPECT_EQ(pictures_.Count(), 0);
    EXPECT_FALSE(state_.downloadFinished.load());
}

TEST_F(DownloadTest, NoDirectoryReplyIsAnErrorAndLeavesTheListAlone) {
    window_.SetMessage(9, "No reply");
    window_.AddRow({"old", "1", "2"});
    window_.ClearCalls();
    AnswerDownloads(Entries(2), {}, kTransferPending);
    Run(command::kDownloadAll);
    EXPECT_EQ(window_.Calls(), (std::vector<std::string>{"ShowError No reply"}));
    EXPECT_EQ(window_.RowCount(), 1);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 21 00 00"}));
}

TEST_F(DownloadTest, AMicroscopeHoldingMoreThanTheListKeepsIsSaidSo) {
    state_.directory.SetAnnounced(200);  // as the data thread keeps it
    AnswerDownloads(Entries(3));
    Run(command::kDownloadAll);
    EXPECT_TRUE(window_.WaitForCall("ShowInfo 3 of 200 pictures listed", 0ms));
    EXPECT_EQ(window_.RowCount(), 3);
}

TEST_F(DownloadTest, StalledDirectoryIsReportedAndChangesNoRow) {
    AnswerDownloads(Entries(2), {}, kTransferTimedOut);
    Run(command::kDownloadAll);
    EXPECT_EQ(window_.Calls(),
              (std::vector<std::string>{
                  "ShowError " + window_.Message(message::kDirectoryIncomplete).toStdString()}));
    EXPECT_EQ(port_.Writes().size(), 1U);
}

// A reply still arriving is waited for however long it takes; silence ends the wait.
TEST_F(DownloadTest, DirectoryWaitLastsWhileBytesArriveAndEndsAfterSilence) {
    std::atomic<bool> lineDone{false};
    std::thread line([&] {
        for (int i = 0; i < 25; ++i) {  // 2.5 s of a reply, beyond the 1.1 s limit
            state_.replyProgress += 1;
            std::this_thread::sleep_for(100ms);
        }
        lineDone = true;
    });
    Run(command::kDownloadAll);
    const bool endedAfterTheLine = lineDone;
    line.join();
    EXPECT_TRUE(endedAfterTheLine) << "the wait ended while bytes were still arriving";
    EXPECT_TRUE(window_.WaitForCall(
        "ShowError " + window_.Message(message::kNoDirectoryReply).toStdString(), 0ms));
}

// A picture that never arrives still gets its record, so record i stays row i and a
// delete of a later row names that row's own picture.
TEST_F(DownloadTest, MissingPictureKeepsListAlignedWithRows) {
    const auto entries = Entries(3);
    AnswerDownloads(entries, {frame::PictureNumber(entries[1].info)});
    Run(command::kDownloadAll);
    ASSERT_EQ(pictures_.Count(), 3);
    EXPECT_EQ(pictures_.InfoAt(1), entries[1].info);
    EXPECT_TRUE(pictures_.StreamAt(1).isEmpty());
    EXPECT_EQ(pictures_.InfoAt(2), entries[2].info);
    EXPECT_FALSE(pictures_.StreamAt(2).isEmpty());

    port_.ClearWrites();
    window_.SetSelectedRow(2);
    Run(command::kDeleteSelected);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 23 04 00 66 00 00 05"}));
}

// A picture that turns up after its wait ended must not slide into the next row.
TEST_F(DownloadTest, LatePictureDoesNotTakeTheNextRow) {
    const auto entries = Entries(3);
    AnswerDownloads(entries, {}, kTransferDone, {frame::PictureNumber(entries[1].info)});
    Run(command::kDownloadAll);
    ASSERT_EQ(pictures_.Count(), 3);
    EXPECT_TRUE(pictures_.StreamAt(1).isEmpty()) << "row 1's picture came too late";
    EXPECT_EQ(pictures_.InfoAt(2), entries[2].info);
    EXPECT_FALSE(pictures_.StreamAt(2).isEmpty());
    EXPECT_EQ(state_.pictureClaim.load(), kClaimClosed)
        << "after the download no picture is added to any row";
}

class DeleteTest : public CommandTest {
  protected:
    // Three downloaded pictures, their rows and their scratch pictures.
    void SetUp() override {
        entries_ = {
            {0x0500000C, 10}, {MakeInfo(13, 1), 11}, {MakeInfo(14, 2), 12}, {MakeInfo(15, 3), 13}};
        FillDirectory(entries_);
        for (int i = 0; i < 3; ++i) {
            const uint8_t jpeg[1] = {static_cast<uint8_t>(i)};
            pictures_.AppendPicture(entries_[i].info, jpeg, 1);
            window_.AddRow({QString::number(i), "", ""});
            QFile scratch(commands_.ScratchPicturePath(frame::PictureNumber(entries_[i].info)));
            ASSERT_TRUE(scratch.open(QIODevice::WriteOnly));
        }
        state_.memoryFull = true;
        window_.ClearCalls();
    }
    std::vector<DirectoryEntry> entries_;
};

// A delete the microscope never heard of removes nothing here either.
TEST_F(DeleteTest, DeletesWhoseRequestCannotBeWrittenRemoveNothing) {
    port_.FailWritesAfter(0);
    window_.SetSelectedRow(1);
    window_.QueueAnswer(true);
    window_.QueueAnswer(true);
    Run(command::kDeleteSelected);
    Run(command::kDeleteAll);
    const std::string error =
        "ShowError " + window_.Message(message::kRequestNotSent).toStdString();
    const auto calls = window_.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), error), 2);
    EXPECT_EQ(window_.RowCount(), 3);
    EXPECT_EQ(pictures_.Count(), 3);
    EXPECT_EQ(state_.directory.Entry(1).info, entries_[1].info);
    EXPECT_TRUE(
        QFile::exists(commands_.ScratchPicturePath(frame::PictureNumber(entries_[1].info))));
    EXPECT_TRUE(state_.memoryFull.load());
}

TEST_F(DeleteTest, DeletingRowZeroAsksByNumberSendsTheWholeInfoWordAndShiftsTheDirectory) {
    window_.SetMessage(13, "Delete %d?");
    window_.SetSelectedRow(0);
    Run(command::kDeleteSelected);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 23 04 00 0C 00 00 05"}));
    EXPECT_TRUE(Contains(window_.Calls(), "AskOkCancel Delete 12?"));
    EXPECT_TRUE(Contains(window_.Calls(), "RemoveRow 0"));
    EXPECT_EQ(pictures_.Count(), 2);
    EXPECT_EQ(pictures_.InfoAt(0), entries_[1].info);
    EXPECT_EQ(state_.directory.Entry(0).info, entries_[1].info);
    EXPECT_EQ(state_.directory.Entry(1).info, entries_[2].info);
    EXPECT_EQ(state_.directory.Entry(2).info, entries_[3].info);
    EXPECT_FALSE(QFile::exists(commands_.ScratchPicturePath(12)));
    EXPECT_TRUE(QFile::exists(commands_.ScratchPicturePath(13)));
    EXPECT_FALSE(state_.memoryFull.load());
}

TEST_F(DeleteTest, CancelOrNoSelectionDeletesNothing) {
    window_.SetSelectedRow(-1);
    Run(command::kDeleteSelected);
    window_.SetSelectedRow(1);
    window_.QueueAnswer(false);
    Run(command::kDeleteSelected);
    EXPECT_TRUE(port_.Writes().empty());
    EXPECT_EQ(pictures_.Count(), 3);
    EXPECT_TRUE(state_.memoryFull.load());
}

TEST_F(DeleteTest, RowWithoutARecordNamesItsDirectoryEntryNotPictureZero) {
    pictures_.Clear();
    window_.SetSelectedRow(1);
    Run(command::kDeleteSelected);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 23 04 00 0D 00 00 01"}));
}

TEST_F(DeleteTest, DeleteAllClearsPicturesRowsScratchAndMemoryFull) {
    window_.SetMessage(10, "Delete all?");
    Run(command::kDeleteAll);
    EXPECT_EQ(port_.WrittenHex(), (std::vector<std::string>{"F8 24 00 00"}));
    EXPECT_EQ(window_.Calls(), (std::vector<std::string>{"AskOkCancel Delete all?", "ClearRows"}));
    EXPECT_EQ(pictures_.Count(), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(
            QFile::exists(commands_.ScratchPicturePath(frame::PictureNumber(entries_[i].info))));
    }
    EXPECT_FALSE(state_.memoryFull.load());
}

TEST_F(DeleteTest, MalformedQuestionTextsAreShownSafely) {
    const QString longText = QString(500, u'q') + QStringLiteral(" %d");
    window_.SetMessage(13, "%s%s%n");
    window_.SetMessage(10, longText);
    window_.SetSelectedRow(0);
    window_.QueueAnswer(false);
    window_.QueueAnswer(false);
    Run(command::kDeleteSelected);
    Run(command::kDeleteAll);
    EXPECT_EQ(window_.Calls(), (std::vector<std::string>{"AskOkCancel %s%s%n",
                                                         "AskOkCancel " + longText.toStdString()}));
    window_.SetMessage(13, "Remove this picture");  // no conversion at all
    window_.SetSelectedRow(0);
    window_.QueueAnswer(false);
    Run(command::kDeleteSelected);
    EXPECT_TRUE(window_.WaitForCall("AskOkCancel Remove this picture", 0ms));
}

}  // namespace
}  // namespace dm::test
