// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two overlays laid over a 320 x 240 picture on screen: the magnification label at
// the top and the measuring ruler with its length label at the bottom. They are drawn
// on a copy of the picture (a live frame ring slot or the browse view's picture) and
// never reach a saved file.
//
// Labels are drawn opaque on the given background colour: black on live frames, white
// on browsed pictures. Lines are pixel-exact: each goes from its first point up to, but
// not including, its second point. Any thread (QImage drawing only).

#include <cstdint>
#include <optional>

#include <QColor>
#include <QImage>
#include <QString>

namespace dm {

inline const QColor kLiveOverlayBackground{0, 0, 0};
inline const QColor kBrowseOverlayBackground{255, 255, 255};
inline const QColor kMagnificationColor{0, 0, 255};
inline const QColor kRulerLabelColor{0, 128, 0};
inline const QColor kRulerLineColor{255, 0, 0};

// The ruler's base line on a 320 x 240 picture: from x = 40 up to, not including, 225.
// Its length covers the zoom code's ruler length (RulerLengthMm).
inline constexpr int kRulerStartX = 40;
inline constexpr int kRulerEndX = 225;
inline constexpr int kRulerBaseLength = kRulerEndX - kRulerStartX;

// "25X", "108X".
QString MagnificationLabel(uint8_t magnification);
// The ruler's length with two decimals in the user's locale and "mm" ("3.20mm", "3,20mm");
// nothing for zoom ranges without a ruler length.
std::optional<QString> RulerLabel(uint8_t zoomCode);

void DrawMagnification(QImage& target, uint8_t magnification, const QColor& background);
// Draws the ruler, lines and length label, only where the zoom range has a ruler length:
// ticks without a length would look like a scale and not be one.
void DrawRuler(QImage& target, uint8_t zoomCode, const QColor& background);
// The magnification label first (when asked for and the zoom range has one), then the
// ruler (when asked for).
void DrawOverlays(QImage& target, uint8_t zoomCode, bool magnification, bool ruler,
                  const QColor& background);

}  // namespace dm
