// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device on POSIX termios.
//
// The descriptor stays non-blocking for its whole life: the open must not wait for a
// carrier, a poll reads only what is queued, and a write to a peer that stopped reading
// gives up after kWriteWaitMs instead of holding its thread.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "link/serial_device.h"
#include "link/serial_port.h"

namespace dm::serial_device {
namespace {

constexpr int kWriteWaitMs = 1000;
constexpr cc_t kReadMinimumBytes = 0;
constexpr cc_t kReadWaitDeciseconds = 1;

std::optional<speed_t> SpeedFor(int bitsPerSecond) {
    switch (bitsPerSecond) {
        case 9600:
            return B9600;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return std::nullopt;
    }
}

// The errors of a device that went away: an unplugged USB adapter answers ENODEV or
// EIO, a hung-up terminal EIO, a pseudo-terminal whose far end closed EIO.
bool MeansGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

PortProblem OpenProblem(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return PortProblem::kPermissionDenied;
        case EBUSY:  // another program set the terminal's exclusive mode
            return PortProblem::kInUse;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return PortProblem::kNoDevice;
        default:
            return PortProblem::kUnusable;
    }
}

// Returns the descriptor, or -1 when the device cannot be opened or is held elsewhere
// (and then why, in problem).
int OpenExclusive(const std::string& device, PortProblem& problem) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = OpenProblem(errno);
        return -1;
    }
    // TIOCEXCL turns away later opens of the tty, but not root's; the lock turns away
    // every program that takes it as we do, root included. The lock comes first so that
    // a port held by another copy of the program is left exactly as it was.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        problem = errno == EWOULDBLOCK ? PortProblem::kInUse : PortProblem::kUnusable;
        ::close(fd);
        return -1;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        problem = PortProblem::kUnusable;  // no terminal at all
        ::close(fd);
        return -1;
    }
    return fd;
}

// Raw 8N1: the line discipline must never echo, translate or hold back a byte.
bool Configure(int fd, speed_t speed) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = kReadMinimumBytes;
    settings.c_cc[VTIME] = kReadWaitDeciseconds;
    if (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0) {
        return false;
    }
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

enum class Writability { kWritable, kBlocked, kGone };

Writability WaitWritable(int fd) {
    pollfd writable{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&writable, 1, kWriteWaitMs);
    } while (ready < 0 && errno == EINTR);
    if (ready > 0 && (writable.revents & kHangUpEvents) != 0) {
        return Writability::kGone;
    }
    return ready > 0 && (writable.revents & POLLOUT) != 0 ? Writability::kWritable
                                                          : Writability::kBlocked;
}

// A terminal whose line hung up (or whose pseudo-terminal master closed) stays readable
// with nothing to read: only the hang-up event tells it from a quiet line.
bool HungUp(int fd) {
    pollfd line{fd, POLLIN, 0};
    return ::poll(&line, 1, 0) > 0 && (line.revents & kHangUpEvents) != 0;
}

}  // namespace

intptr_t Open(const std::string& device, int bitsPerSecond, PortProblem* problem) {
    PortProblem found = PortProblem::kUnusable;
    const std::optional<speed_t> speed = SpeedFor(bitsPerSecond);
    int fd = speed ? OpenExclusive(device, found) : -1;
    if (fd >= 0 && !Configure(fd, *speed)) {
        found = PortProblem::kUnusable;
        Close(fd);
        fd = -1;
    }
    if (problem != nullptr) {
        *problem = fd >= 0 ? PortProblem::kNone : found;
    }
    return fd >= 0 ? fd : SerialPort::kNoPort;
}

bool Present(const std::string& device) {
    return ::access(device.c_str(), F_OK) == 0;
}

void Close(intptr_t handle) {
    const int fd = static_cast<int>(handle);
    // A pseudo-terminal outlives our descriptor while its master is open, and so would
    // the exclusive mode: without this a later open by an ordinary user is refused.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // also releases the lock
}

int32_t QueuedBytes(intptr_t handle) {
    const int fd = static_cast<int>(handle);
    int queued = 0;
    if (::ioctl(fd, FIONREAD, &queued) != 0) {
        return MeansGone(errno) ? kDeviceGone : 0;
    }
    // What came before a hang-up is still read first.
    if (queued > 0) {
        return queued;
    }
    return HungUp(fd) ? kDeviceGone : 0;
}

int32_t Read(intptr_t handle, uint8_t* dest, uint32_t n) {
    const ssize_t got = ::read(static_cast<int>(handle), dest, n);
    if (got < 0) {
        return MeansGone(errno) ? kDeviceGone : 0;
    }
    return static_cast<int32_t>(got);
}

int32_t Write(intptr_t handle, const uint8_t* bytes, int32_t n) {
    const int fd = static_cast<int>(handle);
    switch (WaitWritable(fd)) {
        case Writability::kGone:
            return kDeviceGone;
        case Writability::kBlocked:
            return 0;
        case Writability::kWritable:
            break;
    }
    const ssize_t written = ::write(fd, bytes, static_cast<size_t>(n));
    if (written < 0) {
        return MeansGone(errno) ? kDeviceGone : 0;
    }
    return static_cast<int32_t>(written);
}

}  // namespace dm::serial_device
