// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/picture_browser.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "support/exif_reader.h"
#include "support/recording_window.h"
#include "view/jpeg_codec.h"
#include "view/overlays.h"
#include "view/picture_files.h"
#include "view/view_test_pictures.h"

namespace dm {
namespace {

class PictureBrowserTest : public ::testing::Test {
  protected:
    // Three downloaded pictures with their scratch pictures; row 3 never arrived (an empty
    // record), though an earlier download left a scratch picture of its number behind.
    void SetUp() override {
        const uint32_t infos[] = {frame::MakeInfo(1, 0x00), frame::MakeInfo(3, 0x25),
                                  frame::MakeInfo(5, 0xF0)};
        state.directory.SetCount(4);
        for (int i = 0; i < 3; ++i) {
            state.directory.SetEntry(i, {infos[i], 100});
            const QByteArray jpeg = test::Jpeg(test::PatternPicture({320, 240}));
            pictures.AppendPicture(infos[i], reinterpret_cast<const uint8_t*>(jpeg.constData()),
                                   static_cast<int32_t>(jpeg.size()));
            const QImage scratch = test::FlatPicture({320, 240}, QColor(40 * i, 90, 200 - 40 * i));
            ASSERT_TRUE(
                SaveScratchPicture(scratch, ScratchPicturePath(scratchDir.path(), infos[i])));
        }
        const uint32_t missing = frame::MakeInfo(9, 0x00);
        state.directory.SetEntry(3, {missing, 100});
        pictures.AppendPicture(missing, nullptr, 0);
        ASSERT_TRUE(SaveScratchPicture(test::FlatPicture({320, 240}, Qt::red),
                                       ScratchPicturePath(scratchDir.path(), missing)));
    }
    QByteArray ScratchAsJpeg(uint32_t number, int quality) {
        return EncodeJpegStream(
            LoadScratchPicture(scratchDir.filePath(QString::number(number) + ".bmp")), quality);
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir scratchDir;
    QTemporaryDir saveDir;
    DeviceState state;
    test::RecordingWindow window;
    IMAGE_BUFFER pictures;
    PictureBrowser browser{state, window, pictures, scratchDir.path()};
};

TEST_F(PictureBrowserTest, AClickWithoutSelectionDoesNothing) {
    browser.ListView1Click();
    browser.SaveBtnClick();
    browser.CheckBox1Click();
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(PictureBrowserTest, AClickShowsTheScratchPictureWithTheCheckedOverlays) {
    window.SetSelectedRow(1);
    window.SetChecks(true, false);
    browser.ListView1Click();
    EXPECT_EQ(window.Calls(),
              (std::vector<std::string>{"SetBrowseViewVisible yes", "ShowBrowsePicture 320x240"}));
    EXPECT_EQ(browser.BrowsedPictureInfo(), frame::MakeInfo(3, 0x25));
    EXPECT_EQ(state.currentPictureInfo.load(), 3U);
    const QImage shown = window.LastBrowsePicture();
    EXPECT_EQ(shown.pixelColor(40, 230), kRulerLineColor);
    EXPECT_GT(test::CountPixels(shown, QRect(250, 220, 70, 20), kRulerLabelColor), 10);
    EXPECT_GT(test::CountPixels(shown, QRect(250, 220, 70, 20), kBrowseOverlayBackground), 10);
    EXPECT_EQ(test::CountPixels(shown, QRect(260, 0, 60, 30), kMagnificationColor), 0);

    // Unchecking the ruler reloads the picture without it; the magnification comes on.
    window.SetChecks(false, true);
    browser.CheckBox1Click();
    const QImage redrawn = window.LastBrowsePicture();
    EXPECT_EQ(test::CountPixels(redrawn, redrawn.rect(), kRulerLineColor), 0);
    EXPECT_GT(test::CountPixels(redrawn, QRect(260, 0, 60, 30), kMagnificationColor), 20);
}

TEST_F(PictureBrowserTest, CheckBoxesDoNotTouchTheBrowseViewDuringTheLiveView) {
    window.SetSelectedRow(0);
    state.liveView = true;
    browser.CheckBox2Click();
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(PictureBrowserTest, ARowWhosePictureNeverArrivedShowsNoPictureAndSaysSo) {
    window.SetSelectedRow(0);
    browser.ListView1Click();
    window.ClearCalls();
    window.SetSelectedRow(3);
    browser.ListView1Click();
    EXPECT_EQ(
        window.Calls(),
        (std::vector<std::string>{
            "SetBrowseViewVisible yes", "ShowBrowsePicture 320x240",
            "ShowInfo " + std::string(message::BuiltInEnglishText(message::kPictureNotReceived))}));
    const QImage shown = window.LastBrowsePicture();
    EXPECT_EQ(test::CountPixels(shown, shown.rect(), Qt::black), 320 * 240)
        << "another picture stood in for the missing one";

    window.ClearCalls();
    browser.CheckBox1Click();
    EXPECT_TRUE(window.Calls().empty());
}

TEST_F(PictureBrowserTest, SaveOnARowWhosePictureNeverArrivedWritesNothing) {
    window.SetSelectedRow(3);
    window.QueueSaveFile(saveDir.filePath("stale.jpg"));
    browser.SaveBtnClick();
    EXPECT_EQ(window.Calls(),
              std::vector<std::string>{"ShowInfo " + std::string(message::BuiltInEnglishText(
                                                         message::kPictureNotReceived))});
    EXPECT_TRUE(QDir(saveDir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(PictureBrowserTest, SaveWritesTheSelectedPictureAtQuality60UnderItsNumber) {
    window.SetSelectedRow(1);
    window.SetMessage(message::kSavedFile, "Saved %1");
    const QString path = saveDir.filePath("chosen.jpg");
    window.QueueSaveFile(path);
    browser.SaveBtnClick();
    EXPECT_EQ(window.Calls(), (std::vector<std::string>{"ChooseJpegFile 00000003.jpg",
                                                        "ShowStatus Saved " + path.toStdString()}));
    EXPECT_EQ(test::CompressedPart(Read(path)), test::CompressedPart(ScratchAsJpeg(3, 60)));
    EXPECT_NE(test::CompressedPart(Read(path)), test::CompressedPart(ScratchAsJpeg(3, 90)));
}

TEST_F(PictureBrowserTest, ACancelledSaveWritesNothing) {
    window.SetSelectedRow(0);
    window.QueueSaveFile(std::nullopt);
    browser.SaveBtnClick();
    EXPECT_TRUE(QDir(saveDir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(PictureBrowserTest, SaveAllIgnoresTheTypedNameKeepsExistingFilesAndUsesQuality90) {
    window.SetMessage(message::kSaveAllSummary, "%1 saved %2 skipped %3 failed");
    window.SetMessage(message::kSavedPictures, "%1 in %2");
    window.QueueSaveFile(saveDir.filePath("typed name.jpg"));
    QFile earlier(saveDir.filePath("00000003.jpg"));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly) && earlier.write("kept") == 4);
    earlier.close();
    browser.SaveAllBtnClick();
    EXPECT_EQ(window.Calls(),
              (std::vector<std::string>{"ChooseJpegFile 00000001.jpg",
                                        "ShowStatus 3 in " + saveDir.path().toStdString(),
                                        "ShowInfo 3 saved 1 skipped 0 failed"}));
    EXPECT_EQ(QDir(saveDir.path()).entryList(QDir::Files),
              (QStringList{"00000001.jpg", "00000003.jpg", "00000003_2.jpg", "00000005.jpg"}));
    EXPECT_EQ(Read(saveDir.filePath("00000003.jpg")), "kept");
    for (const char* name : {"00000001.jpg", "00000003_2.jpg", "00000005.jpg"}) {
        const uint32_t number = QString::fromLatin1(name).left(8).toUInt();
        EXPECT_EQ(test::CompressedPart(Read(saveDir.filePath(QString::fromLatin1(name)))),
                  test::CompressedPart(ScratchAsJpeg(number, 90)));
    }
}

TEST_F(PictureBrowserTest, SaveAllWithNoPicturesShowsMessage8) {
    IMAGE_BUFFER empty;
    PictureBrowser nothing(state, window, empty, scratchDir.path());
    window.SetMessage(8, "No picture");
    nothing.SaveAllBtnClick();
    EXPECT_EQ(window.Calls(), std::vector<std::string>{"ShowInfo No picture"});
}

TEST_F(PictureBrowserTest, AFailedWriteIsReportedAndLeavesNoFile) {
    window.SetSelectedRow(0);
    const QString blocked = saveDir.filePath("a folder.jpg");
    ASSERT_TRUE(QDir(saveDir.path()).mkdir("a folder.jpg"));
    window.QueueSaveFile(blocked);
    browser.SaveBtnClick();
    EXPECT_TRUE(
        window.WaitForCall(("ShowError The picture could not be saved to " + blocked).toStdString(),
                           std::chrono::milliseconds(0)));
    EXPECT_TRUE(QDir(saveDir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    const QString missingFolder = saveDir.filePath("missing/00000001.jpg");
    window.QueueSaveFile(missingFolder);
    browser.SaveBtnClick();
    EXPECT_FALSE(QFile::exists(missingFolder));
    EXPECT_EQ(window.Calls().back(),
              ("ShowError The picture could not be saved to " + missingFolder).toStdString());
}

TEST_F(PictureBrowserTest, SaveAllGoesOnPastAFailedWriteAndCountsEveryOutcome) {
    window.SetMessage(message::kSaveAllSummary, "%1 saved %2 skipped %3 failed");
    // Picture 3 cannot be written: its scratch picture is gone.
    ASSERT_TRUE(QFile::remove(ScratchPicturePath(scratchDir.path(), frame::MakeInfo(3, 0x25))));
    window.QueueSaveFile(saveDir.filePath("any.jpg"));
    browser.SaveAllBtnClick();
    EXPECT_EQ(window.Calls().back(), "ShowInfo 2 saved 1 skipped 1 failed");
    EXPECT_EQ(QDir(saveDir.path()).entryList(QDir::Files),
              (QStringList{"00000001.jpg", "00000005.jpg"}));
    EXPECT_EQ(test::CompressedPart(Read(saveDir.filePath(DefaultJpegFileName(5)))),
              test::CompressedPart(ScratchAsJpeg(5, 90)));
}

TEST_F(PictureBrowserTest, SaveAllCountsAListedRowWithoutARecordAsSkipped) {
    window.SetMessage(message::kSaveAllSummary, "%1 saved %2 skipped %3 failed");
    for (int i = 0; i < 5; ++i) {
        window.AddRow({});
    }
    window.ClearCalls();
    window.QueueSaveFile(saveDir.filePath("any.jpg"));
    browser.SaveAllBtnClick();
    EXPECT_EQ(window.Calls().back(), "ShowInfo 3 saved 2 skipped 0 failed");
}

}  // namespace
}  // namespace dm
