// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/picture_stamp.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>
#include <string>

// exiv2 0.27's headers still hand out std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include "view/picture_scale.h"

namespace dm {

namespace {

constexpr double kMillimetresPerCentimetre = 10.0;
constexpr double kMillimetresPerMetre = 1000.0;
constexpr int32_t kResolutionDenominator = 1000;  // three decimals of pixels per centimetre
constexpr uint16_t kResolutionUnitInch = 2;
constexpr uint16_t kResolutionUnitCentimetre = 3;
constexpr double kMillimetresPerInch = 25.4;
const char* const kExifTimeFormat = "yyyy:MM:dd HH:mm:ss";
const char* const kDateFormat = "yyyy-MM-dd";
const char* const kProgramName = "Digital Microscope";
constexpr uint kLargestZoomCode = 255;

const char* const kXmpPrefix = "dm";
const char* const kXmpZoomCode = "Xmp.dm.ZoomCode";
const char* const kXmpScaleSource = "Xmp.dm.ScaleSource";
const char* const kXmpCalibratedOn = "Xmp.dm.CalibratedOn";
const char* const kPngSoftwareKey = "Software";

// PNG: signature, then chunks of a 4-byte big-endian length, a 4-byte type, the data and
// a 4-byte CRC. BMP: the info header's two 32-bit pixels-per-metre fields.
const QByteArray kPngSignature("\x89PNG\r\n\x1a\n", 8);
const QByteArray kPngDensityChunk("pHYs");
constexpr qsizetype kPngChunkFrame = 12;  // length, type and CRC
const QByteArray kBmpSignature("BM");
constexpr qsizetype kBmpDensityOffset = 38;
constexpr qsizetype kBmpDensityEnd = 46;

uint32_t BigEndian32(const QByteArray& bytes, qsizetype at) {
    uint32_t value = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        value = (value << 8U) | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
}

void DropPngChunk(QByteArray& png, const QByteArray& type) {
    qsizetype at = kPngSignature.size();
    while (at + kPngChunkFrame <= png.size()) {
        const qsizetype chunkSize = kPngChunkFrame + BigEndian32(png, at);
        if (png.mid(at + 4, 4) == type) {
            png.remove(at, chunkSize);
            return;
        }
        at += chunkSize;
    }
}

std::mutex& Exiv2Lock() {
    static std::mutex lock;
    return lock;
}

// exiv2's XMP toolkit must be set up once before any use, and its warnings belong to
// exiv2's own tools, not to our users' terminals.
void PrepareExiv2() {
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        Exiv2::XmpParser::initialize();
        Exiv2::XmpProperties::registerNs(kXmpNamespace, kXmpPrefix);
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

std::string SoftwareName() {
    return std::string(kProgramName) + " " + DM_VERSION;
}

const char* SourceName(ScaleSource source) {
    switch (source) {
        case ScaleSource::kNominal:
            return "nominal";
        case ScaleSource::kCalibrated:
            return "calibrated";
        case ScaleSource::kNone:
            break;
    }
    return "none";
}

std::optional<uint8_t> ZoomCodeFromText(const QString& text) {
    bool ok = false;
    const uint code = text.trimmed().toUInt(&ok);
    if (!ok || code > kLargestZoomCode) {
        return std::nullopt;
    }
    return static_cast<uint8_t>(code);
}

// The scale written for a picture of this width: its zoom code's, else its own.
PictureScale ScaleToWrite(const PictureFacts& facts, int width) {
    if (facts.zoomCode) {
        return ScaleOf(*facts.zoomCode, width);
    }
    return facts.ownScale.value_or(PictureScale{});
}

// Without a zoom code there is no magnification to name: the scale alone, in the words
// ScaleDescription uses.
QString OwnScaleDescription(const PictureScale& scale) {
    if (!scale.Known()) {
        return {};
    }
    return QStringLiteral("1 mm = %1 px").arg(scale.pixelsPerMillimetre, 0, 'f', 1);
}

void WriteScale(Exiv2::ExifData& exif, const PictureFacts& facts, int width) {
    const PictureScale scale = ScaleToWrite(facts, width);
    const QString description =
        facts.zoomCode ? ScaleDescription(*facts.zoomCode, width) : OwnScaleDescription(scale);
    if (!description.isEmpty()) {
        exif["Exif.Image.ImageDescription"] = description.toStdString();
    }
    if (!scale.Known()) {
        return;
    }
    const auto perCm = static_cast<int32_t>(std::lround(
        scale.pixelsPerMillimetre * kMillimetresPerCentimetre * kResolutionDenominator));
    const Exiv2::URational resolution(static_cast<uint32_t>(perCm), kResolutionDenominator);
    exif["Exif.Image.XResolution"] = resolution;
    exif["Exif.Image.YResolution"] = resolution;
    exif["Exif.Image.ResolutionUnit"] = kResolutionUnitCentimetre;
}

Exiv2::XmpData MakeXmp(const PictureFacts& facts, int width) {
    Exiv2::XmpData xmp;
    const PictureScale scale = ScaleToWrite(facts, width);
    if (!facts.zoomCode && !scale.Known()) {
        return xmp;
    }
    if (facts.zoomCode) {
        xmp[kXmpZoomCode] = std::to_string(*facts.zoomCode);
    }
    xmp[kXmpScaleSource] = std::string(SourceName(scale.source));
    if (scale.source == ScaleSource::kCalibrated) {
        xmp[kXmpCalibratedOn] =
            scale.calibratedOn.toString(QString::fromLatin1(kDateFormat)).toStdString();
    }
    return xmp;
}

std::optional<double> ResolutionPerMillimetre(const Exiv2::ExifData& exif) {
    const auto resolution = exif.findKey(Exiv2::ExifKey("Exif.Image.XResolution"));
    const auto unit = exif.findKey(Exiv2::ExifKey("Exif.Image.ResolutionUnit"));
    if (resolution == exif.end() || unit == exif.end()) {
        return std::nullopt;
    }
    const Exiv2::Rational value = resolution->toRational();
    if (value.first <= 0 || value.second <= 0) {
        return std::nullopt;
    }
    const double perUnit = static_cast<double>(value.first) / value.second;
    switch (unit->toLong()) {
        case kResolutionUnitCentimetre:
            return perUnit / kMillimetresPerCentimetre;
        case kResolutionUnitInch:
            return perUnit / kMillimetresPerInch;
        default:
            return std::nullopt;
    }
}

QString TextOf(const Exiv2::ExifData& exif, const char* key) {
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    return found == exif.end() ? QString() : QString::fromStdString(found->toString());
}

JpegStamp StampOf(const Exiv2::Image& image) {
    JpegStamp stamp;
    const Exiv2::ExifData& exif = image.exifData();
    stamp.fromThisProgram =
        TextOf(exif, "Exif.Image.Software").startsWith(QString::fromLatin1(kProgramName));
    stamp.taken = QDateTime::fromString(TextOf(exif, "Exif.Photo.DateTimeOriginal"),
                                        QString::fromLatin1(kExifTimeFormat));
    stamp.pixelsPerMillimetre = ResolutionPerMillimetre(exif);
    const Exiv2::XmpData& xmp = image.xmpData();
    const auto zoomCode = xmp.findKey(Exiv2::XmpKey(kXmpZoomCode));
    if (zoomCode != xmp.end()) {
        stamp.zoomCode = ZoomCodeFromText(QString::fromStdString(zoomCode->toString()));
    }
    return stamp;
}

Exiv2::ExifData MakeExif(const PictureFacts& facts, int width) {
    Exiv2::ExifData exif;
    WriteScale(exif, facts, width);
    if (facts.taken.isValid()) {
        exif["Exif.Photo.DateTimeOriginal"] =
            facts.taken.toString(QString::fromLatin1(kExifTimeFormat)).toStdString();
    }
    exif["Exif.Image.Software"] = SoftwareName();
    return exif;
}

// The JPEG as exiv2 reads it from memory; null for bytes that are no JPEG. May throw
// Exiv2::Error. Called with the exiv2 lock held.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
Exiv2::Image::AutoPtr OpenJpeg(const QByteArray& jpeg) {
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.data()),
                                           static_cast<long>(jpeg.size()));
    if (image.get() != nullptr && image->imageType() != Exiv2::ImageType::jpeg) {
        image.reset();
    }
    return image;
}
#pragma GCC diagnostic pop

}  // namespace

QByteArray StampJpeg(const QByteArray& jpeg, const PictureFacts& facts) {
    std::lock_guard guard(Exiv2Lock());
    PrepareExiv2();
    try {
        auto image = OpenJpeg(jpeg);
        if (image.get() == nullptr) {
            return jpeg;
        }
        image->readMetadata();
        image->setExifData(MakeExif(facts, image->pixelWidth()));
        image->setXmpData(MakeXmp(facts, image->pixelWidth()));
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const Exiv2::DataBuf stamped = io.read(static_cast<long>(io.size()));
        return QByteArray(reinterpret_cast<const char*>(stamped.pData_),
                          static_cast<qsizetype>(stamped.size_));
    } catch (const std::exception&) {
        return jpeg;
    }
}

JpegStamp ReadJpegStamp(const QByteArray& jpeg) {
    std::lock_guard guard(Exiv2Lock());
    PrepareExiv2();
    try {
        auto image = OpenJpeg(jpeg);
        if (image.get() == nullptr) {
            return {};
        }
        image->readMetadata();
        return StampOf(*image);
    } catch (const std::exception&) {
        return {};
    }
}

bool HasScale(const PictureFacts& facts, int pictureWidth) {
    return ScaleToWrite(facts, pictureWidth).Known();
}

void StampDensity(QImage& picture, const PictureFacts& facts) {
    const PictureScale scale = ScaleToWrite(facts, picture.width());
    if (!scale.Known()) {
        return;
    }
    const int perMetre =
        static_cast<int>(std::lround(scale.pixelsPerMillimetre * kMillimetresPerMetre));
    picture.setDotsPerMeterX(perMetre);
    picture.setDotsPerMeterY(perMetre);
}

void StampPngText(QImage& picture, const PictureFacts& facts) {
    picture.setText(QString::fromLatin1(kPngSoftwareKey), QString::fromStdString(SoftwareName()));
    if (facts.zoomCode) {
        picture.setText(QString::fromLatin1(kPngZoomCodeKey), QString::number(*facts.zoomCode));
    }
}

std::optional<uint8_t> PngZoomCode(const QImage& picture) {
    const QString text = picture.text(QString::fromLatin1(kPngZoomCodeKey));
    return text.isEmpty() ? std::nullopt : ZoomCodeFromText(text);
}

void ForgetPixelDensity(QByteArray& file) {
    if (file.startsWith(kPngSignature)) {
        DropPngChunk(file, kPngDensityChunk);
    } else if (file.startsWith(kBmpSignature) && file.size() >= kBmpDensityEnd) {
        std::fill(file.begin() + kBmpDensityOffset, file.begin() + kBmpDensityEnd, '\0');
    }
}

}  // namespace dm
