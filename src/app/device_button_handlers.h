// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's handlers whose work lies outside the window itself: the device buttons,
// the picture list and its buttons, the overlay check boxes and the three timers. TForm1
// forwards each event here; the device and view code supply the real handlers. Every
// handler runs on the window thread and does nothing by default.

#include <optional>

#include "measure/picture_reader.h"

namespace dm {

class DeviceButtonHandlers {
  public:
    virtual ~DeviceButtonHandlers() = default;

    // Connection, transfer and camera buttons.
    virtual void ConnectBtnClick() {}
    virtual void DownloadBtnClick() {}
    virtual void UploadBtnClick() {}
    virtual void CameraBtnClick() {}
    virtual void SnapShotBtnClick() {}

    // The microscope's eight keys.
    virtual void UpBtnClick() {}
    virtual void LeftBtnClick() {}
    virtual void CentralBtnClick() {}
    virtual void RightBtnClick() {}
    virtual void DownBtnClick() {}
    virtual void ZoomOutBtnClick() {}
    virtual void LockBtnClick() {}
    virtual void ZoomInBtnClick() {}

    // Browsing, saving and deleting pictures.
    virtual void ListView1Click() {}
    virtual void CheckBox1Click() {}
    virtual void CheckBox2Click() {}
    virtual void SaveBtnClick() {}
    virtual void SaveAllBtnClick() {}
    virtual void DelBtnClick() {}
    virtual void Delete1Click() {}
    virtual void DelAllBtnClick() {}

    // Measuring: the picture the panel shows (the newest live frame while the camera is
    // on, else the selected received picture, else the last live frame), and a row's
    // picture as it arrived; none where there is none.
    virtual std::optional<measure::MeasuredPicture> PictureOnScreen() { return std::nullopt; }
    virtual std::optional<measure::MeasuredPicture> PictureOfRow(int /*row*/) {
        return std::nullopt;
    }

    // Timer1 every 20 ms (next live frame, serial poll, snapshot step), Timer2 every
    // second (download finishing), Timer3 every 500 ms (camera keep-alive).
    virtual void Timer1Timer() {}
    virtual void Timer2Timer() {}
    virtual void Timer3Timer() {}
};

}  // namespace dm
