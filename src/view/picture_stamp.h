// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a saved picture tells about itself besides its pixels: the measuring scale of its
// zoom code (ScaleOf in picture_scale.h: the user's calibration where there is one), when
// it was taken, which program wrote it, and the zoom code itself, so that a picture can be
// measured again at a later calibration of its zoom code. A JPEG carries all of it in EXIF
// and XMP; a PNG carries the scale in its pixel density and the program and zoom code in
// text chunks; a BMP carries only the scale, in its pixel density. The pixels themselves
// never change.
//
// Any thread: exiv2 is entered by one thread at a time.

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QImage>

#include "view/picture_scale.h"

namespace dm {

struct PictureFacts {
    std::optional<uint8_t> zoomCode;  // none: the zoom is unknown
    QDateTime taken;                  // when taken, or received; invalid: not written
    // The scale of a picture without a zoom code (opened from disk, or calibrated for
    // itself alone), so that saving it again keeps it. Ignored when the zoom code is
    // known: its scale is the one of the zoom code now. None: no scale is written.
    std::optional<PictureScale> ownScale = std::nullopt;
};

// The JPEG with an EXIF block: XResolution and YResolution in pixels per centimetre with
// ResolutionUnit centimetre (only where the zoom code has a scale), ImageDescription
// (magnification and scale in words, where known), DateTimeOriginal and Software
// ("Digital Microscope <version>"); and, where the zoom code is known, an XMP packet in
// this program's namespace (kXmpNamespace, prefix "dm"): ZoomCode (decimal), ScaleSource
// ("nominal", "calibrated" or "none") and CalibratedOn (yyyy-MM-dd, calibrated only). The
// compressed picture data is copied as it is. Bytes exiv2 cannot read as a JPEG come back
// unchanged.
QByteArray StampJpeg(const QByteArray& jpeg, const PictureFacts& facts);
inline constexpr char kXmpNamespace[] = "urn:digital-microscope:xmp:1.0/";

// What a JPEG says about itself, as StampJpeg writes it; empty for bytes exiv2 cannot read.
struct JpegStamp {
    std::optional<uint8_t> zoomCode;            // from the XMP
    QDateTime taken;                            // DateTimeOriginal; invalid when absent
    std::optional<double> pixelsPerMillimetre;  // the EXIF resolution, in centimetres or inches
    bool fromThisProgram = false;               // Software names "Digital Microscope"
};
JpegStamp ReadJpegStamp(const QByteArray& jpeg);

// True when the facts give the picture a scale.
bool HasScale(const PictureFacts& facts, int pictureWidth);
// The picture's pixel density from the scale, for the PNG pHYs chunk and the BMP header.
// Without a scale it is left as it is.
void StampDensity(QImage& picture, const PictureFacts& facts);
// The PNG text chunks: "Software" always, kPngZoomCodeKey (decimal) where the zoom code is
// known. Qt's PNG writer writes every text of the picture; BMP has no place for them.
void StampPngText(QImage& picture, const PictureFacts& facts);
inline constexpr char kPngZoomCodeKey[] = "DigitalMicroscope.ZoomCode";
// The zoom code a picture read from a PNG names in its text; none when it names none.
std::optional<uint8_t> PngZoomCode(const QImage& picture);
// A PNG or BMP file as Qt wrote it, without the pixel density Qt gives every picture
// (96 dots per inch): a picture without a scale must not claim one. PNG loses its pHYs
// chunk; BMP gets 0 pixels per metre, its "not given". Other bytes stay as they are.
void ForgetPixelDensity(QByteArray& file);

}  // namespace dm
