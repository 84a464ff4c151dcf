// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual microscope refuses a folder of published links that another local user
// could have prepared: it says why and publishes nothing, in-process and as a program.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "link/port_table.h"
#include "link/published_links.h"
#include "support/built_program.h"
#include "support/scoped_env.h"
#include "virtual-microscope/virtual_microscope.h"

namespace dm::vm::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kRunLimitMs = 10000;

class PublishedFolderTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(runtime_.isValid()); }

    fs::path Runtime() const { return runtime_.path().toStdString(); }
    fs::path Folder() const { return Runtime() / "virtual-microscope"; }
    void MakeFolder() const {
        ASSERT_EQ(::mkdir(Folder().c_str(), published_links::kFolderMode), 0);
    }
    bool FolderIsEmpty() const {
        return fs::is_empty(fs::is_symlink(Folder()) ? fs::read_symlink(Folder()) : Folder());
    }

    // Start refuses: no path, the reason names the folder, nothing is published.
    void ExpectRefused(const std::string& why) {
        VirtualMicroscope microscope;
        EXPECT_EQ(microscope.Start(), "");
        EXPECT_FALSE(microscope.IsRunning());
        EXPECT_EQ(microscope.ErrorText(), Folder().string() + why);
        EXPECT_TRUE(FolderIsEmpty());
    }

    QTemporaryDir runtime_;
    test::ScopedEnv runtimeDir_{"XDG_RUNTIME_DIR", runtime_.path().toStdString()};
};

TEST_F(PublishedFolderTest, AMissingFolderIsCreatedPrivate) {
    VirtualMicroscope microscope;
    ASSERT_NE(microscope.Start(), "") << microscope.ErrorText();
    EXPECT_EQ(fs::path(microscope.LinkPath()).parent_path(), Folder());
    struct stat info {};
    ASSERT_EQ(::lstat(Folder().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, published_links::kFolderMode);
    microscope.Stop();
}

TEST_F(PublishedFolderTest, ASymbolicLinkIsRefused) {
    const fs::path elsewhere = Runtime() / "elsewhere";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), published_links::kFolderMode), 0);
    fs::create_directory_symlink(elsewhere, Folder());
    ExpectRefused(" is a symbolic link, not a directory");
}

TEST_F(PublishedFolderTest, AFolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    constexpr uid_t kNobody = 65534;
    MakeFolder();
    ASSERT_EQ(::chown(Folder().c_str(), kNobody, kNobody), 0);
    ExpectRefused(" is owned by uid 65534, not by this user (uid 0)");
}

TEST_F(PublishedFolderTest, AFolderOthersMayWriteIsRefused) {
    MakeFolder();
    fs::permissions(Folder(), fs::perms::others_all, fs::perm_options::add);
    ExpectRefused(" has mode 0707; only 0700 (the owner alone) is trusted");
}

TEST_F(PublishedFolderTest, TheProgramSaysWhyOnStandardErrorAndFails) {
    MakeFolder();
    fs::permissions(Folder(), fs::perms::group_write, fs::perm_options::add);
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(dm::test::BuiltProgram("virtual-microscope")), {});
    ASSERT_TRUE(process.waitForStarted());
    if (!process.waitForFinished(kRunLimitMs)) {
        process.kill();
        process.waitForFinished();
        FAIL() << "it kept running with a folder open to its group";
    }
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()).toStdString(),
              "virtual-microscope: " + Folder().string() +
                  " has mode 0720; only 0700 (the owner alone) is trusted\n");
    EXPECT_TRUE(FolderIsEmpty());
}

}  // namespace
}  // namespace dm::vm::testing
