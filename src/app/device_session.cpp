#include "app/device_session.h"

#include <QPoint>

#include "app/main_window.h"
#include "app/picture_box.h"
#include "commands/cmd_proc_thread.h"
#include "commands/command_codes.h"
#include "commands/device_commands.h"
#include "commands/device_control.h"
#include "inbound/data_proc_thread.h"
#include "view/digital_zoom.h"
#include "view/download_finisher.h"
#include "view/picture_browser.h"
#include "view/snapshot_finisher.h"

namespace dm {

DeviceSession::DeviceSession(TForm1& form, SerialPort::PortTableSource portTable)
    : form_(form),
      buffer_(std::make_unique<ReceiveBuffer>()),
      port_(*buffer_, std::move(portTable)),
      liveView_(form.State(), form, surface_) {
    form_.SetDevicePort(&port_);
    form_.SetWorkerStart([this] { StartWorkers(); });
    form_.SetExitCleanup([this] { RemoveScratchPictures(); });
    form_.SetHandlers(this);
}

DeviceSession::~DeviceSession() {
    form_.SetHandlers(nullptr);
    form_.SetWorkerStart({});
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

void DeviceSession::Attach() {
    if (!cmdThread_) {
        StartWorkers();
    }
    DeviceState& state = form_.State();
    const QString scratch = form_.ScratchFolder();
    // The live view control starts out showing what start-up drew on it.
    surface_.DrawUnscaled(form_.Image3()->Picture());

    commands_ = std::make_unique<DeviceCommands>(state, port_, form_, pictures_, *cmdThread_,
                                                 scratch);
    commands_->Register(*cmdThread_);
    zoom_ = std::make_unique<DigitalZoom>(surface_, form_, scratch);
    downloadFinisher_ = std::make_unique<DownloadFinisher>(state, form_, pictures_, *zoom_);
    snapshotFinisher_ = std::make_unique<SnapshotFinisher>(
        state, form_, snapshots_, *zoom_,
        [this](uint16_t code) { cmdThread_->RequestCommand(code); });
    browser_ = std::make_unique<PictureBrowser>(state, form_, pictures_, scratch);
    control_ = std::make_unique<DeviceControl>(state, port_, *cmdThread_, form_);
    control_->SetSnapshotStarter([this] { snapshotFinisher_->Begin(); });
}

bool DeviceSession::CommandsIdle() const {
    return !cmdThread_ || cmdThread_->IsIdle();
}

void DeviceSession::RemoveScratchPictures() {
    if (browser_) {
        browser_->RemoveScratchPictures();
    }
}

// Handlers: nothing happens before Attach (a failed start-up never gets that far).
void DeviceSession::ConnectBtnClick() {
    if (Attached()) {
        control_->ConnectBtnClick();
    }
}
void DeviceSession::DownloadBtnClick() {
    if (Attached()) {
        control_->DownloadBtnClick();
    }
}
void DeviceSession::UploadBtnClick() {
    if (Attached()) {
        control_->UploadBtnClick();
    }
}
void DeviceSession::CameraBtnClick() {
    if (Attached()) {
        control_->CameraBtnClick();
    }
}
void DeviceSession::SnapShotBtnClick() {
    if (Attached()) {
        control_->SnapShotBtnClick();
    }
}
void DeviceSession::UpBtnClick() {
    if (Attached()) {
        control_->UpBtnClick();
    }
}
void DeviceSession::LeftBtnClick() {
    if (Attached()) {
        control_->LeftBtnClick();
    }
}
void DeviceSession::CentralBtnClick() {
    if (Attached()) {
        control_->CentralBtnClick();
    }
}
void DeviceSession::RightBtnClick() {
    if (Attached()) {
        control_->RightBtnClick();
    }
}
void DeviceSession::DownBtnClick() {
    if (Attached()) {
        control_->DownBtnClick();
    }
}
void DeviceSession::ZoomOutBtnClick() {
    if (Attached()) {
        control_->ZoomOutBtnClick();
    }
}
void DeviceSession::LockBtnClick() {
    if (Attached()) {
        control_->LockBtnClick();
    }
}
void DeviceSession::ZoomInBtnClick() {
    if (Attached()) {
        control_->ZoomInBtnClick();
    }
}
void DeviceSession::ListView1Click() {
    if (Attached()) {
        browser_->ListView1Click();
    }
}
void DeviceSession::CheckBox1Click() {
    if (Attached()) {
        browser_->CheckBox1Click();
    }
}
void DeviceSession::CheckBox2Click() {
    if (Attached()) {
        browser_->CheckBox2Click();
    }
}
void DeviceSession::SaveBtnClick() {
    if (Attached()) {
        browser_->SaveBtnClick();
    }
}
void DeviceSession::SaveAllBtnClick() {
    if (Attached()) {
        browser_->SaveAllBtnClick();
    }
}
void DeviceSession::DelBtnClick() {
    if (Attached()) {
        cmdThread_->RequestCommand(command::kDeleteSelected);
    }
}
void DeviceSession::Delete1Click() { DelBtnClick(); }
void DeviceSession::DelAllBtnClick() {
    if (Attached()) {
        cmdThread_->RequestCommand(command::kDeleteAll);
    }
}

// Every 20 ms: the next live frame, the serial poll, one step of snapshot finishing.
void DeviceSession::Timer1Timer() {
    if (!Attached()) {
        return;
    }
    if (const auto frame = liveView_.ShowNextLiveFrame()) {
        form_.Image3()->DrawOnCanvas(QPoint(0, 0), *frame);
    }
    port_.PollPort();
    snapshotFinisher_->Step();
}

void DeviceSession::Timer2Timer() {
    if (Attached()) {
        downloadFinisher_->Timer2Timer();
    }
}

void DeviceSession::Timer3Timer() {
    if (Attached()) {
        control_->Timer3Timer();
    }
}

}  // namespace dm
