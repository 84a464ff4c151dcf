// SPDX-License-Identifier: GPL-3.0-or-later
// The system ends the program (kill, Ctrl+C, logout): the way out of the Exit button,
// with the disconnect frame, the scratch pictures removed and exit status 0.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/termination_signals.h"
#include "link/frame.h"
#include "support/built_program.h"
#include "system/system_fixture.h"

namespace dm::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSlowPictureBytes = 12000;
constexpr milliseconds kChildLimit{20000};

class EndingSignalsTest : public SystemTest {};

TEST_F(EndingSignalsTest, SigtermDuringADownloadSendsTheDisconnectFrameAndLeavesNoScratch) {
    vm::Options options;
    options.pictures = 3;
    options.pictureBytes = kSlowPictureBytes;
    options.faults.throttle = true;
    ASSERT_NO_FATAL_FAILURE(StartConnected(options));
    const TerminationSignals endingSignals(form.get(), [this] { form->EndProgram(); });
    const QString runFolder = RunFolder();
    const std::size_t from = FrameCount();
    Click("DownloadBtn");
    ASSERT_TRUE(WaitForFrame(Bytes{frame::kLead, frame::kPictureRequest}, from));
    std::raise(SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return !form->isVisible(); })) << DebugState();
    EXPECT_TRUE(WaitForFrame(Frame(frame::kDisconnect), from));
    EXPECT_FALSE(session->Port().IsOpen());
    session.reset();  // joins the download, released by the exit
    EXPECT_FALSE(QFileInfo::exists(runFolder));
    EXPECT_TRUE(QDir(ScratchRoot()).exists());
}

// Started with a copy of the data files as its working folder and a home of its own;
// killed and reaped in any case.
class ProgramProcess {
  public:
    ProgramProcess(const QString& startFolder, const QString& home) {
        const std::string program = BuiltProgram("digital-microscope");
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("HOME", home.toLocal8Bit().constData(), 1);
            ::setenv("XDG_RUNTIME_DIR", home.toLocal8Bit().constData(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::unsetenv("XDG_CACHE_HOME");
            ::unsetenv("MICROSCOPE_PORTS");
            if (::chdir(startFolder.toLocal8Bit().constData()) != 0) {
                ::_exit(126);
            }
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~ProgramProcess() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // The exit status, or -1 when it did not exit normally within the limit.
    int WaitForExit(milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        int status = 0;
        while (Clock::now() < deadline) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(milliseconds(20));
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

bool CopyFolder(const QString& from, const QString& to) {
    std::error_code error;
    std::filesystem::copy(from.toStdString(), to.toStdString(),
                          std::filesystem::copy_options::recursive, error);
    return !error;
}

TEST(EndingSignalsProcessTest, EachSignalEndsTheProgramWithStatusZeroAndItsScratchFolderGone) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        const QString startFolder = home.filePath(QStringLiteral("data"));
        ASSERT_TRUE(CopyFolder(QStringLiteral(DM_SOURCE_TREE "/data"), startFolder));
        ProgramProcess program(startFolder, home.path());
        ASSERT_GT(program.Pid(), 0);
        // The run's scratch folder appears once the window is up.
        const QString runFolder =
            home.filePath(QStringLiteral(".cache/digital-microscope/run-%1").arg(program.Pid()));
        const auto deadline = Clock::now() + kChildLimit;
        while (!QFileInfo(runFolder).isDir() && Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(20));
        }
        ASSERT_TRUE(QFileInfo(runFolder).isDir()) << "the program did not come up";
        ::kill(program.Pid(), signal);
        EXPECT_EQ(program.WaitForExit(kChildLimit), 0);
        EXPECT_FALSE(QFileInfo::exists(runFolder));
    }
}

}  // namespace
}  // namespace dm::test
