// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Browsing and saving the downloaded pictures, the window's side of ListView1, the two
// overlay check boxes, SaveBtn and SaveAllBtn. Row i is record i of the picture list and
// entry i of the picture directory; each picture is shown and saved from its scratch
// picture in the downloads folder, and only when its record says it arrived in the
// current download: a row whose picture never arrived shows and saves nothing (message
// 31), so no file of an earlier download is ever taken for it.
// Saved files are written whole or not at all; a failure is reported with its path.
// Window thread.

#include <cstdint>
#include <optional>

#include <QDateTime>
#include <QImage>
#include <QString>

#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/window_port.h"

namespace dm {

class PictureBrowser {
  public:
    // downloadsFolder holds the scratch pictures of the current download.
    PictureBrowser(DeviceState& state, WindowPort& window, const IMAGE_BUFFER& pictures,
                   QString downloadsFolder);

    void ListView1Click();
    void CheckBox1Click() { RedrawAfterCheckBox(); }
    void CheckBox2Click() { RedrawAfterCheckBox(); }
    void SaveBtnClick();
    // Saves every received picture into the chosen folder, skips the others, goes on past
    // a picture it cannot write, and tells the counts (message 38).
    void SaveAllBtnClick();

    uint32_t BrowsedPictureInfo() const { return browsedInfo_; }

    // A received row's picture as it arrived (no overlays), for measuring.
    struct RowPicture {
        QImage picture;
        uint32_t info = 0;
        QDateTime received;
    };
    // None for a row that never arrived or whose scratch picture cannot be read.
    std::optional<RowPicture> PictureOfRow(int row) const;

  private:
    enum class SaveResult { Saved, Skipped, Failed };

    void RedrawAfterCheckBox();
    bool Received(int row) const;
    // Steps shared by a click on a row and on a check box; the row was received.
    void ShowSelected(int row);
    void ShowPictureWithOverlays(const QString& scratchPath);
    // Loads the scratch picture of info and writes it as JPEG. Returns the error text when
    // it could not be read or written, nothing when it was saved.
    std::optional<QString> SaveAsJpeg(int row, const QString& path, int quality) const;
    SaveResult SaveOneOfAll(int row, const QString& folder) const;

    DeviceState& state_;
    WindowPort& window_;
    const IMAGE_BUFFER& pictures_;
    QString downloadsFolder_;
    uint32_t browsedInfo_ = 0;
};

}  // namespace dm
