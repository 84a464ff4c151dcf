// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/device_session.h"

#include <QPoint>

#include "app/main_window.h"
#include "app/measuring_pictures.h"
#include "app/picture_box.h"
#include "commands/cmd_proc_thread.h"
#include "commands/command_codes.h"
#include "commands/connection_keeper.h"
#include "commands/device_commands.h"
#include "commands/device_control.h"
#include "commands/snapshot_finisher.h"
#include "inbound/data_proc_thread.h"
#include "link/frame.h"
#include "measure_window/measure_window.h"
#include "view/digital_zoom.h"
#include "view/download_finisher.h"
#include "view/jpeg_codec.h"
#include "view/picture_browser.h"
#include "view/scratch_folders.h"

namespace dm {

DeviceSession::DeviceSession(TForm1& form, SerialPort::PortTableSource portTable)
    : form_(form),
      buffer_(std::make_unique<ReceiveBuffer>()),
      port_(*buffer_, std::move(portTable)),
      liveView_(form.State(), form, surface_) {
    form_.SetDevicePort(&port_);
    form_.SetWorkerStart([this] { StartWorkers(); });
    form_.SetWorkerWithdrawal([this] { WithdrawWorkers(); });
    form_.SetExitCleanup([this] { RemoveScratchFolders(); });
    form_.SetHandlers(this);
}

DeviceSession::~DeviceSession() {
    form_.SetHandlers(nullptr);
    form_.SetWorkerStart({});
    form_.SetWorkerWithdrawal({});
    form_.SetExitCleanup({});
    // The command thread first: it may be waiting for a picture the data thread delivers.
    if (cmdThread_) {
        cmdThread_->RequestStop();
        cmdThread_->wait();
    }
    if (dataThread_) {
        dataThread_->RequestStop();
        dataThread_->wait();
    }
    port_.ClosePort();
    form_.SetDevicePort(nullptr);
}

// The data thread runs from here on; the command thread waits for its first request.
void DeviceSession::StartWorkers() {
    cmdThread_ = std::make_unique<TCmdProcThread>(form_.State());
    cmdThread_->start();
    dataThread_ = std::make_unique<TDataProcThread>(*buffer_, port_, form_.State(), pictures_,
                                                    snapshots_, liveView_, form_);
    dataThread_->start();
}

// On the way out: nothing queued runs, the running command writes nothing more and no
// command starts after it.
void DeviceSession::WithdrawWorkers() {
    if (cmdThread_) {
        cmdThread_->WithdrawAll();
        cmdThread_->RequestStop();
    }
}

void DeviceSession::Attach() {
    if (!cmdThread_) {
        StartWorkers();
    }
    DeviceState& state = form_.State();
    scratch_ = std::make_unique<ScratchFolders>(form_.ScratchFolder());
    const QString& downloads = scratch_->DownloadsFolder();
    // The live view control starts out showing what start-up drew on it.
    surface_.DrawUnscaled(form_.Image3()->Picture());

    commands_ =
        std::make_unique<DeviceCommands>(state, port_, form_, pictures_, *cmdThread_, downloads);
    commands_->Register(*cmdThread_);
    downloadZoom_ = std::make_unique<DigitalZoom>(surface_, form_, downloads);
    snapshotZoom_ = std::make_unique<DigitalZoom>(surface_, form_, scratch_->SnapshotsFolder());
    downloadFinisher_ = std::make_unique<DownloadFinisher>(state, form_, pictures_, *downloadZoom_);
    snapshotFinisher_ = std::make_unique<SnapshotFinisher>(
        state, form_, snapshots_, *snapshotZoom_,
        [this](uint16_t code) { cmdThread_->RequestCommand(code); });
    browser_ = std::make_unique<PictureBrowser>(state, form_, pictures_, downloads);
    control_ = std::make_unique<DeviceControl>(state, port_, *cmdThread_, form_);
    control_->SetSnapshotStarter([this] { snapshotFinisher_->Begin(); });
    keeper_ = std::make_unique<ConnectionKeeper>(state, port_, *cmdThread_, form_, *commands_,
                                                 [this] { control_->CameraBtnClick(); });
    control_->SetDisconnectedView([this] { keeper_->Disconnected(); });
    // No port opens before this: every search runs after Attach.
    port_.SetLossHandler([this] { keeper_->LinkLost(); });
}

bool DeviceSession::CommandsIdle() const {
    return !cmdThread_ || cmdThread_->IsIdle();
}

bool DeviceSession::LinkLostState() const {
    return keeper_ && keeper_->InLostState();
}

QString DeviceSession::DownloadsFolder() const {
    return scratch_ ? scratch_->DownloadsFolder() : QString();
}

void DeviceSession::RemoveScratchFolders() {
    if (scratch_) {
        scratch_->Remove();
    }
}

// Handlers: nothing happens before Attach (a failed start-up never gets that far).
void DeviceSession::ToControl(void (DeviceControl::*handler)()) {
    if (Attached()) {
        (control_.get()->*handler)();
    }
}

void DeviceSession::ToBrowser(void (PictureBrowser::*handler)()) {
    if (Attached()) {
        (browser_.get()->*handler)();
    }
}

void DeviceSession::RequestCommand(uint16_t code) {
    if (Attached()) {
        cmdThread_->RequestCommand(code);
    }
}

void DeviceSession::ConnectBtnClick() {
    ToControl(&DeviceControl::ConnectBtnClick);
}
void DeviceSession::DownloadBtnClick() {
    ToControl(&DeviceControl::DownloadBtnClick);
}
void DeviceSession::UploadBtnClick() {
    ToControl(&DeviceControl::UploadBtnClick);
}
void DeviceSession::CameraBtnClick() {
    ToControl(&DeviceControl::CameraBtnClick);
}
void DeviceSession::SnapShotBtnClick() {
    ToControl(&DeviceControl::SnapShotBtnClick);
}
void DeviceSession::UpBtnClick() {
    ToControl(&DeviceControl::UpBtnClick);
}
void DeviceSession::LeftBtnClick() {
    ToControl(&DeviceControl::LeftBtnClick);
}
void DeviceSession::CentralBtnClick() {
    ToControl(&DeviceControl::CentralBtnClick);
}
void DeviceSession::RightBtnClick() {
    ToControl(&DeviceControl::RightBtnClick);
}
void DeviceSession::DownBtnClick() {
    ToControl(&DeviceControl::DownBtnClick);
}
void DeviceSession::ZoomOutBtnClick() {
    ToControl(&DeviceControl::ZoomOutBtnClick);
}
void DeviceSession::LockBtnClick() {
    ToControl(&DeviceControl::LockBtnClick);
}
void DeviceSession::ZoomInBtnClick() {
    ToControl(&DeviceControl::ZoomInBtnClick);
}
void DeviceSession::ListView1Click() {
    ToBrowser(&PictureBrowser::ListView1Click);
}
void DeviceSession::CheckBox1Click() {
    ToBrowser(&PictureBrowser::CheckBox1Click);
}
void DeviceSession::CheckBox2Click() {
    ToBrowser(&PictureBrowser::CheckBox2Click);
}
void DeviceSession::SaveBtnClick() {
    ToBrowser(&PictureBrowser::SaveBtnClick);
}
void DeviceSession::SaveAllBtnClick() {
    ToBrowser(&PictureBrowser::SaveAllBtnClick);
}
void DeviceSession::DelBtnClick() {
    RequestCommand(command::kDeleteSelected);
}
void DeviceSession::Delete1Click() {
    RequestCommand(command::kDeleteSelected);
}
void DeviceSession::DelAllBtnClick() {
    RequestCommand(command::kDeleteAll);
}
void DeviceSession::Timer3Timer() {
    ToControl(&DeviceControl::Timer3Timer);
}

// Every 20 ms: the next live frame, the serial poll, the link's health, one step of
// snapshot finishing.
void DeviceSession::Timer1Timer() {
    if (!Attached()) {
        return;
    }
    if (const auto frame = liveView_.ShowNextLiveFrame()) {
        form_.Image3()->DrawOnCanvas(QPoint(0, 0), *frame);
    }
    FeedMeasuring();
    port_.PollPort();
    keeper_->Tick();
    snapshotFinisher_->Step();
}

std::optional<measure::MeasuredPicture> DeviceSession::LatestLivePicture() const {
    const auto latest = liveView_.LatestFrame();
    if (!latest) {
        return std::nullopt;
    }
    const QImage frame =
        DecodeJpeg(reinterpret_cast<const uint8_t*>(latest->jpeg.constData()),
                   static_cast<uint32_t>(latest->jpeg.size()), QImage::Format_RGB32);
    if (frame.isNull()) {
        return std::nullopt;
    }
    return LiveFramePicture(frame, latest->info, latest->received);
}

std::optional<measure::MeasuredPicture> DeviceSession::PictureOnScreen() {
    if (!Attached()) {
        return std::nullopt;
    }
    if (form_.State().cameraOn.load(std::memory_order_relaxed)) {
        return LatestLivePicture();
    }
    if (auto row = PictureOfRow(form_.SelectedRow())) {
        return row;
    }
    return LatestLivePicture();
}

std::optional<measure::MeasuredPicture> DeviceSession::PictureOfRow(int row) {
    if (!Attached()) {
        return std::nullopt;
    }
    const auto picture = browser_->PictureOfRow(row);
    if (!picture) {
        return std::nullopt;
    }
    return DownloadedPicture(picture->picture, picture->info, picture->received);
}

void DeviceSession::FeedMeasuring() {
    MeasureWindow* measuring = form_.Measuring();
    if (measuring == nullptr) {
        return;
    }
    measuring->SetLiveAvailable(form_.State().cameraOn.load(std::memory_order_relaxed));
    if (!measuring->FollowsLive()) {
        return;
    }
    const auto latest = liveView_.LatestFrame();
    if (!latest || latest->sequence == measuredFrame_) {
        return;
    }
    measuredFrame_ = latest->sequence;
    const QImage frame =
        DecodeJpeg(reinterpret_cast<const uint8_t*>(latest->jpeg.constData()),
                   static_cast<uint32_t>(latest->jpeg.size()), QImage::Format_RGB32);
    if (!frame.isNull()) {
        measuring->LiveFrame(frame, frame::ZoomCode(latest->info));
    }
}

void DeviceSession::Timer2Timer() {
    if (Attached()) {
        downloadFinisher_->Timer2Timer();
    }
}

}  // namespace dm
