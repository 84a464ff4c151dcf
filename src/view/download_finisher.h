// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Download finishing, run by Timer2 once a download of all pictures has ended: converts
// every downloaded picture into its scratch picture while the progress bar goes from 80 %
// to 100 %, tells the user, and makes the device buttons usable again.
// A row whose picture never arrived is marked "not received" and skipped; the others are
// converted as usual. The user is told the download is complete (message 7) only when
// every listed picture arrived and was converted; otherwise how many arrived (message 37)
// and which could not be prepared (message 36).
// Window thread.

#include <QStringList>

#include "inbound/device_state.h"
#include "inbound/image_buffer.h"
#include "inbound/window_port.h"
#include "view/digital_zoom.h"

namespace dm {

class DownloadFinisher {
  public:
    DownloadFinisher(DeviceState& state, WindowPort& window, const IMAGE_BUFFER& pictures,
                     DigitalZoom& zoom);

    // Does nothing unless the download-finished flag is set; takes the flag.
    void Timer2Timer();

  private:
    struct Conversion {
        int rows = 0;        // listed pictures
        int received = 0;    // of them, those that arrived
        QStringList failed;  // default names of those that arrived but did not convert
    };
    Conversion ConvertAll();
    void Tell(const Conversion& conversion);

    DeviceState& state_;
    WindowPort& window_;
    const IMAGE_BUFFER& pictures_;
    DigitalZoom& zoom_;
};

}  // namespace dm
