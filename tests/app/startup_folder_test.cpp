// SPDX-License-Identifier: GPL-3.0-or-later
// Which folder the program starts from: a working folder with System.ini, else the user's
// own data folder filled from the installed one, never overwriting and never writing
// into the installed folder.
#include "app/startup_folder.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/main_window.h"
#include "support/app_fixture.h"

namespace dm {
namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class StartupFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        places = {root.filePath("work"), root.filePath("home/.local/share/digital-microscope"),
                  root.filePath("usr/share/digital-microscope")};
        QDir().mkpath(places.workingFolder);
        WriteFile(Installed("System.ini"), "installed ini");
        WriteFile(Installed("Connect.bmp"), "glyph");
    }
    QString Installed(const char* name) const {
        return QDir(places.installedFolder).filePath(name);
    }
    QString User(const char* name) const { return QDir(places.userFolder).filePath(name); }

    QTemporaryDir root;
    StartupFolderPlaces places;
};

TEST_F(StartupFolderTest, AWorkingFolderWithSystemIniIsUsedAsItIs) {
    WriteFile(QDir(places.workingFolder).filePath("System.ini"), "portable");
    EXPECT_EQ(ChooseStartupFolder(places), places.workingFolder);
    EXPECT_FALSE(QFileInfo::exists(places.userFolder)) << "nothing is copied then";
}

TEST_F(StartupFolderTest, TheUserFolderIsFilledOnceAndTheUsersFilesAreKept) {
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(Installed("System.ini"), readOnly));
    EXPECT_EQ(ChooseStartupFolder(places), places.userFolder);
    EXPECT_EQ(ReadFile(User("System.ini")), "installed ini");
    EXPECT_EQ(ReadFile(User("Connect.bmp")), "glyph");
    EXPECT_TRUE(QFileInfo(User("System.ini")).isWritable()) << "the language is written there";

    // The user changed the language; a newer installation brought another file.
    WriteFile(User("System.ini"), "the user's choice");
    WriteFile(Installed("Lock.bmp"), "new glyph");
    EXPECT_EQ(ChooseStartupFolder(places), places.userFolder);
    EXPECT_EQ(ReadFile(User("System.ini")), "the user's choice");
    EXPECT_EQ(ReadFile(User("Lock.bmp")), "new glyph");
    EXPECT_EQ(ReadFile(Installed("System.ini")), "installed ini");
}

TEST_F(StartupFolderTest, WithNoDataAnywhereTheWorkingFolderIsKeptForTheFailureBox) {
    QFile::remove(Installed("System.ini"));
    EXPECT_EQ(ChooseStartupFolder(places), places.workingFolder);
}

// An installed program started from a folder without data files: the window comes up from
// the user's copy, and the language choice is written there, not into the installation.
class InstalledStartTest : public test::AppFixture {};

TEST_F(InstalledStartTest, TheLanguageChoiceIsWrittenToTheUsersCopyOnly) {
    const QString installed = ProfileFolder() + QStringLiteral("/usr/share/digital-microscope");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(installed).absolutePath()));
    ASSERT_TRUE(QDir().rename(StartFolder(), installed));
    ASSERT_TRUE(QDir().mkpath(StartFolder()));
    const QString installedIni = QDir(installed).filePath(QStringLiteral("System.ini"));
    const QByteArray shipped = ReadFile(installedIni);
    const StartupFolderPlaces places{
        StartFolder(), ProfileFolder() + QStringLiteral("/.local/share/digital-microscope"),
        installed};

    // As the program does: the chosen folder becomes the working folder before the window
    // is built, so the glyphs come from there too.
    ASSERT_TRUE(QDir::setCurrent(ChooseStartupFolder(places)));
    Start();
    ASSERT_TRUE(started);
    EXPECT_EQ(form->StartupFolder(), places.userFolder);
    EXPECT_FALSE(test::Find<QToolButton>(*form, "DownloadBtn")->icon().isNull());
    test::Find<QAction>(*form, "Turkish1")->trigger();

    const QString userIni = QDir(places.userFolder).filePath(QStringLiteral("System.ini"));
    EXPECT_TRUE(ReadFile(userIni).contains("LanguageMode=4"));
    EXPECT_EQ(ReadFile(installedIni), shipped);
    EXPECT_TRUE(QDir(StartFolder()).isEmpty()) << "nothing is written into the working folder";
}

}  // namespace
}  // namespace dm
