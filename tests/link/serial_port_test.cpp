// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port over a real pseudo-terminal: the test holds the master side as the
// microscope would, the port opens the slave side through its port table.
#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace dm {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr auto kDeliveryLimit = std::chrono::seconds(5);
constexpr auto kPollPause = std::chrono::milliseconds(2);
// How long to watch for bytes that must not come.
constexpr auto kQuietSpell = std::chrono::milliseconds(100);
const Bytes kProbe = {0xF8, 0x31, 0x00, 0x00};

Bytes Sequence(size_t n, uint8_t start = 0) {
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

// The peer: a pseudo-terminal master, plus one slave descriptor opened before the port
// so the test can look at the slave's input queue and modes without disturbing it.
class PseudoTerminal {
  public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
            return;
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        char name[128] = {};
        if (::ptsname_r(master_, name, sizeof(name)) == 0) {
            slavePath_ = name;
            observer_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        }
    }
    ~PseudoTerminal() {
        if (observer_ >= 0) {
            ::close(observer_);
        }
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool Ready() const { return master_ >= 0 && observer_ >= 0; }
    // As if the microscope's cable were pulled: the slave side hangs up.
    void CloseMaster() {
        ::close(master_);
        master_ = -1;
    }
    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }
    int Observer() const { return observer_; }

    // Bytes the slave side holds for its reader.
    int SlaveQueued() const {
        int queued = -1;
        ::ioctl(observer_, FIONREAD, &queued);
        return queued;
    }

    void WriteAll(const Bytes& bytes) const {
        size_t done = 0;
        const auto deadline = Clock::now() + kDeliveryLimit;
        while (done < bytes.size() && Clock::now() < deadline) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else {
                std::this_thread::sleep_for(kPollPause);
            }
        }
    }

    // Whatever the slave side sent, read until n bytes have come or the limit passes.
    Bytes ReadUpTo(size_t n, Clock::duration limit = kDeliveryLimit) const {
        Bytes got;
        const auto deadline = Clock::now() + limit;
        while (got.size() < n && Clock::now() < deadline) {
            uint8_t chunk[4096];
            const ssize_t r = ::read(master_, chunk, std::min(sizeof(chunk), n - got.size()));
            if (r > 0) {
                got.insert(got.end(), chunk, chunk + r);
            } else {
                std::this_thread::sleep_for(kPollPause);
            }
        }
        return got;
    }

  private:
    int master_ = -1;
    int observer_ = -1;
    std::string slavePath_;
};

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty_.Ready()) << "no pseudo-terminal available"; }

    SerialPort::PortTableSource TableOfTheSlave() const {
        return [path = pty_.SlavePath()] { return PortTable({path}); };
    }

    void Fill(uint32_t n) {
        const Bytes filler = Sequence(n);
        std::lock_guard lock(buffer_->Lock());
        ASSERT_EQ(buffer_->Append(filler.data(), n), n);
    }

    Bytes TakeAll() {
        std::lock_guard lock(buffer_->Lock());
        Bytes bytes(buffer_->Count());
        buffer_->Take(bytes.data(), static_cast<uint32_t>(bytes.size()));
        return bytes;
    }

    // Polls as the window timer does until n bytes are buffered or the limit passes.
    // Returns the number of polls that added something.
    int PollUntilBuffered(uint32_t n) {
        int productivePolls = 0;
        const auto deadline = Clock::now() + kDeliveryLimit;
        while (buffer_->Count() < n && Clock::now() < deadline) {
            const uint32_t before = buffer_->Count();
            port_.PollPort();
            const uint32_t added = buffer_->Count() - before;
            EXPECT_LE(added, SerialPort::kPollChunkSize);
            if (added > 0) {
                ++productivePolls;
            } else {
                std::this_thread::sleep_for(kPollPause);
            }
        }
        return productivePolls;
    }

    bool WaitUntilSlaveHolds(int n) const {
        const auto deadline = Clock::now() + kDeliveryLimit;
        while (pty_.SlaveQueued() < n && Clock::now() < deadline) {
            std::this_thread::sleep_for(kPollPause);
        }
        return pty_.SlaveQueued() == n;
    }

    int WriteBytes(SerialPort& port, const Bytes& bytes) {
        return port.WritePort(bytes.data(), static_cast<int32_t>(bytes.size()));
    }

    PseudoTerminal pty_;
    std::unique_ptr<ReceiveBuffer> buffer_ = std::make_unique<ReceiveBuffer>();
    SerialPort port_{*buffer_, TableOfTheSlave()};
};

TEST_F(SerialPortTest, OpensRawAt115200AndTheProbeReachesThePeer) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    EXPECT_TRUE(port_.IsOpen());

    termios modes{};
    ASSERT_EQ(::tcgetattr(pty_.Observer(), &modes), 0);
    EXPECT_EQ(::cfgetospeed(&modes), B115200);
    EXPECT_EQ(modes.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(modes.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(modes.c_cc[VMIN], 0);
    EXPECT_EQ(modes.c_cc[VTIME], 1);

    EXPECT_EQ(WriteBytes(port_, kProbe), 4);
    EXPECT_EQ(pty_.ReadUpTo(4), kProbe);
}

TEST_F(SerialPortTest, EveryByteValuePassesUntranslatedBothWays) {
    ASSERT_TRUE(port_.OpenPort(0, 0));
    const Bytes all = Sequence(256);  // CR, LF, XON, XOFF, ^C, 0xFF ... all unchanged

    EXPECT_EQ(WriteBytes(port_, all), 256);
    EXPECT_EQ(pty_.ReadUpTo(256), all) << "nothing translated";

    pty_.WriteAll(all);
    PollUntilBuffered(256);
    EXPECT_EQ(TakeAll(), all);
    EXPECT_EQ(pty_.ReadUpTo(1, kQuietSpell), Bytes{}) << "received bytes are not echoed back";
}

TEST_F(SerialPortTest, BurstLargerThanOnePollArrivesWholeAndInOrder) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    const Bytes burst = Sequence(15000, 3);

    std::thread peer([&] { pty_.WriteAll(burst); });
    const int polls = PollUntilBuffered(static_cast<uint32_t>(burst.size()));
    peer.join();

    EXPECT_GE(polls, 2) << "one poll moves at most " << SerialPort::kPollChunkSize << " bytes";
    EXPECT_EQ(TakeAll(), burst);
}

TEST_F(SerialPortTest, PollWithAnEmptyQueueNeitherLocksNorTouchesTheBuffer) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    Fill(7);
    ASSERT_EQ(pty_.SlaveQueued(), 0);

    // With the lock held here, a poll that wanted it could not finish.
    std::unique_lock held(buffer_->Lock());
    auto poll = std::async(std::launch::async, [&] { port_.PollPort(); });
    const bool finished = poll.wait_for(kDeliveryLimit) == std::future_status::ready;
    held.unlock();
    poll.wait();

    EXPECT_TRUE(finished);
    EXPECT_EQ(TakeAll(), Sequence(7));
}

TEST_F(SerialPortTest, ChunkRefusedByAFullBufferIsLostWithoutLingering) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    Fill(ReceiveBuffer::kMaxHeld);
    pty_.WriteAll(Sequence(10, 0xA0));
    ASSERT_TRUE(WaitUntilSlaveHolds(10));

    port_.PollPort();
    EXPECT_EQ(buffer_->Count(), ReceiveBuffer::kMaxHeld);
    EXPECT_EQ(pty_.SlaveQueued(), 0) << "the chunk was read from the driver";

    {
        std::lock_guard lock(buffer_->Lock());
        buffer_->Clear();
    }
    const Bytes after = {'A', 'B'};
    pty_.WriteAll(after);
    PollUntilBuffered(2);
    EXPECT_EQ(TakeAll(), after);
}

TEST_F(SerialPortTest, OpenWhileOpenFailsAndLeavesBufferAndPortAlone) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    Fill(5);

    EXPECT_FALSE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_EQ(buffer_->Count(), 5u);
    EXPECT_EQ(WriteBytes(port_, kProbe), 4);
    EXPECT_EQ(pty_.ReadUpTo(4), kProbe);
}

TEST_F(SerialPortTest, SecondPortIsRefusedWhileTheFirstHoldsTheDevice) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    auto otherBuffer = std::make_unique<ReceiveBuffer>();
    {
        SerialPort other(*otherBuffer, TableOfTheSlave());
        EXPECT_FALSE(other.OpenPort(0, SerialPort::kSearchBaudIndex));
        EXPECT_FALSE(other.IsOpen());
        EXPECT_EQ(WriteBytes(other, kProbe), -1);

        port_.ClosePort();
        EXPECT_TRUE(other.OpenPort(0, SerialPort::kSearchBaudIndex));
        EXPECT_FALSE(port_.OpenPort(0, SerialPort::kSearchBaudIndex)) << "now the other holds it";
    }
    EXPECT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex)) << "destruction let it go";
}

TEST_F(SerialPortTest, ExclusiveModeLastsExactlyAsLongAsThePortIsHeld) {
    int exclusive = -1;
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    ASSERT_EQ(::ioctl(pty_.Observer(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    // The master keeps the terminal alive; a left-over exclusive mode would turn away
    // every later open by an ordinary user.
    port_.ClosePort();
    ASSERT_EQ(::ioctl(pty_.Observer(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
}

TEST_F(SerialPortTest, DeviceThatCannotBeOpenedFailsWithTheBufferCleared) {
    const auto tryDevice = [&](const std::string& device) {
        auto buffer = std::make_unique<ReceiveBuffer>();
        const Bytes held = Sequence(9);
        buffer->Append(held.data(), 9);
        SerialPort port(*buffer, [device] { return PortTable({device}); });
        EXPECT_FALSE(port.OpenPort(0, SerialPort::kSearchBaudIndex)) << device;
        EXPECT_FALSE(port.IsOpen()) << device;
        EXPECT_EQ(buffer->Count(), 0u) << device;
        EXPECT_EQ(WriteBytes(port, kProbe), -1) << device;
    };
    tryDevice("/nonexistent/ttyUSB0");
    tryDevice("/dev/null");  // exists, but is no terminal

    char plainFile[] = "/tmp/serial-port-test-XXXXXX";
    const int fd = ::mkstemp(plainFile);
    ASSERT_GE(fd, 0);
    ::close(fd);
    tryDevice(plainFile);
    ::unlink(plainFile);
}

TEST_F(SerialPortTest, NumbersOutsideThePortOrBaudTableFail) {
    int tableReads = 0;
    SerialPort port(*buffer_, [&] {
        ++tableReads;
        return PortTable({pty_.SlavePath()});
    });
    Fill(3);

    EXPECT_FALSE(port.OpenPort(1, SerialPort::kSearchBaudIndex));
    EXPECT_FALSE(port.OpenPort(255, SerialPort::kSearchBaudIndex));
    EXPECT_EQ(buffer_->Count(), 0u);
    EXPECT_FALSE(port.OpenPort(0, std::size(SerialPort::kBaudRates)));
    EXPECT_FALSE(port.OpenPort(0, -1));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.OpenPort(0, 0));
    EXPECT_EQ(tableReads, 5) << "the table is asked afresh on every open";
}

TEST_F(SerialPortTest, WithoutAPortWritesReportMinusOneAndPollsDoNothing) {
    Fill(4);
    EXPECT_EQ(WriteBytes(port_, kProbe), -1);
    port_.PollPort();
    port_.ClosePort();  // closing nothing is harmless
    EXPECT_EQ(buffer_->Count(), 4u);

    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    port_.ClosePort();
    port_.ClosePort();
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(WriteBytes(port_, kProbe), -1);
    EXPECT_EQ(pty_.ReadUpTo(1, kQuietSpell), Bytes{});
}

TEST_F(SerialPortTest, WriteToAPeerThatStoppedReadingReturnsInsteadOfHanging) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    const Bytes flood(1 << 20, 0x55);

    // The terminal's buffers fill up; from then on a write gives up with 0.
    constexpr int kMostWrites = 20;
    int32_t written = 0;
    int writes = 0;
    do {
        written = WriteBytes(port_, flood);
        EXPECT_LT(written, static_cast<int32_t>(flood.size())) << "one write, what fitted";
        ++writes;
    } while (written > 0 && writes < kMostWrites);
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(port_.IsOpen());
}

TEST_F(SerialPortTest, CloseWaitsForWritersOnOtherThreads) {
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    std::atomic<bool> started{false};
    std::thread writer([&] {
        while (WriteBytes(port_, kProbe) != -1) {
            started.store(true);
            uint8_t drain[64];
            while (::read(pty_.Master(), drain, sizeof(drain)) > 0) {
            }
        }
    });
    const auto deadline = Clock::now() + kDeliveryLimit;
    while (!started.load() && Clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(started.load());
    port_.ClosePort();
    writer.join();
    EXPECT_FALSE(port_.IsOpen());
}

// A pulled cable is met by whichever of the poll and the writers comes first; the port is
// closed and the loss told once, and bytes that came before it are still delivered.
TEST_F(SerialPortTest, ADeviceThatGoesAwayClosesThePortAndIsToldOnce) {
    std::atomic<int> losses{0};
    for (const bool pollFirst : {true, false}) {
        SCOPED_TRACE(pollFirst ? "met by the poll" : "met by a write");
        PseudoTerminal pty;
        ASSERT_TRUE(pty.Ready());
        losses = 0;
        SerialPort port(*buffer_, [path = pty.SlavePath()] { return PortTable({path}); });
        port.SetLossHandler([&] { ++losses; });
        ASSERT_TRUE(port.OpenPort(0, SerialPort::kSearchBaudIndex));
        pty.WriteAll(kProbe);
        const auto deadline = Clock::now() + kDeliveryLimit;
        while (pty.SlaveQueued() < static_cast<int>(kProbe.size()) && Clock::now() < deadline) {
            std::this_thread::sleep_for(kPollPause);
        }
        if (pollFirst) {
            port.PollPort();  // takes the probe while the line is still up
            pty.CloseMaster();
            port.PollPort();
        } else {
            pty.CloseMaster();
            EXPECT_EQ(WriteBytes(port, kProbe), -1);
        }
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(losses.load(), 1);
        port.PollPort();
        EXPECT_EQ(WriteBytes(port, kProbe), -1);
        port.ClosePort();
        EXPECT_EQ(losses.load(), 1) << "told once, and closing afterwards is no second loss";
        if (pollFirst) {
            EXPECT_EQ(TakeAll(), kProbe) << "bytes from before the loss are kept";
        }
    }
}

TEST_F(SerialPortTest, AQuietLineAndAPortClosedByTheUserAreNoLoss) {
    int losses = 0;
    port_.SetLossHandler([&] { ++losses; });
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    for (int i = 0; i < 5; ++i) {
        port_.PollPort();
    }
    EXPECT_TRUE(port_.IsOpen());
    port_.ClosePort();
    pty_.CloseMaster();
    port_.PollPort();
    EXPECT_EQ(losses, 0);
}

// The port search tells the user why a port gave no microscope.
TEST_F(SerialPortTest, AFailedOpenSaysWhy) {
    const auto attemptOn = [&](const std::string& device) {
        SerialPort port(*buffer_, [device] { return PortTable({device}); });
        EXPECT_FALSE(port.OpenPort(0, SerialPort::kSearchBaudIndex)) << device;
        EXPECT_EQ(port.LastAttempt().device, device);
        return port.LastAttempt().problem;
    };
    EXPECT_EQ(attemptOn("/nonexistent/ttyUSB0"), PortProblem::kNoDevice);
    EXPECT_EQ(attemptOn("/dev/null"), PortProblem::kUnusable);

    // Held by another program (here: another open of the same device, as a second copy
    // of this program would hold it).
    ASSERT_TRUE(port_.OpenPort(0, SerialPort::kSearchBaudIndex));
    EXPECT_EQ(port_.LastAttempt().problem, PortProblem::kNone);
    EXPECT_EQ(attemptOn(pty_.SlavePath()), PortProblem::kInUse);
    port_.ClosePort();

    SerialPort beyond(*buffer_, TableOfTheSlave());
    EXPECT_FALSE(beyond.OpenPort(3, SerialPort::kSearchBaudIndex));
    EXPECT_EQ(beyond.LastAttempt().problem, PortProblem::kNoDevice);
    EXPECT_TRUE(beyond.LastAttempt().device.empty());
    EXPECT_EQ(beyond.DeviceNames(), std::vector<std::string>{pty_.SlavePath()});
}

TEST_F(SerialPortTest, APortTheUserMayNotOpenSaysPermissionDenied) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may open any file; run as an ordinary user to check this";
    }
    char refused[] = "/tmp/serial-port-refused-XXXXXX";
    const int fd = ::mkstemp(refused);
    ASSERT_GE(fd, 0);
    ::fchmod(fd, 0);
    ::close(fd);
    SerialPort port(*buffer_, [path = std::string(refused)] { return PortTable({path}); });
    EXPECT_FALSE(port.OpenPort(0, SerialPort::kSearchBaudIndex));
    EXPECT_EQ(port.LastAttempt().problem, PortProblem::kPermissionDenied);
    ::unlink(refused);
}

}  // namespace
}  // namespace dm
