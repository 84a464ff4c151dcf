// SPDX-License-Identifier: GPL-3.0-or-later
// Upload: a picture file, fitted into 320 x 240, sent as one JPEG stream in small paced
// writes the microscope can keep up with.
#include <QImage>
#include <algorithm>

#include "base/message_numbers.h"
#include "commands/command_timing.h"
#include "commands/device_commands.h"
#include "commands/upload_picture.h"
#include "link/frame.h"
#include "view/jpeg_codec.h"

namespace dm {

namespace {

constexpr int kJpegFilter = 1;         // the open dialog's first filter; the second is bitmaps
constexpr int kMaxUploadSize = 65535;  // exclusive: the size must fit the length field
constexpr int kPercent = 100;

QImage LoadBitmapFile(const QString& path) {
    QImage bitmap;
    bitmap.load(path, "BMP");
    return bitmap;
}

// The filter tells what the user looked for, not what the file is: a name typed into the
// dialog may be of the other kind, so that kind is tried next.
QImage LoadUploadFile(const OpenPictureChoice& choice) {
    const bool jpegFirst = choice.filterIndex == kJpegFilter;
    const QSize uploadSize(kUploadWidth, kUploadHeight);
    QImage first =
        jpegFirst ? DecodeJpegFileToFit(choice.path, uploadSize) : LoadBitmapFile(choice.path);
    if (!first.isNull()) {
        return first;
    }
    return jpegFirst ? LoadBitmapFile(choice.path) : DecodeJpegFileToFit(choice.path, uploadSize);
}

}  // namespace

void DeviceCommands::Upload() {
    window_.ApplyButtonSet(ButtonSet::Busy);
    window_.SetEnabled(Control::CameraBtn, false);

    if (const auto stream = PrepareUploadStream()) {
        SendUploadStream(*stream);
    }

    state_.transferStatus.store(kTransferDone, std::memory_order_release);
    // Cut short: the window is shown disconnected, not ready.
    if (!thread_.Sleep(timing::kUploadSettle) || Interrupted()) {
        return;
    }
    window_.ApplyButtonSet(ButtonSet::Ready);
    window_.SetEnabled(Control::CameraBtn, true);
}

// Asks for the file, shows it and encodes the fitted picture; empty when nothing is to
// be sent (cancelled or unreadable).
std::optional<QByteArray> DeviceCommands::PrepareUploadStream() {
    const auto choice = window_.ChooseUploadPicture();
    if (!choice) {
        return std::nullopt;
    }
    const QImage loaded = LoadUploadFile(*choice);
    if (loaded.isNull()) {
        window_.ShowError(window_.Message(message::kPictureFileUnreadable));
        return std::nullopt;
    }
    const QImage upload = BuildUploadPicture(loaded);
    window_.ShowPreview(loaded.scaled(kUploadWidth, kUploadHeight, Qt::IgnoreAspectRatio));
    return EncodeJpegStream(upload, kSingleSaveJpegQuality);
}

void DeviceCommands::SendUploadStream(const QByteArray& jpeg) {
    const int size = static_cast<int>(jpeg.size());
    if (size <= 0 || size >= kMaxUploadSize) {
        return;
    }
    state_.transferStatus.store(kTransferPending, std::memory_order_release);
    // A memory-full frame from an earlier upload must not stop this one: the flag now
    // answers this header alone.
    state_.memoryFull.store(false, std::memory_order_release);
    if (!WriteFrame(frame::kUpload, static_cast<uint16_t>(size))) {
        ShowErrorUnlessInterrupted(message::kUploadNotSent);
        return;
    }
    if (!thread_.Sleep(timing::kUploadHeaderWait) || UploadRefused()) {
        return;
    }

    window_.SetProgress(0);
    int shown = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(jpeg.constData());
    for (int sent = 0; sent < size;) {
        const int chunk = std::min(timing::kUploadChunkSize, size - sent);
        if (!Write(bytes + sent, chunk)) {
            window_.SetProgress(0);
            ShowErrorUnlessInterrupted(message::kUploadNotSent);
            return;
        }
        sent += chunk;
        if (!thread_.Sleep(timing::kUploadChunkPause)) {
            return;
        }
        if (UploadRefused()) {
            window_.SetProgress(0);
            return;
        }
        const int percent = sent * kPercent / size;
        if (percent != shown) {
            window_.SetProgress(percent);
            shown = percent;
        }
    }
    window_.SetProgress(kPercent);
    if (UploadAccepted()) {
        window_.ShowInfo(window_.Message(message::kUploadFinished));
    }
    window_.SetProgress(0);
}

// The data thread has told the user already: the memory-full box stands alone.
bool DeviceCommands::UploadRefused() const {
    return state_.memoryFull.load(std::memory_order_acquire);
}

// The microscope may still refuse the picture once its last byte is in: it has been
// accepted only when the line has stayed quiet for kUploadQuiet after the last write
// (any byte that comes in meanwhile starts the count again, so a refusal still on its
// way is waited for) and no memory-full reply came. A line that never falls quiet is
// taken as quiet after kUploadQuietLimit. False when refused or cut short.
bool DeviceCommands::UploadAccepted() {
    using Clock = std::chrono::steady_clock;
    const auto giveUpAt = Clock::now() + timing::kUploadQuietLimit;
    uint64_t seen = port_.BytesReceived();
    auto quietSince = Clock::now();
    while (!UploadRefused()) {
        const auto now = Clock::now();
        if (now - quietSince >= timing::kUploadQuiet || now >= giveUpAt) {
            return true;
        }
        if (!thread_.Sleep(timing::kUploadQuietPoll)) {
            return false;
        }
        if (const uint64_t received = port_.BytesReceived(); received != seen) {
            seen = received;
            quietSince = Clock::now();
        }
    }
    return false;
}

}  // namespace dm
