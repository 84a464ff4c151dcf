// SPDX-License-Identifier: GPL-3.0-or-later
// The serial port against the virtual microscope over a real pseudo-terminal: what the
// port writes reaches the device, and what the device answers reaches the receive
// buffer whole and in order through the 20 ms polls.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "link/frame.h"
#include "link/serial_port.h"
#include "view/jpeg_codec.h"
#include "virtual-microscope/virtual_microscope.h"

namespace dm {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr auto kPollPeriod = 20ms;
constexpr auto kReplyTimeout = 5s;

class SerialPortMicroscope : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = microscope_.Start();
        ASSERT_FALSE(path_.empty()) << microscope_.ErrorText();
        port_ = std::make_unique<SerialPort>(*buffer_, [this] { return PortTable({path_}); });
        ASSERT_TRUE(port_->OpenPort(0, SerialPort::kSearchBaudIndex));
    }
    void TearDown() override {
        port_->ClosePort();
        microscope_.Stop();
    }

    void Send(uint8_t command, uint16_t length = 0, const Bytes& payload = {}) {
        Bytes frame;
        const auto header = frame::MakeHeader(command, length);
        frame.assign(header.begin(), header.end());
        frame.insert(frame.end(), payload.begin(), payload.end());
        ASSERT_EQ(port_->WritePort(frame.data(), static_cast<int32_t>(frame.size())),
                  static_cast<int32_t>(frame.size()));
    }

    // Polls as the window's timer does until n bytes are buffered; takes them.
    Bytes Receive(uint32_t n) {
        const auto deadline = std::chrono::steady_clock::now() + kReplyTimeout;
        while (buffer_->Count() < n && std::chrono::steady_clock::now() < deadline) {
            port_->PollPort();
            std::this_thread::sleep_for(kPollPeriod);
        }
        Bytes bytes(n);
        std::lock_guard lock(buffer_->Lock());
        if (buffer_->Take(bytes.data(), n) != n) {
            return {};
        }
        return bytes;
    }

    // Header and payload of the next picture frame, whose length field is 8 + S.
    Bytes ReceivePictureFrame() {
        const Bytes header = Receive(frame::kHeaderSize);
        if (header.size() != frame::kHeaderSize || header[1] != frame::kPicture) {
            return {};
        }
        return Receive(frame::ReadLe16(header.data() + 2));
    }

    std::unique_ptr<ReceiveBuffer> buffer_ = std::make_unique<ReceiveBuffer>();
    vm::VirtualMicroscope microscope_;
    std::string path_;
    std::unique_ptr<SerialPort> port_;
};

TEST_F(SerialPortMicroscope, ProbeIsAnsweredWithAProbeReply) {
    Send(frame::kProbe);
    EXPECT_EQ(Receive(4), (Bytes{0xF8, 0x91, 0x00, 0x00}));
    EXPECT_TRUE(microscope_.WaitForFrame({0xF8, 0x31, 0x00, 0x00}, 1s).has_value());
}

TEST_F(SerialPortMicroscope, DirectoryAndPictureArriveWhole) {
    Send(frame::kDirectoryRequest);
    const Bytes header = Receive(frame::kHeaderSize);
    ASSERT_EQ(header.size(), frame::kHeaderSize);
    EXPECT_EQ(header[1], frame::kDirectory);
    const uint16_t length = frame::ReadLe16(header.data() + 2);
    // The directory frame carries one byte more than its length field says.
    const Bytes payload = Receive(length + 1u);
    ASSERT_EQ(payload.size(), length + 1u);
    const uint16_t count = frame::ReadLe16(payload.data());
    ASSERT_EQ(length, 8 * count + 1);
    ASSERT_GT(count, 0);

    const uint32_t info = frame::ReadLe32(payload.data() + 2);
    const uint32_t size = frame::ReadLe32(payload.data() + 6);
    Bytes number(4);
    frame::WriteLe32(number.data(), frame::PictureNumber(info));
    Send(frame::kPictureRequest, 4, number);
    const Bytes picture = ReceivePictureFrame();
    ASSERT_GE(picture.size(), frame::kPictureHeaderSize);
    EXPECT_EQ(frame::ReadLe32(picture.data()), info);
    EXPECT_EQ(frame::ReadLe32(picture.data() + 4), size);
    const QImage decoded = DecodeJpeg(picture.data() + 8, picture.size() - 8);
    EXPECT_EQ(decoded.size(), QSize(320, 240));
}

TEST_F(SerialPortMicroscope, LiveStreamFlowsBetweenCameraOnAndOff) {
    Send(frame::kCameraOn);
    for (int n = 0; n < 3; ++n) {
        const Bytes picture = ReceivePictureFrame();
        ASSERT_GT(picture.size(), frame::kPictureHeaderSize) << "live frame " << n;
        EXPECT_FALSE(DecodeJpeg(picture.data() + 8, picture.size() - 8).isNull());
    }
    Send(frame::kCameraOff);
    ASSERT_TRUE(microscope_.WaitForFrame({0xF8, 0x2A, 0x00, 0x00}, 1s).has_value());
    const auto stopped = microscope_.LiveFramesSent();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(microscope_.LiveFramesSent(), stopped) << "no frame after camera off";
}

}  // namespace
}  // namespace dm
