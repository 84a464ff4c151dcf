// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/scratch_folders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryDir>

#include "view/picture_files.h"

namespace dm {
namespace {

// Beyond any process number the system hands out: no process has it.
constexpr char kDeadPid[] = "2147483600";

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
}

// A lock file as a run leaves behind when it dies: this machine's, of a process now gone.
void WriteDeadLock(const QString& path) {
    const QString model = path + QStringLiteral(".model");
    QByteArray contents;
    {
        QLockFile live(model);
        ASSERT_TRUE(live.tryLock(0));
        QFile file(model);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        contents = file.readAll();
    }
    contents = kDeadPid + contents.mid(contents.indexOf('\n'));
    QFile dead(path);
    ASSERT_TRUE(dead.open(QIODevice::WriteOnly));
    dead.write(contents);
}

TEST(ScratchFolders, ARunHasSeparateDownloadAndSnapshotFoldersAndRemovesThemWhole) {
    QTemporaryDir root;
    ScratchFolders folders(root.path());
    EXPECT_TRUE(QFileInfo(folders.DownloadsFolder()).isDir());
    EXPECT_TRUE(QFileInfo(folders.SnapshotsFolder()).isDir());
    EXPECT_NE(folders.DownloadsFolder(), folders.SnapshotsFolder());
    EXPECT_EQ(QFileInfo(folders.DownloadsFolder()).dir().absolutePath(),
              QFileInfo(folders.RunFolder()).absoluteFilePath());
    EXPECT_EQ(QFileInfo(folders.RunFolder()).dir().absolutePath(),
              QDir(root.path()).absolutePath());
    Touch(QDir(folders.DownloadsFolder()).filePath("3.bmp"));

    folders.Remove();
    EXPECT_FALSE(QFileInfo::exists(folders.RunFolder()));
    EXPECT_TRUE(QDir(root.path()).exists());
    EXPECT_TRUE(QDir(root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        << "the lock stayed";
    folders.Remove();  // again: nothing left to do
}

TEST(ScratchFolders, LeftoversOfDeadRunsGoAndFoldersOfLiveRunsStay) {
    QTemporaryDir root;
    const QDir dir(root.path());
    ASSERT_TRUE(dir.mkpath("run-1/downloads"));
    Touch(dir.filePath("run-1/downloads/3.bmp"));
    ASSERT_NO_FATAL_FAILURE(WriteDeadLock(dir.filePath("run-1.lock")));
    ASSERT_TRUE(dir.mkpath("run-2/downloads"));  // its lock already gone
    ASSERT_TRUE(dir.mkpath("run-3/downloads"));
    Touch(dir.filePath("run-3/downloads/4.bmp"));
    QLockFile live(dir.filePath("run-3.lock"));  // another copy, still running
    ASSERT_TRUE(live.tryLock(0));
    Touch(dir.filePath("12.bmp"));  // not a run's: left alone

    ScratchFolders folders(root.path());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("run-1")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("run-1.lock")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("run-2")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("run-3/downloads/4.bmp")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("run-3.lock")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("12.bmp")));
    EXPECT_TRUE(QFileInfo(folders.DownloadsFolder()).isDir());
}

TEST(ScratchFolders, TwoRunsInOneProcessNeverShareAFolder) {
    QTemporaryDir root;
    ScratchFolders first(root.path());
    ScratchFolders second(root.path());
    EXPECT_NE(first.RunFolder(), second.RunFolder());
    EXPECT_TRUE(QFileInfo(first.DownloadsFolder()).isDir()) << "the second run took it";
    EXPECT_TRUE(QFileInfo(second.DownloadsFolder()).isDir());
}

TEST(ScratchFolders, ARootThatCannotHoldFoldersLeavesPathsThatFailToWrite) {
    QTemporaryDir root;
    const QString notAFolder = QDir(root.path()).filePath("file");
    Touch(notAFolder);
    ScratchFolders folders(notAFolder);
    EXPECT_FALSE(QFileInfo::exists(folders.DownloadsFolder()));
    EXPECT_FALSE(SaveScratchPicture(QImage(4, 4, QImage::Format_RGB32),
                                    ScratchPicturePath(folders.DownloadsFolder(), 1)));
}

TEST(EmptyScratchFolder, RemovesTheScratchPicturesOnly) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
    Touch(dir.filePath("3.bmp"));
    Touch(dir.filePath("12.BMP"));
    Touch(dir.filePath("notes.txt"));
    EXPECT_TRUE(EmptyScratchFolder(folder.path()));
    EXPECT_EQ(dir.entryList(QDir::Files), QStringList{"notes.txt"});
    EXPECT_TRUE(EmptyScratchFolder(folder.path()));  // nothing left to remove
    EXPECT_FALSE(EmptyScratchFolder(dir.filePath("missing")));
}

}  // namespace
}  // namespace dm
