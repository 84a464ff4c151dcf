// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_device_port.h"

#include <cstdio>

namespace dm::test {

void FakeDevicePort::SetOpenablePorts(std::set<int> ports) {
    std::lock_guard lock(mutex_);
    openable_ = std::move(ports);
}

void FakeDevicePort::SetRejectWritesWhenClosed(bool reject) {
    std::lock_guard lock(mutex_);
    rejectWhenClosed_ = reject;
}

void FakeDevicePort::FailWritesAfter(std::size_t count) {
    std::lock_guard lock(mutex_);
    writesBeforeFailure_ = count;
}

void FakeDevicePort::SetWriteHook(WriteHook hook) {
    std::lock_guard lock(mutex_);
    hook_ = std::move(hook);
}

void FakeDevicePort::SetAttempt(int portNumber, OpenAttempt attempt) {
    std::lock_guard lock(mutex_);
    scripted_[portNumber] = std::move(attempt);
}

OpenAttempt FakeDevicePort::LastAttempt() const {
    std::lock_guard lock(mutex_);
    if (attempts_.empty()) {
        return {};
    }
    const int last = attempts_.back();
    if (const auto found = scripted_.find(last); found != scripted_.end()) {
        return found->second;
    }
    const PortProblem problem =
        openable_.count(last) != 0 ? PortProblem::kNone : PortProblem::kNoDevice;
    return {"fake" + std::to_string(last), problem};
}

std::vector<std::string> FakeDevicePort::DeviceNames() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> names;
    for (const auto& [number, attempt] : scripted_) {
        names.push_back(attempt.device);
    }
    return names;
}

bool FakeDevicePort::OpenPort(uint8_t portNumber, int8_t /*baudIndex*/) {
    std::lock_guard lock(mutex_);
    attempts_.push_back(portNumber);
    if (open_ >= 0 || openable_.count(portNumber) == 0) {
        return false;
    }
    open_ = portNumber;
    return true;
}

void FakeDevicePort::ClosePort() {
    std::lock_guard lock(mutex_);
    if (open_ >= 0) {
        closes_.push_back(open_);
    }
    open_ = -1;
}

bool FakeDevicePort::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_ >= 0;
}

int32_t FakeDevicePort::WritePort(const uint8_t* bytes, int32_t n) {
    WriteHook hook;
    Bytes written(bytes, bytes + n);
    {
        std::lock_guard lock(mutex_);
        if ((rejectWhenClosed_ && open_ < 0) || writes_.size() >= writesBeforeFailure_) {
            return -1;
        }
        writes_.push_back(written);
        hook = hook_;
        changed_.notify_all();
    }
    if (hook) {
        hook(written);
    }
    return n;
}

std::vector<Bytes> FakeDevicePort::Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<std::string> FakeDevicePort::WrittenHex() const {
    std::vector<std::string> lines;
    for (const Bytes& write : Writes()) {
        lines.push_back(Hex(write));
    }
    return lines;
}

std::vector<int> FakeDevicePort::OpenAttempts() const {
    std::lock_guard lock(mutex_);
    return attempts_;
}

std::vector<int> FakeDevicePort::Closes() const {
    std::lock_guard lock(mutex_);
    return closes_;
}

int FakeDevicePort::OpenPortNumber() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool FakeDevicePort::WaitForWrites(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return writes_.size() >= count; });
}

void FakeDevicePort::ClearWrites() {
    std::lock_guard lock(mutex_);
    writes_.clear();
}

std::string FakeDevicePort::Hex(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        if (i > 0) {
            text += ' ';
        }
        text += digits;
    }
    return text;
}

}  // namespace dm::test
