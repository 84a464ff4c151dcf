// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/live_view_surface.h"

#include <QColor>
#include <QPainter>

#include "view/live_frame_ring.h"

namespace dm {

LiveViewSurface::LiveViewSurface() : picture_(kPanelWidth, kPanelHeight, QImage::Format_RGB32) {
    picture_.fill(QColor(0, 0, 0));
}

void LiveViewSurface::Replace(const QImage& frame) {
    if (frame.size() == picture_.size()) {
        picture_ = frame;
    } else {
        DrawUnscaled(frame);
    }
}

void LiveViewSurface::DrawUnscaled(const QImage& picture) {
    QPainter painter(&picture_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Same format as the surface: a plain copy, no conversion on the way.
    painter.drawImage(0, 0, picture.convertToFormat(QImage::Format_RGB32));
}

bool LiveViewSurface::DrawPictureFile(const QString& path) {
    const QImage picture(path);
    if (picture.isNull()) {
        return false;
    }
    DrawUnscaled(picture);
    return true;
}

}  // namespace dm
