// SPDX-License-Identifier: GPL-3.0-or-later
// A snapshot taken while the camera streams: the wire, the two questions, the file.
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/picture_box.h"
#include "link/frame.h"
#include "system/system_fixture.h"
#include "view/jpeg_codec.h"

namespace dm::test {
namespace {

constexpr int kSaveQuestion = 16;

QString FirstSnapshotName(const QDate& date) {
    return QStringLiteral("P%1_1.jpg").arg(date.toString(QStringLiteral("yyyyMMdd")));
}

class SnapshotTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartConnected());
        const std::size_t from = FrameCount();
        const QImage before = form->Image3()->Picture();
        Click("CameraBtn");
        ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOn), from));
        ASSERT_TRUE(WaitUntil([&] { return !SamePixels(form->Image3()->Picture(), before); }));
    }
};

TEST_F(SnapshotTest, StopsTheStreamTakesThePictureAsksAndSavesItThenStreamsAgain) {
    const QString path = QDir(OutputFolder()).filePath(QStringLiteral("snap.jpg"));
    dialogs.QueueAnswer(true);
    dialogs.QueueFile({path, 1});
    bool cameraOnBeforeSaveDialog = true;
    bool getSnapshotBeforeQuestion = false;
    const QDate day = QDate::currentDate();
    const std::size_t from = FrameCount();
    dialogs.onBox = [&](const BoxRequest&) {
        getSnapshotBeforeQuestion = FindFrame(Frame(frame::kGetSnapshot, 1), from).has_value();
    };
    dialogs.onFileDialog = [&](const FileRequest&) {
        cameraOnBeforeSaveDialog = FindFrame(Frame(frame::kCameraOn), from).has_value();
    };

    Click("SnapShotBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOff), from));
    EXPECT_FALSE(Button("SnapShotBtn")->isEnabled());
    ASSERT_TRUE(WaitForFrame(Frame(frame::kGetSnapshot, 1), from));
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOn), from));
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(path); }));

    EXPECT_EQ(FramesFrom(from),
              (std::vector<std::string>{"F8 2A 00 00", "F8 28 01 00", "F8 29 00 00"}));
    EXPECT_TRUE(getSnapshotBeforeQuestion);
    EXPECT_FALSE(cameraOnBeforeSaveDialog) << "the stream came back before the user chose";

    ASSERT_EQ(dialogs.boxes.size(), 2u);  // the connection box, then the question
    const BoxRequest& question = dialogs.boxes.back();
    EXPECT_EQ(question.caption, QStringLiteral("Warning"));
    EXPECT_EQ(question.text, form->Message(kSaveQuestion));
    EXPECT_EQ(question.buttons, BoxButtons::OkCancel);
    EXPECT_EQ(question.icon, BoxIcon::None);
    ASSERT_EQ(dialogs.files.size(), 1u);
    EXPECT_EQ(dialogs.files.back().mode, FileDialogMode::Save);
    const QString offered = dialogs.files.back().fileName;
    EXPECT_TRUE(offered == FirstSnapshotName(day) ||
                offered == FirstSnapshotName(QDate::currentDate()))
        << offered.toStdString();

    EXPECT_EQ(DecodeJpegFile(path).size(), QSize(320, 240));
    EXPECT_EQ(FilesUnder(RunFolder()), QStringList()) << "the snapshot's scratch picture stayed";
    EXPECT_TRUE(WaitUntil([&] { return microscope->IsStreaming(); }));
    EXPECT_TRUE(Button("SnapShotBtn")->isEnabled());
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_TRUE(ShowsGlyph(Button("CameraBtn"), QStringLiteral("Camera-Off.bmp")));
    EXPECT_EQ(session->Snapshots().Count(), 1);
}

TEST_F(SnapshotTest, ASnapshotNamedPngIsWrittenAsPng) {
    const QString path = QDir(OutputFolder()).filePath(QStringLiteral("snap.png"));
    dialogs.QueueAnswer(true);
    dialogs.QueueFile({path, 3});
    Click("SnapShotBtn");
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(path); })) << DebugState();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(4), QByteArray("\x89PNG", 4));
    EXPECT_EQ(QImage(path, "png").size(), QSize(320, 240));
}

// Keys clicked while the snapshot runs wait their turn: the snapshot still asks its
// question, every key goes out, and the Camera button works afterwards.
TEST_F(SnapshotTest, KeysClickedDuringASnapshotAreSentAndTheSnapshotCompletes) {
    dialogs.QueueAnswer(false);
    const std::size_t from = FrameCount();
    Click("SnapShotBtn");
    Click("ZoomInBtn");
    Click("DownBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kGetSnapshot, 1), from)) << DebugState();
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOn), from)) << DebugState();
    const auto frames = FramesFrom(from);
    const std::vector<std::string> keysThenSnapshot{"F8 2A 00 00", "F8 48 00 00", "F8 45 00 00",
                                                    "F8 28 01 00", "F8 29 00 00"};
    EXPECT_EQ(std::vector<std::string>(frames.begin(), frames.begin() + 5), keysThenSnapshot);
    EXPECT_EQ(BoxesWithMessage(kSaveQuestion), 1);

    ASSERT_TRUE(WaitUntil([&] { return Button("SnapShotBtn")->isEnabled(); }));
    const std::size_t off = FrameCount();
    Click("CameraBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOff), off)) << DebugState();
    EXPECT_FALSE(form->State().cameraOn.load());
    EXPECT_TRUE(WaitUntil([&] { return ReadySet(); }));
}

TEST_F(SnapshotTest, DecliningTheQuestionSavesNothingAndStreamsAgain) {
    dialogs.QueueAnswer(false);
    const std::size_t from = FrameCount();
    Click("SnapShotBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOn), from));
    EXPECT_EQ(FramesFrom(from),
              (std::vector<std::string>{"F8 2A 00 00", "F8 28 01 00", "F8 29 00 00"}));
    EXPECT_TRUE(dialogs.files.empty());
    EXPECT_TRUE(WaitUntil([&] { return Button("SnapShotBtn")->isEnabled(); }));
    EXPECT_EQ(FilesUnder(RunFolder()), QStringList());
    EXPECT_TRUE(QDir(OutputFolder()).entryList(QDir::Files).isEmpty());

    // The next snapshot is number 2.
    dialogs.QueueAnswer(true);
    const std::size_t second = FrameCount();
    Click("SnapShotBtn");
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOn), second));
    ASSERT_EQ(dialogs.files.size(), 1u);
    EXPECT_TRUE(dialogs.files.back().fileName.endsWith(QStringLiteral("_2.jpg")))
        << dialogs.files.back().fileName.toStdString();
}

}  // namespace
}  // namespace dm::test
