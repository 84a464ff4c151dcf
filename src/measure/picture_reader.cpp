// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/picture_reader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "view/picture_stamp.h"

namespace dm::measure {

namespace {

constexpr double kMillimetresPerMetre = 1000.0;
const QByteArray kJpegFormat("jpeg");
const QByteArray kPngFormat("png");
const QByteArray kBmpFormat("bmp");

struct FileFacts {
    std::optional<uint8_t> zoomCode;
    QDateTime taken;
    std::optional<double> exifPixelsPerMillimetre;  // a JPEG of this program only
};

FileFacts FactsOf(const QByteArray& bytes, const QByteArray& format, const QImage& image) {
    FileFacts facts;
    if (format == kJpegFormat) {
        const JpegStamp stamp = ReadJpegStamp(bytes);
        facts.zoomCode = stamp.zoomCode;
        facts.taken = stamp.taken;
        if (stamp.fromThisProgram) {
            facts.exifPixelsPerMillimetre = stamp.pixelsPerMillimetre;
        }
    } else if (format == kPngFormat) {
        facts.zoomCode = PngZoomCode(image);
    }
    return facts;
}

// A PNG or BMP density no printer setting reaches: a scale, though nobody says whose.
std::optional<double> MicroscopeDensity(const QByteArray& format, const QImage& image) {
    if (format != kPngFormat && format != kBmpFormat) {
        return std::nullopt;
    }
    const double perMm = image.dotsPerMeterX() / kMillimetresPerMetre;
    if (perMm < kLeastMicroscopeDensity || image.dotsPerMeterX() != image.dotsPerMeterY()) {
        return std::nullopt;
    }
    return perMm;
}

PictureScale Nominal(double pixelsPerMillimetre) {
    return {pixelsPerMillimetre, ScaleSource::kNominal, {}};
}

// First found wins: the zoom code's scale now, the sheet's, our EXIF, a microscope density.
PictureScale ScaleFor(const MeasuredPicture& picture, const FileFacts& facts,
                      const QByteArray& format, const SheetReading& sheet) {
    if (picture.zoomCode) {
        return ScaleOf(*picture.zoomCode, picture.image.width());
    }
    if (sheet.status == SheetStatus::kRead && sheet.sheet.scale.Known()) {
        return sheet.sheet.scale;
    }
    if (facts.exifPixelsPerMillimetre) {
        return Nominal(*facts.exifPixelsPerMillimetre);
    }
    if (const std::optional<double> density = MicroscopeDensity(format, picture.image)) {
        return Nominal(*density);
    }
    return {};
}

}  // namespace

OpenedPicture OpenPictureForMeasuring(const QString& path) {
    OpenedPicture opened;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return opened;
    }
    const QByteArray bytes = file.readAll();
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    MeasuredPicture& picture = opened.picture;
    picture.image = reader.read();
    if (picture.image.isNull()) {
        return opened;
    }
    opened.result = PictureOpening::kOpened;
    opened.sheet = ReadSheetBeside(path);
    const FileFacts facts = FactsOf(bytes, format, picture.image);
    picture.zoomCode = facts.zoomCode;
    if (!picture.zoomCode && opened.sheet.status == SheetStatus::kRead) {
        picture.zoomCode = opened.sheet.sheet.zoomCode;
    }
    picture.scale = ScaleFor(picture, facts, format, opened.sheet);
    picture.taken = facts.taken;
    picture.path = path;
    picture.name = QFileInfo(path).fileName();
    return opened;
}

}  // namespace dm::measure
