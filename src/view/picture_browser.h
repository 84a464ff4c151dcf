#pragma once
// Browsing and saving the downloaded pictures, the window's side of ListView1, the two
// overlay check boxes, SaveBtn and SaveAllBtn, and the removal of the scratch pictures at
// exit. Row i is record i of the picture list and entry i of the picture directory; each
// picture is shown and saved from its scratch picture.
// Saved files are written whole or not at all; a failure is reported with its path.
// Window thread.

#include <cstdint>

#include <QString>

#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/window_port.h"

namespace dm {

class PictureBrowser {
  public:
    PictureBrowser(DeviceState& state, WindowPort& window, const IMAGE_BUFFER& pictures,
                   QString scratchFolder);

    void ListView1Click();
    void CheckBox1Click() { RedrawAfterCheckBox(); }
    void CheckBox2Click() { RedrawAfterCheckBox(); }
    void SaveBtnClick();
    void SaveAllBtnClick();
    // Exit: removes the scratch picture of every picture in the list; the folder stays.
    void RemoveScratchPictures();

    uint32_t BrowsedPictureInfo() const { return browsedInfo_; }

  private:
    void RedrawAfterCheckBox();
    // Steps shared by a click on a row and on a check box.
    void ShowSelected(int row);
    void ShowPictureWithOverlays(const QString& scratchPath);
    // Loads the scratch picture of info and writes it as JPEG; reports a failure.
    bool SaveAsJpeg(uint32_t info, const QString& path, int quality);

    DeviceState& state_;
    WindowPort& window_;
    const IMAGE_BUFFER& pictures_;
    QString scratchFolder_;
    uint32_t browsedInfo_ = 0;
};

}  // namespace dm
