// SPDX-License-Identifier: GPL-3.0-or-later
// Download all, browsing with overlays, saving, deleting and uploading pictures.
#include <map>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "app/picture_box.h"
#include "link/frame.h"
#include "support/exif_reader.h"
#include "system/system_fixture.h"
#include "view/jpeg_codec.h"
#include "view/magnification.h"
#include "view/picture_files.h"

namespace dm::test {
namespace {

constexpr int kPictures = 3;
constexpr int kDownloadedMessage = 7;
constexpr int kDeleteAllQuestion = 10;
constexpr int kUploadedMessage = 12;
constexpr int kDeleteOneQuestion = 13;

QString ListName(uint32_t info) {
    return QStringLiteral("%1.jpg").arg(frame::PictureNumber(info), 8, 10, QLatin1Char('0'));
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class PicturesTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        vm::Options options;
        options.pictures = kPictures;
        ASSERT_NO_FATAL_FAILURE(StartConnected(options));
        held = microscope->Pictures();
        ASSERT_EQ(held.size(), static_cast<std::size_t>(kPictures));
    }

    QString Scratch(uint32_t info) const { return ScratchPicturePath(ScratchFolder(), info); }
    QImage ScratchPicture(uint32_t info) const { return LoadScratchPicture(Scratch(info)); }

    std::vector<vm::StoredPicture> held;
};

TEST_F(PicturesTest, DownloadAllListsEveryPictureAndPreparesItsScratchPicture) {
    int progressAtBox = -1;
    dialogs.onBox = [&](const BoxRequest& box) {
        if (box.text == form->Message(kDownloadedMessage)) {
            progressAtBox = Progress()->value();
        }
    };
    observed->ClearProgressValues();
    const std::size_t from = FrameCount();
    ASSERT_NO_FATAL_FAILURE(DownloadAll());

    std::vector<std::string> expectedWire{"F8 21 00 00"};
    for (const vm::StoredPicture& picture : held) {
        expectedWire.push_back(
            Hex(FrameWithWord(frame::kPictureRequest, frame::PictureNumber(picture.info))));
    }
    EXPECT_EQ(FramesFrom(from), expectedWire);

    ASSERT_EQ(RowCount(), kPictures);
    for (int i = 0; i < kPictures; ++i) {
        const uint32_t info = held[i].info;
        const auto magnification = ZoomCodeToMagnification(frame::ZoomCode(info));
        EXPECT_EQ(
            Row(i),
            (QStringList{ListName(info),
                         QStringLiteral("%1").arg(held[i].jpeg.size(), 8, 10, QLatin1Char('0')),
                         magnification ? QString::number(*magnification) : QString()}))
            << "row " << i;
        const QImage scratch = ScratchPicture(info);
        EXPECT_EQ(scratch.size(), QSize(320, 240)) << Scratch(info).toStdString();
    }
    EXPECT_EQ(observed->ProgressValues(),
              (std::vector<int>{0, 26, 53, 80, 80, 86, 93, 100, 100, 0}));
    EXPECT_EQ(progressAtBox, 100);
    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_EQ(session->Pictures().Count(), kPictures);
    EXPECT_EQ(dialogs.boxes.back().icon, BoxIcon::Information);
}

// The camera click queues the stream behind the download, which keeps its pictures.
TEST_F(PicturesTest, ACameraClickDuringADownloadLeavesEveryPictureInItsRow) {
    const std::size_t from = FrameCount();
    Click("DownloadBtn");
    Click("CameraBtn");
    ASSERT_TRUE(WaitUntil([&] { return BoxesWithMessage(kDownloadedMessage) == 1; }))
        << DebugState();
    ASSERT_EQ(session->Pictures().Count(), kPictures);
    for (int i = 0; i < kPictures; ++i) {
        EXPECT_EQ(session->Pictures().StreamAt(i), held[i].jpeg) << "row " << i;
    }
    ASSERT_TRUE(WaitForFrame(Frame(frame::kCameraOn), from)) << "the stream follows";
}

TEST_F(PicturesTest, AClickedRowShowsItsPictureAndTheCheckBoxesRedrawIt) {
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    EXPECT_FALSE(form->Image4()->HasPicture());
    ClickRow(1);
    ASSERT_TRUE(WaitUntil([&] { return form->Image4()->HasPicture(); }));
    EXPECT_TRUE(form->Image4()->isVisible());
    const QImage plain = ScratchPicture(held[1].info);
    EXPECT_TRUE(SamePixels(form->Image4()->Picture(), plain)) << "no overlay was asked for";

    auto* ruler = Find<QCheckBox>(*form, "CheckBox1");
    auto* magnification = Find<QCheckBox>(*form, "CheckBox2");
    ruler->click();
    const QImage withRuler = form->Image4()->Picture();
    EXPECT_FALSE(SamePixels(withRuler, plain));
    magnification->click();
    const QImage withBoth = form->Image4()->Picture();
    EXPECT_FALSE(SamePixels(withBoth, withRuler));
    magnification->click();
    EXPECT_TRUE(SamePixels(form->Image4()->Picture(), withRuler));
    ruler->click();
    EXPECT_TRUE(SamePixels(form->Image4()->Picture(), plain)) << "the ruler stayed";

    // Another row, another picture.
    ClickRow(2);
    EXPECT_TRUE(SamePixels(form->Image4()->Picture(), ScratchPicture(held[2].info)));
}

TEST_F(PicturesTest, SaveWritesTheSelectedPictureAsAJpegOfQuality60) {
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    ClickRow(0);
    const QString path = QDir(OutputFolder()).filePath(QStringLiteral("one.jpg"));
    dialogs.QueueFile({path, 1});
    Click("SaveBtn");

    ASSERT_EQ(dialogs.files.size(), 1u);
    const FileRequest& asked = dialogs.files.back();
    EXPECT_EQ(asked.mode, FileDialogMode::Save);
    EXPECT_EQ(asked.fileName, DefaultJpegFileName(held[0].info));
    EXPECT_EQ(asked.defaultSuffix, QStringLiteral("jpg"));

    const QImage saved = DecodeJpegFile(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), QSize(320, 240));
    const QImage scratch = ScratchPicture(held[0].info);
    EXPECT_EQ(test::CompressedPart(ReadFile(path)),
              test::CompressedPart(EncodeJpegStream(scratch, kSingleSaveJpegQuality)));
    EXPECT_NE(test::CompressedPart(ReadFile(path)),
              test::CompressedPart(EncodeJpegStream(scratch, kDefaultJpegQuality)));
}

TEST_F(PicturesTest, SaveAllWritesEveryPictureIntoTheChosenFolderUnderItsOwnName) {
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    const QString folder = QDir(OutputFolder()).filePath(QStringLiteral("all"));
    ASSERT_TRUE(QDir().mkpath(folder));
    dialogs.QueueFile({QDir(folder).filePath(QStringLiteral("typed-name.jpg")), 1});
    Click("SaveAllBtn");

    ASSERT_EQ(dialogs.files.size(), 1u);
    EXPECT_EQ(dialogs.files.back().fileName, DefaultJpegFileName(held[0].info));
    QStringList expected;
    for (const vm::StoredPicture& picture : held) {
        const QString name = DefaultJpegFileName(picture.info);
        expected << name;
        const QString path = QDir(folder).filePath(name);
        EXPECT_EQ(test::CompressedPart(ReadFile(path)),
                  test::CompressedPart(
                      EncodeJpegStream(ScratchPicture(picture.info), kDefaultJpegQuality)))
            << name.toStdString();
        // The scale the ruler shows on screen, worked out by hand for the stored zoom codes;
        // ranges 3 and 15 have a magnification but no ruler, so no scale.
        const std::map<uint8_t, std::pair<std::string, double>> scales = {
            {0x00, {"7X, 1 mm = 57.8 px", 578.125}},
            {0x25, {"52X, 1 mm = 430.2 px", 4302.326}},
            {0x31, {"48X", 0.0}},
            {0xF0, {"255X", 0.0}}};
        const auto& [description, pixelsPerCm] = scales.at(frame::ZoomCode(picture.info));
        auto tags = test::ReadExif(path);
        EXPECT_EQ(tags["Exif.Image.ImageDescription"], description);
        EXPECT_NEAR(test::RationalValue(tags["Exif.Image.XResolution"]), pixelsPerCm, 0.001);
    }
    expected.sort();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
}

TEST_F(PicturesTest, DeleteOneSendsTheInfoWordAndRemovesRowAndScratchPicture) {
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    ClickRow(1);
    const uint32_t info = held[1].info;
    const std::size_t from = FrameCount();
    Click("DelBtn");
    ASSERT_TRUE(WaitUntil([&] { return RowCount() == kPictures - 1; }));
    ASSERT_TRUE(WaitForFrame(Frame(frame::kDeleteRequest, frame::kRequestArgumentSize), from));
    ASSERT_TRUE(WaitUntil([&] { return microscope->Pictures().size() == kPictures - 1u; }));

    EXPECT_EQ(FramesFrom(from),
              std::vector<std::string>{Hex(FrameWithWord(frame::kDeleteRequest, info))});
    const BoxRequest& question = dialogs.boxes.back();
    EXPECT_EQ(question.buttons, BoxButtons::OkCancel);
    // The question names the picture by the number its row shows.
    EXPECT_EQ(question.text,
              form->Message(kDeleteOneQuestion)
                  .replace(QStringLiteral("%d"), QString::number(frame::PictureNumber(info))));
    EXPECT_EQ(Row(0).first(), ListName(held[0].info));
    EXPECT_EQ(Row(1).first(), ListName(held[2].info)) << "the rows below moved up";
    EXPECT_FALSE(QFileInfo::exists(Scratch(info)));
    EXPECT_TRUE(QFileInfo::exists(Scratch(held[0].info)));
    EXPECT_EQ(session->Pictures().Count(), kPictures - 1);
    EXPECT_EQ(microscope->Pictures().size(), static_cast<std::size_t>(kPictures - 1));

    // The row that moved up is shown with its own picture.
    ClickRow(1);
    EXPECT_TRUE(SamePixels(form->Image4()->Picture(), ScratchPicture(held[2].info)));
}

TEST_F(PicturesTest, DeleteOneCancelledSendsNothing) {
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    ClickRow(0);
    dialogs.QueueAnswer(false);
    const std::size_t boxes = dialogs.boxes.size();
    const std::size_t from = FrameCount();
    Click("DelBtn");
    ASSERT_TRUE(WaitUntil([&] { return dialogs.boxes.size() > boxes && session->CommandsIdle(); }));
    KeepRunning();
    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{});
    EXPECT_EQ(RowCount(), kPictures);
    EXPECT_TRUE(QFileInfo::exists(Scratch(held[0].info)));
}

TEST_F(PicturesTest, DeleteAllEmptiesTheListTheScratchPicturesAndTheMicroscope) {
    ASSERT_NO_FATAL_FAILURE(DownloadAll());
    const std::size_t from = FrameCount();
    Click("DelAllBtn");
    ASSERT_TRUE(WaitUntil([&] { return RowCount() == 0 && session->CommandsIdle(); }));
    ASSERT_TRUE(WaitForFrame(Frame(frame::kDeleteAllRequest), from));
    ASSERT_TRUE(WaitUntil([&] { return microscope->Pictures().empty(); }));

    EXPECT_EQ(FramesFrom(from), std::vector<std::string>{"F8 24 00 00"});
    EXPECT_EQ(dialogs.boxes.back().text, form->Message(kDeleteAllQuestion));
    EXPECT_EQ(session->Pictures().Count(), 0);
    for (const vm::StoredPicture& picture : held) {
        EXPECT_FALSE(QFileInfo::exists(Scratch(picture.info)));
    }
    EXPECT_TRUE(QDir(ScratchFolder()).exists());
    EXPECT_EQ(FilesUnder(RunFolder()), QStringList());
    EXPECT_TRUE(microscope->Pictures().empty());
}

TEST_F(PicturesTest, UploadSendsTheChosenPictureAndTheMicroscopeKeepsIt) {
    const QString path =
        WriteJpegFile(QStringLiteral("upload.jpg"), QSize(64, 48), QColor(90, 140, 200), 90);
    dialogs.QueueFile({path, 1});
    observed->ClearProgressValues();
    const std::size_t from = FrameCount();
    Click("UploadBtn");
    ASSERT_TRUE(WaitUntil([&] { return BoxesWithMessage(kUploadedMessage) == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return ReadySet(); }));
    // The microscope stores the picture once its last byte has come through.
    ASSERT_TRUE(WaitUntil([&] { return microscope->Pictures().size() == kPictures + 1u; }));

    const QByteArray stored = microscope->Pictures().back().jpeg;
    EXPECT_EQ(DecodeJpegStream(stored).size(), QSize(320, 240));
    const std::vector<Bytes> frames = microscope->ReceivedFrames();
    ASSERT_EQ(frames.size(), from + 1);
    const Bytes& upload = frames.back();
    ASSERT_GE(upload.size(), frame::kHeaderSize);
    EXPECT_EQ(Hex({upload.begin(), upload.begin() + 2}), "F8 27");
    EXPECT_EQ(frame::ReadLe16(upload.data() + 2), stored.size());
    EXPECT_EQ(upload.size(), frame::kHeaderSize + stored.size());

    const std::vector<int> progress = observed->ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 0);
    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_TRUE(std::find(progress.begin(), progress.end(), 100) != progress.end());
}

}  // namespace
}  // namespace dm::test
