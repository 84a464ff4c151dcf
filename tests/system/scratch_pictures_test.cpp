// SPDX-License-Identifier: GPL-3.0-or-later
// Scratch pictures across downloads and snapshots: a row shows and saves only the picture
// it received in the current download, and a snapshot never touches a downloaded one.
#include <map>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/picture_box.h"
#include "base/message_numbers.h"
#include "link/frame.h"
#include "support/exif_reader.h"
#include "system/system_fixture.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"

namespace dm::test {
namespace {

// A download whose pictures never come waits out each picture's wait in turn.
constexpr milliseconds kFailedDownloadTimeout{40000};
// The live stream numbers its frames from 1 and the snapshot is taken right after the
// first one is shown, so its number is well within these.
constexpr int kHeldPictures = 16;

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool AllBlack(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            if (rgb.pixelColor(x, y) != QColor(Qt::black)) {
                return false;
            }
        }
    }
    return !rgb.isNull();
}

class ScratchPicturesTest : public SystemTest {
  protected:
    void DeleteRow(int row) {
        const int rows = RowCount();
        ClickRow(row);
        Click("DelBtn");
        ASSERT_TRUE(WaitUntil([&] { return RowCount() == rows - 1 && session->CommandsIdle(); }))
            << DebugState();
    }
    QString NotReceivedText() const { return form->Message(message::kNotReceivedColumn); }
};

TEST_F(ScratchPicturesTest, EachDownloadShowsAndSavesOnlyWhatItReceived) {
    vm::Options options;
    options.pictures = 4;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    ASSERT_EQ(RowCount(), 4);
    ASSERT_NO_FATAL_FAILURE(DeleteRow(2));
    ASSERT_NO_FATAL_FAILURE(DeleteRow(1));
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    ASSERT_EQ(RowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        EXPECT_NE(Row(row)[1], NotReceivedText());
    }
    // What this download left behind, for the next one to ignore.
    const QString stale = ScratchPicturePath(ScratchFolder(), frame::MakeInfo(1, 0));
    ASSERT_TRUE(QFileInfo::exists(stale));

    microscope->SetFaults({.stallPayload = true});
    Click("DownloadBtn");
    const QString incomplete = form->Message(message::kDownloadIncomplete).arg(0).arg(2);
    ASSERT_TRUE(WaitUntil([&] { return BoxesWithText(incomplete) == 1; }, kFailedDownloadTimeout))
        << DebugState();
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }));
    EXPECT_EQ(BoxesWithMessage(message::kDownloadFinished), 2);
    ASSERT_EQ(RowCount(), 2);

    const QString notReceived = form->Message(message::kPictureNotReceived);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(Row(row)[1], NotReceivedText()) << "row " << row;
        ClickRow(row);
        EXPECT_TRUE(WaitUntil([&] { return BoxesWithText(notReceived) == 2 * row + 1; }));
        EXPECT_TRUE(AllBlack(form->Image4()->Picture())) << "row " << row;

        const QString target = QDir(OutputFolder()).filePath(QStringLiteral("row.jpg"));
        dialogs.QueueFile({target, 1});
        Click("SaveBtn");
        EXPECT_TRUE(WaitUntil([&] { return BoxesWithText(notReceived) == 2 * row + 2; }));
        EXPECT_FALSE(QFileInfo::exists(target));
        dialogs.fileAnswers.clear();
    }
    EXPECT_TRUE(dialogs.files.empty()) << "a save dialog opened for a picture never received";

    const QString all = QDir(OutputFolder()).filePath(QStringLiteral("all"));
    ASSERT_TRUE(QDir().mkpath(all));
    dialogs.QueueFile({QDir(all).filePath(QStringLiteral("x.jpg")), 1});
    Click("SaveAllBtn");
    const QString summary = form->Message(message::kSaveAllSummary).arg(0).arg(2).arg(0);
    EXPECT_TRUE(WaitUntil([&] { return BoxesWithText(summary) == 1; })) << DebugState();
    EXPECT_TRUE(QDir(all).entryList(QDir::Files).isEmpty());

    const QString runFolder = RunFolder();
    form->close();
    EXPECT_FALSE(QFileInfo::exists(runFolder));
    EXPECT_TRUE(QDir(ScratchRoot()).exists());
}

TEST_F(ScratchPicturesTest, ASnapshotLeavesTheDownloadedPictureOfItsNumberAlone) {
    vm::Options options;
    options.pictures = kHeldPictures;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    const std::vector<vm::StoredPicture> held = microscope->Pictures();
    std::map<uint32_t, QImage> downloaded;
    for (const vm::StoredPicture& picture : held) {
        downloaded[frame::PictureNumber(picture.info)] =
            LoadScratchPicture(ScratchPicturePath(ScratchFolder(), picture.info));
    }

    const QImage before = form->Image3()->Picture();
    Click("CameraBtn");
    ASSERT_TRUE(WaitUntil([&] { return !SamePixels(form->Image3()->Picture(), before); }));
    const QString snapshot = QDir(OutputFolder()).filePath(QStringLiteral("snap.jpg"));
    dialogs.QueueAnswer(true);
    dialogs.QueueFile({snapshot, 1});
    uint32_t liveNumber = 0;
    dialogs.onFileDialog = [&](const FileRequest&) {
        liveNumber = frame::PictureNumber(form->State().currentPictureInfo.load());
    };
    Click("SnapShotBtn");
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(snapshot); })) << DebugState();
    ASSERT_TRUE(WaitUntil([&] { return Button("SnapShotBtn")->isEnabled(); }));
    ASSERT_EQ(downloaded.count(liveNumber), 1u)
        << "live picture " << liveNumber << " is no downloaded one: the test proves nothing";

    Click("CameraBtn");  // off: the list can be used again
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }));
    int row = 0;
    while (row < RowCount() && Row(row).first() != DefaultJpegFileName(liveNumber)) {
        ++row;
    }
    ASSERT_LT(row, RowCount());
    const QImage expected = downloaded[liveNumber];
    ClickRow(row);
    ASSERT_TRUE(WaitUntil([&] { return SamePixels(form->Image4()->Picture(), expected); }))
        << DebugState();

    const QString saved = QDir(OutputFolder()).filePath(QStringLiteral("row.jpg"));
    dialogs.QueueFile({saved, 1});
    Click("SaveBtn");
    EXPECT_EQ(test::CompressedPart(ReadFile(saved)),
              test::CompressedPart(EncodeJpegStream(expected, kSingleSaveJpegQuality)));
    for (const BoxRequest& box : dialogs.boxes) {
        EXPECT_NE(box.icon, BoxIcon::Error) << box.text.toStdString();
    }
}

}  // namespace
}  // namespace dm::test
