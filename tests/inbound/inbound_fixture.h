// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared set-up for the inbound tests: one data thread with its buffer, device state,
// lists and recording fakes, plus builders for the frames the microscope sends.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "inbound/data_proc_thread.h"
#include "link/frame.h"
#include "support/recording_frame_writer.h"
#include "support/recording_live_sink.h"
#include "support/recording_window.h"

namespace dm::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Frame(uint8_t command, uint16_t length, const Bytes& payload = {}) {
    const auto header = frame::MakeHeader(command, length);
    Bytes bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

inline Bytes Le32(uint32_t value) {
    Bytes bytes(4);
    frame::WriteLe32(bytes.data(), value);
    return bytes;
}

// A stand-in picture: a JPEG start-of-image marker, then any bytes (the data thread does
// not decode them).
inline Bytes Picture(uint32_t size, uint8_t seed) {
    Bytes bytes(size);
    for (uint32_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    if (size >= 2) {
        bytes[0] = 0xFF;
        bytes[1] = 0xD8;
    }
    return bytes;
}

// A picture frame whose length field is given separately from the picture size.
inline Bytes PictureFrame(uint16_t length, uint32_t info, uint32_t size, const Bytes& picture) {
    return Frame(frame::kPicture, length, Concat({Le32(info), Le32(size), picture}));
}

inline Bytes PictureFrame(uint32_t info, const Bytes& picture) {
    const auto size = static_cast<uint32_t>(picture.size());
    return PictureFrame(static_cast<uint16_t>(frame::kPictureHeaderSize + size), info, size,
                        picture);
}

// Directory of the given entries with the length field a microscope uses (8N + 1).
inline Bytes DirectoryFrame(uint16_t announcedCount,
                            const std::vector<frame::DirectoryEntry>& entries) {
    Bytes payload(2);
    frame::WriteLe16(payload.data(), announcedCount);
    for (const auto& entry : entries) {
        const Bytes info = Le32(entry.info);
        const Bytes size = Le32(entry.size);
        payload.insert(payload.end(), info.begin(), info.end());
        payload.insert(payload.end(), size.begin(), size.end());
    }
    const auto length = static_cast<uint16_t>(entries.size() * frame::kDirectoryEntrySize + 1);
    return Frame(frame::kDirectory, length, payload);
}

inline std::vector<frame::DirectoryEntry> Entries(int n) {
    std::vector<frame::DirectoryEntry> entries;
    for (int i = 0; i < n; ++i) {
        entries.push_back(
            {frame::MakeInfo(1000 + i, static_cast<uint8_t>(i)), static_cast<uint32_t>(5000 + i)});
    }
    return entries;
}

inline const Bytes kProbeReplyFrame = Frame(frame::kProbeReply, 0);

inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class InboundTest : public ::testing::Test {
  protected:
    // A directory frame is only taken as the answer to a request.
    InboundTest() { state.directoryExpected = true; }

    // Appends as the window's poll does, under the buffer lock.
    void Feed(const Bytes& bytes) {
        std::lock_guard guard(buffer->Lock());
        ASSERT_EQ(buffer->Append(bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
    }

    // Dispatches until less than a header is left; returns the number of passes.
    int DispatchAll() {
        int passes = 0;
        while (thread.DispatchFrame()) {
            ++passes;
        }
        return passes;
    }

    uint8_t Status() const { return state.transferStatus.load(); }

    void StopThread() {
        thread.RequestStop();
        window.ReleaseBoxes();
        ASSERT_TRUE(thread.wait(QDeadlineTimer(10000)));
    }

    std::unique_ptr<ReceiveBuffer> buffer = std::make_unique<ReceiveBuffer>();
    RecordingFrameWriter writer;
    DeviceState state;
    IMAGE_BUFFER pictures;
    IMAGE_BUFFER snapshots;
    RecordingLiveSink live;
    RecordingWindow window;
    TDataProcThread thread{*buffer, writer, state, pictures, snapshots, live, window};
};

}  // namespace dm::test
