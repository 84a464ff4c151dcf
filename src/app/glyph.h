// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Button glyphs: 24-bit BMP files whose bottom-left pixel gives the background colour;
// every pixel of that colour is made transparent so the button face shows through.

#include <QPixmap>
#include <QString>

namespace dm {

// A null pixmap when the file is missing or unreadable.
QPixmap LoadGlyph(const QString& path);

}  // namespace dm
