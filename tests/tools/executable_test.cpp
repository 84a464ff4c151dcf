// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual-microscope executable as a child process: it prints its path, answers a
// probe through it, and cleans up on SIGTERM.

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "link/frame.h"
#include "link/port_table.h"
#include "pty_client.h"
#include "support/built_program.h"

namespace dm::vm::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kPathPrefix[] = "virtual-microscope: ";

// A child process with its stdout on a pipe; killed and reaped at the end in any case.
class Child {
  public:
    explicit Child(const std::string& program) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
    }
    ~Child() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }

    // The first line it prints, or "" after timeout.
    std::string FirstLine(std::chrono::milliseconds timeout) {
        std::string line;
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            pollfd entry{out_, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) {
                continue;
            }
            char c = 0;
            if (::read(out_, &c, 1) != 1) {
                break;
            }
            if (c == '\n') {
                return line;
            }
            line += c;
        }
        return {};
    }

    // The exit status after SIGTERM, or -1 when it did not end in time.
    int Terminate(std::chrono::milliseconds timeout) {
        ::kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return -1;
    }

    bool Started() const { return pid_ > 0 && out_ >= 0; }
    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool reaped_ = false;
};

TEST(VirtualMicroscopeExecutable, PrintsItsPathAnswersAProbeAndCleansUpOnSigterm) {
    const std::string program = test::BuiltProgram("virtual-microscope");
    ASSERT_FALSE(program.empty()) << "neither DM_BINARY_DIR nor /proc/self/exe";
    ASSERT_TRUE(std::filesystem::exists(program)) << program;
    Child child(program);
    ASSERT_TRUE(child.Started());

    const std::string line = child.FirstLine(10s);
    ASSERT_EQ(line.rfind(kPathPrefix, 0), 0u) << line;
    const std::string path = line.substr(sizeof kPathPrefix - 1);

    const std::string linkPrefix = "vm-" + std::to_string(child.Pid()) + "-";
    std::string link;
    for (const auto& entry :
         std::filesystem::directory_iterator(PortTable::PublishedLinksDirectory())) {
        if (entry.path().filename().string().rfind(linkPrefix, 0) == 0) {
            link = entry.path();
        }
    }
    ASSERT_FALSE(link.empty()) << "no link published for " << child.Pid();
    EXPECT_EQ(std::filesystem::read_symlink(link), path);

    {
        PtyClient client(path);
        ASSERT_TRUE(client.IsOpen()) << path;
        client.Write(Request(frame::kProbe));
        const auto reply = client.ReadFrame();
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->command, frame::kProbeReply);
    }

    EXPECT_EQ(child.Terminate(10s), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the process";
}

}  // namespace
}  // namespace dm::vm::testing
