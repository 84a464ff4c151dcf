// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything behind the main window that talks to the microscope or shows its pictures:
// the serial link and its receive buffer, the data and command threads, the device
// commands, the live view, download and snapshot finishing, browsing and saving. It is the
// window's handler for every device button, the list, the check boxes and the timers.
//
// Life: construct it before TForm1::FormCreate (it plugs its pieces into the window;
// FormCreate starts the threads at its step 8), call Attach() once FormCreate succeeded,
// and destroy it before the window. Destruction stops and joins both threads; a worker
// blocked in a window call is released by the window's closing first.
// Threads: window thread, except what the two worker threads run.

#include <cstdint>
#include <memory>
#include <optional>

#include "app/device_button_handlers.h"
#include "inbound/image_buffer.h"
#include "link/receive_buffer.h"
#include "link/serial_port.h"
#include "view/live_view.h"
#include "view/live_view_surface.h"

namespace dm {

class TForm1;
class TDataProcThread;
class TCmdProcThread;
class DeviceCommands;
class DeviceControl;
class DigitalZoom;
class DownloadFinisher;
class SnapshotFinisher;
class PictureBrowser;
class ScratchFolders;
class ConnectionKeeper;

class DeviceSession : public DeviceButtonHandlers {
  public:
    // port is where the link opens its ports; the default asks the machine's port table.
    explicit DeviceSession(TForm1& form,
                           SerialPort::PortTableSource portTable = &PortTable::FromSystem);
    ~DeviceSession() override;
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // After a successful FormCreate: the parts that need the scratch folder. Claims this
    // run's scratch folders inside it (removing those of runs that are gone); the exit
    // clean-up and the destruction remove them again.
    void Attach();

    SerialPort& Port() { return port_; }
    const IMAGE_BUFFER& Pictures() const { return pictures_; }
    const IMAGE_BUFFER& Snapshots() const { return snapshots_; }
    // True while the command thread waits for its next request (or has not started).
    bool CommandsIdle() const;
    // True from the loss of a connected microscope until a port search connects again.
    bool LinkLostState() const;
    // Where this run keeps the scratch pictures of the current download; empty before
    // Attach.
    QString DownloadsFolder() const;

    void ConnectBtnClick() override;
    void DownloadBtnClick() override;
    void UploadBtnClick() override;
    void CameraBtnClick() override;
    void SnapShotBtnClick() override;
    void UpBtnClick() override;
    void LeftBtnClick() override;
    void CentralBtnClick() override;
    void RightBtnClick() override;
    void DownBtnClick() override;
    void ZoomOutBtnClick() override;
    void LockBtnClick() override;
    void ZoomInBtnClick() override;
    void ListView1Click() override;
    void CheckBox1Click() override;
    void CheckBox2Click() override;
    void SaveBtnClick() override;
    void SaveAllBtnClick() override;
    void DelBtnClick() override;
    void Delete1Click() override;
    void DelAllBtnClick() override;
    std::optional<measure::MeasuredPicture> PictureOnScreen() override;
    std::optional<measure::MeasuredPicture> PictureOfRow(int row) override;
    void Timer1Timer() override;
    void Timer2Timer() override;
    void Timer3Timer() override;

  private:
    void StartWorkers();
    void WithdrawWorkers();
    void ToControl(void (DeviceControl::*handler)());
    void ToBrowser(void (PictureBrowser::*handler)());
    void RequestCommand(uint16_t code);
    void RemoveScratchFolders();
    std::optional<measure::MeasuredPicture> LatestLivePicture() const;
    // Hands the newest live frame to a measuring window that follows the camera.
    void FeedMeasuring();
    bool Attached() const { return control_ != nullptr; }

    TForm1& form_;
    std::unique_ptr<ReceiveBuffer> buffer_;  // 128 KiB: kept off the stack
    SerialPort port_;
    IMAGE_BUFFER pictures_;
    IMAGE_BUFFER snapshots_;
    LiveViewSurface surface_;
    LiveView liveView_;
    std::unique_ptr<TCmdProcThread> cmdThread_;
    std::unique_ptr<TDataProcThread> dataThread_;
    std::unique_ptr<ScratchFolders> scratch_;
    std::unique_ptr<DeviceCommands> commands_;
    std::unique_ptr<DigitalZoom> downloadZoom_;
    std::unique_ptr<DigitalZoom> snapshotZoom_;
    std::unique_ptr<DownloadFinisher> downloadFinisher_;
    std::unique_ptr<SnapshotFinisher> snapshotFinisher_;
    std::unique_ptr<PictureBrowser> browser_;
    std::unique_ptr<DeviceControl> control_;
    std::unique_ptr<ConnectionKeeper> keeper_;
    uint64_t measuredFrame_ = 0;  // sequence of the live frame last handed to measuring
};

}  // namespace dm
