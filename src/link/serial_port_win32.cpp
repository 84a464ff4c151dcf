// SPDX-License-Identifier: GPL-3.0-or-later
// The serial device on Win32 communications functions.
//
// The handle is opened without overlapped I/O. The time-outs make a read return what is
// already queued, and give a write a bounded time so that a peer that stopped reading
// cannot hold the writing thread.

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string_view>

#include "link/serial_device.h"
#include "link/serial_port.h"

namespace dm::serial_device {
namespace {

constexpr DWORD kReadTotalConstantMs = 100;
constexpr DWORD kWriteTotalConstantMs = 1000;
// One byte at 9600 bits per second takes a little over 1 ms on the line.
constexpr DWORD kWriteMsPerByte = 2;
constexpr BYTE kDataBits = 8;

HANDLE AsHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

COMMTIMEOUTS PortTimeouts() {
    COMMTIMEOUTS timeouts{};
    // An interval of MAXDWORD with no multiplier: a read returns the bytes already queued.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kReadTotalConstantMs;
    timeouts.WriteTotalTimeoutMultiplier = kWriteMsPerByte;
    timeouts.WriteTotalTimeoutConstant = kWriteTotalConstantMs;
    return timeouts;
}

intptr_t Fail(HANDLE handle) {
    CloseHandle(handle);
    return SerialPort::kNoPort;
}

// What a removed USB adapter's driver answers to every call on its handle.
bool MeansGone(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
           error == ERROR_DEVICE_REMOVED || error == ERROR_GEN_FAILURE ||
           error == ERROR_INVALID_HANDLE || error == ERROR_FILE_NOT_FOUND;
}

PortProblem OpenProblem(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:  // share mode 0: another program holds the port
        case ERROR_SHARING_VIOLATION:
            return PortProblem::kInUse;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return PortProblem::kNoDevice;
        default:
            return PortProblem::kUnusable;
    }
}

}  // namespace

intptr_t Open(const std::string& device, int bitsPerSecond, PortProblem* problem) {
    if (problem != nullptr) {
        *problem = PortProblem::kUnusable;
    }
    // Share mode 0: nobody else may open the port while it is held here.
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (problem != nullptr) {
            *problem = OpenProblem(GetLastError());
        }
        return SerialPort::kNoPort;
    }
    // Only speed and framing change; flow control and the rest stay as the driver has them.
    DCB settings{};
    settings.DCBlength = sizeof(settings);
    if (!GetCommState(handle, &settings)) {
        return Fail(handle);
    }
    settings.BaudRate = static_cast<DWORD>(bitsPerSecond);
    settings.ByteSize = kDataBits;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;

    COMMTIMEOUTS timeouts = PortTimeouts();
    SetCommTimeouts(handle, &timeouts);
    if (!SetCommState(handle, &settings)) {
        return Fail(handle);
    }
    // Some drivers reset the time-outs when the line settings change; without them a
    // write would have no bound.
    if (!SetCommTimeouts(handle, &timeouts)) {
        return Fail(handle);
    }
    if (problem != nullptr) {
        *problem = PortProblem::kNone;
    }
    return reinterpret_cast<intptr_t>(handle);
}

// "\\.\COM3" is there when the DOS device COM3 is defined.
bool Present(const std::string& device) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    const std::string name =
        device.rfind(kDevicePrefix, 0) == 0 ? device.substr(kDevicePrefix.size()) : device;
    char target[MAX_PATH];
    return QueryDosDeviceA(name.c_str(), target, MAX_PATH) != 0;
}

void Close(intptr_t handle) {
    CloseHandle(AsHandle(handle));
}

int32_t QueuedBytes(intptr_t handle) {
    DWORD errors = 0;
    COMSTAT status{};
    // Also clears a pending framing, overrun or parity error, which is otherwise ignored.
    // It fails only once the device is gone.
    if (!ClearCommError(AsHandle(handle), &errors, &status)) {
        return kDeviceGone;
    }
    return static_cast<int32_t>(std::min<DWORD>(status.cbInQue, MAXLONG));
}

int32_t Read(intptr_t handle, uint8_t* dest, uint32_t n) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle), dest, static_cast<DWORD>(n), &got, nullptr)) {
        return MeansGone(GetLastError()) ? kDeviceGone : 0;
    }
    return static_cast<int32_t>(got);
}

int32_t Write(intptr_t handle, const uint8_t* bytes, int32_t n) {
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle), bytes, static_cast<DWORD>(n), &written, nullptr)) {
        return MeansGone(GetLastError()) ? kDeviceGone : static_cast<int32_t>(written);
    }
    return static_cast<int32_t>(written);
}

}  // namespace dm::serial_device

#endif  // _WIN32
