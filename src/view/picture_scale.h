// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The measuring scale of a picture. Nominal: the one the ruler shows on screen, whose
// 185-pixel base line of a 320-pixel-wide picture covers the zoom code's ruler length; a
// picture of another width scales with it. Calibrated: the user's own for that zoom code
// (calibration_book.h), which wins over the nominal one. Zoom codes without a ruler
// length and without a calibration have no scale: a picture says nothing rather than
// something wrong. Any thread.

#include <cstdint>
#include <optional>

#include <QDate>
#include <QString>

namespace dm {

enum class ScaleSource {
    kNone,        // uncalibrated: lengths in pixels only
    kNominal,     // from the zoom step's ruler length
    kCalibrated,  // measured by the user on a known length
};

struct PictureScale {
    double pixelsPerMillimetre = 0.0;  // > 0 unless source is kNone
    ScaleSource source = ScaleSource::kNone;
    QDate calibratedOn;  // valid only for kCalibrated
    bool Known() const { return source != ScaleSource::kNone; }
    bool operator==(const PictureScale&) const = default;
};

// The nominal pixels per millimetre of a picture of this width; none for a zoom code
// without a ruler length or a width of 0 or less.
std::optional<double> PixelsPerMillimetre(uint8_t zoomCode, int pictureWidth);

// The scale a picture of this zoom code and width is measured and saved with: the
// calibration of the shared book where there is one, else the nominal one, else none.
PictureScale ScaleOf(uint8_t zoomCode, int pictureWidth);

// Magnification and scale in plain words: "40X, 1 mm = 578.1 px", with
// " (calibrated 2026-12-08)" after a calibrated scale; "48X" where only the magnification
// is known; empty where neither is. Plain C-locale English: programs read it too.
QString ScaleDescription(uint8_t zoomCode, int pictureWidth);

}  // namespace dm
