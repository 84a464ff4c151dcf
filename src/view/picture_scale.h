#pragma once
// The measuring scale a saved picture carries: the same one the ruler shows on screen.
// The ruler's base line is 185 pixels of a 320-pixel-wide picture and covers the
// zoom code's ruler length; a picture saved at another width scales with it.
// Zoom codes without a ruler length have no scale: a picture says nothing rather than
// something wrong. Any thread.

#include <cstdint>
#include <optional>

#include <QString>

namespace dm {

// Pixels per millimetre of a picture of this width; none for a zoom code without a ruler
// length or a width of 0 or less.
std::optional<double> PixelsPerMillimetre(uint8_t zoomCode, int pictureWidth);

// Magnification and scale in plain words: "40X, 1 mm = 578.1 px"; "48X" where only the
// magnification is known; empty where neither is.
QString ScaleDescription(uint8_t zoomCode, int pictureWidth);

}  // namespace dm
