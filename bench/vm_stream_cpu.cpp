// SPDX-License-Identifier: GPL-3.0-or-later
// What the virtual-microscope executable costs while it streams its live camera: the
// executable runs as a child process, a reader opens its pseudo-terminal with the
// program's own SerialPort, starts the link, switches the camera on and then reads the
// way the program's window timer does (one PollPort every 20 ms). The child's CPU time
// (user + system, all threads, from /proc/<pid>/stat) over the measured span is printed
// as a share of one core.
//
// usage: vm_stream_cpu [virtual-microscope executable] [seconds]
// The executable defaults to the one in the build folder above this program.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/frame.h"
#include "link/port_table.h"
#include "link/receive_buffer.h"
#include "link/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kDefaultSpan = 10s;
constexpr auto kStartUpLimit = 10s;
constexpr auto kWarmUp = 1s;        // the stream is running at its steady pace by then
constexpr auto kPollPeriod = 20ms;  // the window's timer
constexpr auto kEndLimit = 5s;
constexpr char kPathPrefix[] = "virtual-microscope: ";
// utime and stime are fields 14 and 15 of /proc/<pid>/stat, counted from 1; the
// fields after the command name (which ends with the last ')') start with field 3.
constexpr int kUtimeFieldAfterName = 14 - 3;

// The virtual microscope as a child process with its stdout on a pipe, and its links
// published in a folder of its own so that no program running on the machine finds it.
// Ended (SIGTERM, then SIGKILL) and reaped when this object goes.
class Microscope {
  public:
    explicit Microscope(const std::string& program) {
        char folder[] = "/tmp/vm-stream-cpu-XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            return;
        }
        runtimeDir_ = folder;
        int out[2];
        if (::pipe(out) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setenv("XDG_RUNTIME_DIR", runtimeDir_.c_str(), 1);
            ::dup2(out[1], STDOUT_FILENO);
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDERR_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        out_ = out[0];
    }
    ~Microscope() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            const auto deadline = Clock::now() + kEndLimit;
            while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
                if (Clock::now() >= deadline) {
                    ::kill(pid_, SIGKILL);
                    ::waitpid(pid_, nullptr, 0);
                    break;
                }
                std::this_thread::sleep_for(kPollPeriod);
            }
        }
        if (out_ >= 0) {
            ::close(out_);
        }
        if (!runtimeDir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(runtimeDir_, ignored);
        }
    }
    Microscope(const Microscope&) = delete;
    Microscope& operator=(const Microscope&) = delete;

    // The slave path it prints on its first line, or "" when that does not come in time.
    std::string SlavePath() {
        std::string line;
        const auto deadline = Clock::now() + kStartUpLimit;
        while (out_ >= 0 && Clock::now() < deadline) {
            pollfd entry{out_, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(kPollPeriod.count())) <= 0) {
                continue;
            }
            char c = 0;
            if (::read(out_, &c, 1) != 1) {
                break;
            }
            if (c == '\n') {
                return line.rfind(kPathPrefix, 0) == 0 ? line.substr(sizeof kPathPrefix - 1)
                                                       : std::string();
            }
            line += c;
        }
        return {};
    }

    pid_t Pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string runtimeDir_;
};

std::optional<double> CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(nameEnd + 1));
    std::string field;
    for (int i = 0; i < kUtimeFieldAfterName && fields >> field; ++i) {
    }
    unsigned long long user = 0;
    unsigned long long system = 0;
    if (!(fields >> user >> system)) {
        return std::nullopt;
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Counts the picture frames in the byte stream (the live stream sends nothing else).
class FrameCounter {
  public:
    void Feed(const std::vector<uint8_t>& bytes) {
        for (const uint8_t byte : bytes) {
            if (skip_ > 0) {
                --skip_;
                continue;
            }
            header_.push_back(byte);
            if (header_.size() == dm::frame::kHeaderSize) {
                const auto header = dm::frame::ParseHeader(header_.data());
                if (header_[0] == dm::frame::kLead && header_[1] == dm::frame::kPicture) {
                    ++frames_;
                    skip_ = header.length;
                    header_.clear();
                } else {
                    header_.erase(header_.begin());
                }
            }
        }
    }
    std::size_t Frames() const { return frames_; }

  private:
    std::vector<uint8_t> header_;
    std::size_t skip_ = 0;
    std::size_t frames_ = 0;
};

std::string DefaultExecutable() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("virtual-microscope")
                 : (self.parent_path().parent_path() / "virtual-microscope").string();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 ? argv[1] : DefaultExecutable();
    const auto span = argc > 2 ? std::chrono::duration<double>(std::atof(argv[2]))
                               : std::chrono::duration<double>(kDefaultSpan);
    Microscope microscope(program);
    const std::string path = microscope.SlavePath();
    if (path.empty()) {
        std::fprintf(stderr, "vm_stream_cpu: %s did not start\n", program.c_str());
        return 1;
    }

    dm::ReceiveBuffer buffer;
    dm::SerialPort port(buffer, [path] { return dm::PortTable({path}); });
    if (!port.OpenPort(0, dm::SerialPort::kSearchBaudIndex)) {
        std::fprintf(stderr, "vm_stream_cpu: cannot open %s\n", path.c_str());
        return 1;
    }
    for (const uint8_t command : {dm::frame::kLinkStart, dm::frame::kCameraOn}) {
        const auto request = dm::frame::MakeHeader(command);
        port.WritePort(request.data(), static_cast<int32_t>(request.size()));
    }

    FrameCounter counter;
    std::size_t bytes = 0;
    auto readFor = [&](std::chrono::duration<double> how_long) {
        const auto end = Clock::now() + how_long;
        auto next = Clock::now();
        while (Clock::now() < end) {
            port.PollPort();
            std::vector<uint8_t> got(buffer.Count());
            {
                std::lock_guard lock(buffer.Lock());
                got.resize(buffer.Take(got.data(), static_cast<uint32_t>(got.size())));
            }
            bytes += got.size();
            counter.Feed(got);
            next += kPollPeriod;
            std::this_thread::sleep_until(next);
        }
    };

    readFor(kWarmUp);
    bytes = 0;
    const std::size_t framesBefore = counter.Frames();
    const auto cpuBefore = CpuSeconds(microscope.Pid());
    const auto started = Clock::now();
    readFor(span);
    const auto cpuAfter = CpuSeconds(microscope.Pid());
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const std::size_t frames = counter.Frames() - framesBefore;

    const auto off = dm::frame::MakeHeader(dm::frame::kCameraOff);
    port.WritePort(off.data(), static_cast<int32_t>(off.size()));
    port.ClosePort();
    if (!cpuBefore || !cpuAfter) {
        std::fprintf(stderr, "vm_stream_cpu: cannot read the CPU time of %d\n",
                     static_cast<int>(microscope.Pid()));
        return 1;
    }
    std::printf("received %zu live frames (%.1f a second, %.0f bytes a second) in %.1f s\n", frames,
                static_cast<double>(frames) / seconds, static_cast<double>(bytes) / seconds,
                seconds);
    std::printf("virtual microscope while streaming: %.2f %% of a core\n",
                100.0 * (*cpuAfter - *cpuBefore) / seconds);
    return frames > 0 ? 0 : 1;
}
