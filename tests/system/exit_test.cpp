// SPDX-License-Identifier: GPL-3.0-or-later
// The three ways out, the scratch pictures they remove, and leaving while a worker waits
// on a box that the user never closes.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QTimer>

#include "link/frame.h"
#include "system/system_fixture.h"
#include "view/picture_files.h"

namespace dm::test {
namespace {

const Bytes kDisconnect = Frame(frame::kDisconnect);
constexpr int kDownloadedMessage = 7;
constexpr int kDeleteAllQuestion = 10;
const QString kMemoryFullText = QStringLiteral("Memory full");

class ExitTest : public SystemTest {
  protected:
    // Connected, with the pictures downloaded: their scratch pictures exist.
    void StartWithPictures(vm::Options options = {}) {
        ASSERT_NO_FATAL_FAILURE(StartConnected(options));
        ASSERT_NO_FATAL_FAILURE(DownloadAll());
        for (const vm::StoredPicture& picture : microscope->Pictures()) {
            scratch.push_back(ScratchPicturePath(ScratchFolder(), picture.info));
            ASSERT_TRUE(QFileInfo::exists(scratch.back())) << scratch.back().toStdString();
        }
    }

    bool AnyScratchPictureLeft() const {
        for (const QString& path : scratch) {
            if (QFileInfo::exists(path)) {
                return true;
            }
        }
        return false;
    }

    // Closes the window as soon as the box opens, from its own event loop.
    void CloseWindowWhenOpened(const QString& text) {
        dialogs.holdIf = [text](const BoxRequest& box) { return box.text == text; };
        dialogs.onBox = [this, text](const BoxRequest& box) {
            if (box.text == text) {
                QTimer::singleShot(0, form.get(), [this] { form->close(); });
            }
        };
    }

    std::vector<QString> scratch;
};

TEST_F(ExitTest, TheCloseBoxSendsTheDisconnectFrameOnceAndKeepsThePortOpen) {
    ASSERT_NO_FATAL_FAILURE(StartWithPictures());
    const std::size_t from = FrameCount();
    form->close();
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(WaitForFrame(kDisconnect, from));
    EXPECT_TRUE(session->Port().IsOpen()) << "the close box does not close the port";
    EXPECT_FALSE(AnyScratchPictureLeft());
    EXPECT_FALSE(QFileInfo::exists(RunFolder()));
    EXPECT_TRUE(QDir(ScratchRoot()).exists());

    form->close();  // a second close runs no exit steps
    session.reset();
    KeepRunning();
    EXPECT_EQ(CountFrames(kDisconnect, from), 1);
    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{"F8 12 00 00"});
}

TEST_F(ExitTest, ExitFromTheFileMenuSendsTheDisconnectFrameAndClosesThePort) {
    ASSERT_NO_FATAL_FAILURE(StartWithPictures());
    const std::size_t from = FrameCount();
    Find<QAction>(*form, "Exit1")->trigger();
    EXPECT_FALSE(session->Port().IsOpen());
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(WaitForFrame(kDisconnect, from));
    EXPECT_FALSE(AnyScratchPictureLeft());
    EXPECT_FALSE(QFileInfo::exists(RunFolder()));
    EXPECT_TRUE(QDir(ScratchRoot()).exists());

    EndAll();
    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{"F8 12 00 00"});
}

TEST_F(ExitTest, TheExitButtonSendsTheDisconnectFrameAndClosesThePort) {
    ASSERT_NO_FATAL_FAILURE(StartWithPictures());
    const std::size_t from = FrameCount();
    Click("ExitBtn");
    EXPECT_FALSE(session->Port().IsOpen());
    EXPECT_FALSE(form->isVisible());
    ASSERT_TRUE(WaitForFrame(kDisconnect, from));
    EXPECT_FALSE(AnyScratchPictureLeft());
    EXPECT_FALSE(QFileInfo::exists(RunFolder()));
    EXPECT_TRUE(QDir(ScratchRoot()).exists());

    EndAll();
    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{"F8 12 00 00"});
}

// The close box while the camera streams: the stream is not switched off after the
// disconnect frame, which is the last frame on the wire.
TEST_F(ExitTest, LeavingWhileTheCameraStreamsEndsEverything) {
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    Click("CameraBtn");
    ASSERT_TRUE(WaitUntil([&] { return microscope->IsStreaming(); }));
    const std::size_t from = FrameCount();
    form->close();
    ASSERT_TRUE(WaitForFrame(kDisconnect, from));
    session.reset();  // joins the camera command, which was polling its code
    KeepRunning();
    EXPECT_FALSE(microscope->IsStreaming());
    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{"F8 12 00 00"});
}

TEST_F(ExitTest, AMemoryFullBoxLeftOpenDoesNotHoldUpTheExit) {
    vm::Options options;
    options.pictures = 2;
    options.maxPictures = 2;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    dialogs.QueueFile(
        {WriteJpegFile(QStringLiteral("upload.jpg"), QSize(32, 24), Qt::gray, 90), 1});
    CloseWindowWhenOpened(kMemoryFullText);
    const std::size_t from = FrameCount();
    Click("UploadBtn");
    ASSERT_TRUE(WaitUntil([&] { return !form->isVisible(); }))
        << "the memory-full box never opened" << DebugState();
    EXPECT_EQ(BoxesWithText(kMemoryFullText), 1);
    EXPECT_EQ(dialogs.boxes.back().icon, BoxIcon::Error);

    session.reset();  // joins the data thread, which the box held
    EXPECT_EQ(dialogs.HeldBoxes(), 0);
    EXPECT_EQ(microscope->Pictures().size(), 2u);
    ASSERT_TRUE(WaitForFrame(kDisconnect, from));
    KeepRunning();
    EXPECT_EQ(CountFrames(kDisconnect, from), 1);
}

TEST_F(ExitTest, ADownloadBoxLeftOpenDoesNotHoldUpTheExit) {
    vm::Options options;
    options.pictures = 2;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    CloseWindowWhenOpened(form->Message(kDownloadedMessage));
    const QString runFolder = RunFolder();
    Click("DownloadBtn");
    ASSERT_TRUE(WaitUntil([&] { return !form->isVisible(); })) << DebugState();
    EXPECT_EQ(BoxesWithMessage(kDownloadedMessage), 1);
    session.reset();
    EXPECT_EQ(dialogs.HeldBoxes(), 0);
    // The exit clean-up ran after the conversion had written the scratch pictures.
    EXPECT_FALSE(QFileInfo::exists(runFolder));
    EXPECT_TRUE(QDir(ScratchRoot()).exists());
}

TEST_F(ExitTest, AQuestionLeftOpenOnTheCommandThreadCountsAsCancel) {
    ASSERT_NO_FATAL_FAILURE(StartWithPictures());
    CloseWindowWhenOpened(form->Message(kDeleteAllQuestion));
    const std::size_t from = FrameCount();
    Click("DelAllBtn");
    ASSERT_TRUE(WaitUntil([&] { return !form->isVisible(); })) << DebugState();
    ASSERT_TRUE(WaitForFrame(kDisconnect, from));
    session.reset();  // joins the command thread, released with Cancel
    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{"F8 12 00 00"});
    EXPECT_EQ(microscope->Pictures().size(), static_cast<std::size_t>(vm::kDefaultPictures));
}

TEST_F(ExitTest, StartUpRemovesTheScratchFoldersOfRunsThatAreGoneOnly) {
    const QDir root(CacheFolder());
    ASSERT_TRUE(root.mkpath(QStringLiteral("run-1/downloads")));  // its run died
    ASSERT_TRUE(root.mkpath(QStringLiteral("run-2/downloads")));
    QLockFile otherCopy(root.filePath(QStringLiteral("run-2.lock")));  // still running
    ASSERT_TRUE(otherCopy.tryLock(0));
    ASSERT_NO_FATAL_FAILURE(StartConnected());
    EXPECT_FALSE(root.exists(QStringLiteral("run-1")));
    EXPECT_TRUE(root.exists(QStringLiteral("run-2/downloads")));
    const QString runFolder = RunFolder();
    EXPECT_TRUE(QFileInfo(runFolder).isDir());

    Click("ExitBtn");
    EXPECT_FALSE(QFileInfo::exists(runFolder));
    EXPECT_TRUE(root.exists(QStringLiteral("run-2/downloads")));
}

}  // namespace
}  // namespace dm::test
