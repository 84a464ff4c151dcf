// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving the snapshot the user asked for: the newest picture of the snapshot list, with
// the digital zoom of the live picture shown just before it, in the format the file name
// ends with (BMP, PNG, else JPEG quality 90; no suffix: .jpg). The user is told the
// outcome in the status line or an error box. The sequencing around it (when to ask for
// the picture, when to save) is the snapshot finisher's, in commands.
// Window thread.

#include <cstdint>

#include <QString>

#include "inbound/image_buffer.h"
#include "inbound/window_port.h"
#include "view/digital_zoom.h"

namespace dm {

class SnapshotSaving {
  public:
    // zoom writes the snapshot's scratch picture into a folder of snapshots only.
    SnapshotSaving(WindowPort& window, const IMAGE_BUFFER& snapshots, DigitalZoom& zoom);

    // How many snapshots the list holds now; a save needs one more than at the click.
    int32_t Count() const;
    // Saves the newest snapshot to chosenPath when one arrived after countAtClick.
    // liveInfo: the info word of the live picture shown before it (zoom and number).
    void SaveNewest(int32_t countAtClick, uint32_t liveInfo, const QString& chosenPath);

  private:
    WindowPort& window_;
    const IMAGE_BUFFER& snapshots_;
    DigitalZoom& zoom_;
};

}  // namespace dm
