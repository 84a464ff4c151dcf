// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The digital zoom conversion: turns a received JPEG picture into its scratch picture,
// the 320 x 240 middle of the picture enlarged by the factor of its zoom step.
//
// The picture is drawn unscaled onto the live view control's picture (320 x 240; a
// smaller picture leaves the previous content around it), which is enlarged by
// 1 / (1 - fraction of the zoom step) with halftone resampling, and the middle 320 x 240
// is cut out and written as the scratch picture of the picture number. Afterwards the
// window shows the control enlarged and centred in the picture area, so the user sees the
// picture as it was saved; the next live frame puts the control back.
// Window thread.

#include <cstdint>

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include "inbound/window_port.h"
#include "view/live_view_surface.h"

namespace dm {

// Size of the enlarged picture and its placement in the picture area: left and top are
// (panel - size) / 2, so 0 or negative; the cut-out starts at (-left, -top).
QRect DigitalZoomGeometry(uint8_t zoomStep);

// The scratch picture of the canvas (the live view control's 320 x 240 picture, with a
// received picture drawn on it unscaled): its middle enlarged by the zoom step's factor.
// Any thread.
QImage ZoomedPicture(const QImage& canvas, uint8_t zoomStep);

struct DigitalZoomResult {
    bool converted = false;  // false: the JPEG did not decode or the file was not written
    QRect geometry;          // the enlarged control's place in the picture area
};

class DigitalZoom {
  public:
    DigitalZoom(LiveViewSurface& surface, WindowPort& window, QString scratchFolder);

    // Writes the scratch picture of info's picture number, with the zoom step of its zoom
    // code (the zoom range is ignored). A JPEG that does not decode changes nothing.
    DigitalZoomResult ConvertWithDigitalZoom(const QByteArray& jpeg, uint32_t info);

    const QString& ScratchFolder() const { return scratchFolder_; }

  private:
    LiveViewSurface& surface_;
    WindowPort& window_;
    QString scratchFolder_;
};

}  // namespace dm
