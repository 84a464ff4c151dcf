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

// Returns the descriptor, or -1 when the device cannot be opened or is held elsewhere.
int OpenExclusive(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    // TIOCEXCL turns away later opens of the tty, but not root's; the lock turns away
    // every program that takes it as we do, root included. The lock comes first so that
    // a port held by another copy of the program is left exactly as it was.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
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

bool WaitWritable(int fd) {
    pollfd writable{fd, POLLOUT, 0};
    int ready = 0;
    do {
        ready = ::poll(&writable, 1, kWriteWaitMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (writable.revents & POLLOUT) != 0;
}

}  // namespace

intptr_t Open(const std::string& device, int bitsPerSecond) {
    const std::optional<speed_t> speed = SpeedFor(bitsPerSecond);
    if (!speed) {
        return SerialPort::kNoPort;
    }
    const int fd = OpenExclusive(device);
    if (fd < 0) {
        return SerialPort::kNoPort;
    }
    if (!Configure(fd, *speed)) {
        Close(fd);
        return SerialPort::kNoPort;
    }
    return fd;
}

void Close(intptr_t handle) {
    const int fd = static_cast<int>(handle);
    // A pseudo-terminal outlives our descriptor while its master is open, and so would
    // the exclusive mode: without this a later open by an ordinary user is refused.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // also releases the lock
}

uint32_t QueuedBytes(intptr_t handle) {
    int queued = 0;
    if (::ioctl(static_cast<int>(handle), FIONREAD, &queued) != 0 || queued <= 0) {
        return 0;
    }
    return static_cast<uint32_t>(queued);
}

uint32_t Read(intptr_t handle, uint8_t* dest, uint32_t n) {
    const ssize_t got = ::read(static_cast<int>(handle), dest, n);
    return got > 0 ? static_cast<uint32_t>(got) : 0;
}

int32_t Write(intptr_t handle, const uint8_t* bytes, int32_t n) {
    const int fd = static_cast<int>(handle);
    if (!WaitWritable(fd)) {
        return 0;
    }
    const ssize_t written = ::write(fd, bytes, static_cast<size_t>(n));
    return written > 0 ? static_cast<int32_t>(written) : 0;
}

}  // namespace dm::serial_device
