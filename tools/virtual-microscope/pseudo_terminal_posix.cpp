// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/pseudo_terminal.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace dm::vm {

namespace {

std::string Failure(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool IsDecimal(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Non-blocking, and not handed to programs this process starts.
bool PrepareWakeEnd(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 &&
           fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// True when one of the process's descriptors (but `skipFd` when it is this process) is
// the terminal at `path`.
bool ProcessHolds(const std::string& pid, const std::string& path, int skipFd) {
    const bool isSelf = std::to_string(getpid()) == pid;
    const std::string skip = std::to_string(skipFd);
    const std::string fdDir = "/proc/" + pid + "/fd";
    DIR* descriptors = opendir(fdDir.c_str());
    if (descriptors == nullptr) {
        return false;  // gone, or not ours to look at
    }
    bool held = false;
    while (const dirent* fd = readdir(descriptors)) {
        if (isSelf && skip == fd->d_name) {
            continue;
        }
        std::array<char, 256> target{};
        const std::string link = fdDir + "/" + fd->d_name;
        const ssize_t length = readlink(link.c_str(), target.data(), target.size() - 1);
        if (length > 0 && path == std::string_view(target.data(), length)) {
            held = true;
            break;
        }
    }
    closedir(descriptors);
    return held;
}

}  // namespace

PseudoTerminal::PseudoTerminal() {
    int ends[2];
    if (::pipe(ends) != 0) {
        return;  // Wait then only ends by its time-out
    }
    if (!PrepareWakeEnd(ends[0]) || !PrepareWakeEnd(ends[1])) {
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    wakeRead_ = ends[0];
    wakeWrite_ = ends[1];
}

PseudoTerminal::~PseudoTerminal() {
    Close();
    if (wakeRead_ >= 0) {
        ::close(wakeRead_);
        ::close(wakeWrite_);
    }
}

bool PseudoTerminal::Open() {
    Close();
    // Neither end may be handed to programs this process starts: a child holding them would
    // keep the line up after the microscope vanished.
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error_ = Failure("posix_openpt");
        return false;
    }
    const char* name = nullptr;
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || (name = ptsname(master_)) == nullptr) {
        error_ = Failure("grantpt/unlockpt/ptsname");
        Close();
        return false;
    }
    slavePath_ = name;
    ownSlave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (ownSlave_ < 0) {
        error_ = Failure("open slave");
        Close();
        return false;
    }
    // The terminal settings belong to the slave; setting them through the master and
    // the own slave descriptor is the same record. Raw: no echo, no translated bytes.
    const int flags = fcntl(master_, F_GETFL);
    if (!MakeRaw(master_) || flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error_ = Failure("configure master");
        Close();
        return false;
    }
    return true;
}

void PseudoTerminal::Close() {
    if (ownSlave_ >= 0) {
        ::close(ownSlave_);
        ownSlave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

PseudoTerminal::Readiness PseudoTerminal::Wait(std::chrono::milliseconds timeout, bool wantWrite) {
    if (master_ < 0) {
        return {};
    }
    std::array<pollfd, 2> entries{{
        {master_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
        {wakeRead_, POLLIN, 0},  // poll skips a negative descriptor
    }};
    if (::poll(entries.data(), entries.size(), static_cast<int>(timeout.count())) <= 0) {
        return {};
    }
    if (entries[1].revents != 0) {
        std::array<char, 64> drained{};
        while (::read(wakeRead_, drained.data(), drained.size()) > 0) {
        }
    }
    const pollfd& master = entries[0];
    return {(master.revents & POLLIN) != 0, (master.revents & POLLOUT) != 0};
}

void PseudoTerminal::Wake() {
    if (wakeWrite_ >= 0) {
        const char one = 1;
        // A full pipe already holds a wake-up; nothing is lost when this one is refused.
        [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite_, &one, 1);
    }
}

std::size_t PseudoTerminal::Read(uint8_t* dest, std::size_t capacity) {
    if (master_ < 0) {
        return 0;
    }
    const ssize_t got = ::read(master_, dest, capacity);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

std::size_t PseudoTerminal::Write(const uint8_t* bytes, std::size_t n) {
    if (master_ < 0 || n == 0) {
        return 0;
    }
    const ssize_t put = ::write(master_, bytes, n);
    return put > 0 ? static_cast<std::size_t>(put) : 0;
}

std::size_t PseudoTerminal::UnreadBySlave() const {
    int queued = 0;
    if (ownSlave_ < 0 || ioctl(ownSlave_, FIONREAD, &queued) != 0 || queued < 0) {
        return 0;
    }
    return static_cast<std::size_t>(queued);
}

void PseudoTerminal::DiscardUnread() {
    if (ownSlave_ >= 0) {
        tcflush(ownSlave_, TCIFLUSH);
    }
}

bool PseudoTerminal::IsExclusive() const {
#ifdef TIOCGEXCL
    int exclusive = 0;
    return ownSlave_ >= 0 && ioctl(ownSlave_, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#else
    return false;
#endif
}

void PseudoTerminal::ReleaseExclusive() {
    if (ownSlave_ >= 0) {
        ioctl(ownSlave_, TIOCNXCL);
    }
}

bool PseudoTerminal::SlaveHeldElsewhere() const {
#ifdef __linux__
    // In-process users (tests, the program with a microscope inside) count too; only
    // this object's own descriptor does not.
    if (lastHolder_ >= 0 && ProcessHolds(std::to_string(lastHolder_), slavePath_, ownSlave_)) {
        return true;
    }
    DIR* processes = opendir("/proc");
    if (processes == nullptr) {
        return true;
    }
    const std::string skip = std::to_string(lastHolder_);
    lastHolder_ = -1;
    while (const dirent* process = readdir(processes)) {
        if (IsDecimal(process->d_name) && skip != process->d_name &&
            ProcessHolds(process->d_name, slavePath_, ownSlave_)) {
            lastHolder_ = std::atoi(process->d_name);
            break;
        }
    }
    closedir(processes);
    return lastHolder_ >= 0;
#else
    return true;
#endif
}

}  // namespace dm::vm
