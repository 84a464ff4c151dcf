#pragma once
// What a saved picture tells about itself besides its pixels: the measuring scale of its
// zoom code (picture_scale.h), when it was taken and which program wrote it. A JPEG
// carries all of it in EXIF; a PNG or BMP carries the scale in its pixel density. The
// pixels themselves never change.
//
// Any thread: exiv2 is entered by one thread at a time.

#include <cstdint>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QImage>

namespace dm {

struct PictureFacts {
    std::optional<uint8_t> zoomCode;  // none: the zoom is unknown and no scale is written
    QDateTime taken;                  // when taken, or received; invalid: not written
};

// The JPEG with an EXIF block: XResolution and YResolution in pixels per centimetre with
// ResolutionUnit centimetre (only where the zoom code has a scale), ImageDescription
// (magnification and scale in words, where known), DateTimeOriginal and Software
// ("Digital Microscope <version>"). The compressed picture data is copied as it is. Bytes
// exiv2 cannot read as a JPEG come back unchanged.
QByteArray StampJpeg(const QByteArray& jpeg, const PictureFacts& facts);

// True when the facts give the picture a scale.
bool HasScale(const PictureFacts& facts, int pictureWidth);
// The picture's pixel density from the scale, for the PNG pHYs chunk and the BMP header.
// Without a scale it is left as it is.
void StampDensity(QImage& picture, const PictureFacts& facts);
// A PNG or BMP file as Qt wrote it, without the pixel density Qt gives every picture
// (96 dots per inch): a picture without a scale must not claim one. PNG loses its pHYs
// chunk; BMP gets 0 pixels per metre, its "not given". Other bytes stay as they are.
void ForgetPixelDensity(QByteArray& file);

}  // namespace dm
