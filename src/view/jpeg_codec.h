// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every JPEG the program reads or writes goes through libjpeg-turbo's TurboJPEG API.
// A stream that does not decode gives a null QImage, never a crash. Any thread.
//
// The header is read before anything is allocated, so a stream whose header claims a
// huge picture costs no more than its header.

#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace dm {

inline constexpr int kDefaultJpegQuality = 90;     // the encoder's default
inline constexpr int kSingleSaveJpegQuality = 60;  // single save and upload

// Largest width or height accepted from the microscope (and from DecodeJpegFile); a
// larger header, or a zero size, makes the stream undecodable.
inline constexpr int kMaxPictureSide = 4096;

// Decodes a whole JPEG stream into a 24-bit picture (QImage::Format_RGB888).
QImage DecodeJpeg(const uint8_t* data, std::size_t size);
QImage DecodeJpegStream(const QByteArray& jpeg);
// As DecodeJpeg, straight into QImage::Format_RGB888 or QImage::Format_RGB32 (any other
// format gives a null QImage). The live path decodes into 32 bits so that drawing onto its
// 32-bit pictures needs no conversion.
QImage DecodeJpeg(const uint8_t* data, std::size_t size, QImage::Format format);
QImage DecodeJpegStream(const QByteArray& jpeg, QImage::Format format);
QImage DecodeJpegFile(const QString& path);

// A picture file chosen by the user, which may be of any size, decoded only as large as
// fitting it into the box needs: reduced by the smallest of TurboJPEG's scaling factors
// that still leaves at least min(width, box width) x min(height, box height) pixels.
// 24-bit (QImage::Format_RGB888). No side bound beyond JPEG's own applies here, but a
// stream the decoder warns about (broken or cut data) gives a null QImage: such a file is
// never passed on as a picture.
QImage DecodeJpegFileToFit(const QString& path, QSize box);

// Encodes a picture (any format; converted to 24-bit first) with quality 1..100.
// Returns an empty array when encoding fails.
QByteArray EncodeJpegStream(const QImage& picture, int quality = kDefaultJpegQuality);

}  // namespace dm
