// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A virtual microscope started in-process with a raw client on its pseudo-terminal.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/frame.h"
#include "pty_client.h"
#include "virtual-microscope/virtual_microscope.h"

namespace dm::vm::testing {

class MicroscopeTest : public ::testing::Test {
  protected:
    void StartMicroscope(Options options = {}) {
        microscope_ = std::make_unique<VirtualMicroscope>(std::move(options));
        path_ = microscope_->Start();
        ASSERT_FALSE(path_.empty()) << microscope_->ErrorText();
        client_ = std::make_unique<PtyClient>(path_);
        ASSERT_TRUE(client_->IsOpen()) << path_;
    }

    void TearDown() override {
        client_.reset();
        if (microscope_) {
            microscope_->Stop();
        }
    }

    std::optional<ReceivedFrame> Ask(const Bytes& request) {
        client_->Write(request);
        return client_->ReadFrame();
    }

    // The directory as the program would store it; nullopt when no directory came.
    std::optional<std::vector<frame::DirectoryEntry>> Directory() {
        const auto reply = Ask(Request(frame::kDirectoryRequest));
        if (!reply || reply->command != frame::kDirectory) {
            return std::nullopt;
        }
        const uint16_t count = frame::ReadLe16(reply->payload.data());
        std::vector<frame::DirectoryEntry> entries;
        for (std::size_t i = 0; i < count; ++i) {
            const uint8_t* entry = reply->payload.data() + 2 + frame::kDirectoryEntrySize * i;
            entries.push_back({frame::ReadLe32(entry), frame::ReadLe32(entry + 4)});
        }
        return entries;
    }

    std::unique_ptr<VirtualMicroscope> microscope_;
    std::unique_ptr<PtyClient> client_;
    std::string path_;
};

struct PictureFrame {
    uint16_t length = 0;
    uint32_t info = 0;
    uint32_t size = 0;
    Bytes jpeg;
};

inline std::optional<PictureFrame> AsPicture(const std::optional<ReceivedFrame>& received) {
    if (!received || received->command != frame::kPicture || received->payload.size() < 8) {
        return std::nullopt;
    }
    PictureFrame picture;
    picture.length = received->length;
    picture.info = frame::ReadLe32(received->payload.data());
    picture.size = frame::ReadLe32(received->payload.data() + 4);
    picture.jpeg.assign(received->payload.begin() + 8, received->payload.end());
    return picture;
}

}  // namespace dm::vm::testing
