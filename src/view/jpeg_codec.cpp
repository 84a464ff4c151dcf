// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/jpeg_codec.h"

#include <turbojpeg.h>

#include <QFile>
#include <QSysInfo>
#include <algorithm>
#include <memory>
#include <optional>

namespace dm {

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// The TurboJPEG pixel format that fills a picture of this format, if there is one.
std::optional<int> PixelFormatFor(QImage::Format format) {
    if (format == QImage::Format_RGB888) {
        return TJPF_RGB;
    }
    if (format == QImage::Format_RGB32) {
        // 0xFFRRGGBB words; TurboJPEG sets the X byte to 0xFF.
        return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
    }
    return std::nullopt;
}

// The picture size the stream's header announces; nothing when there is no readable
// header or it announces an empty picture. Reads the header only.
std::optional<QSize> ReadPictureSize(void* handle, const uint8_t* data, std::size_t size) {
    if (data == nullptr || size == 0) {
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(handle, data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colorspace) != 0) {
        return std::nullopt;
    }
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    return QSize(width, height);
}

enum class Warnings { kTolerated, kRefused };

// Decodes into a picture of `target` size, which must be the header's size or one of its
// TurboJPEG-scaled sizes.
QImage DecodeAtSize(void* handle, const uint8_t* data, std::size_t size, QSize target,
                    QImage::Format format, int pixelFormat,
                    Warnings warnings = Warnings::kTolerated) {
    QImage picture(target, format);
    if (picture.isNull()) {
        return {};
    }
    const int result =
        tjDecompress2(handle, data, static_cast<unsigned long>(size), picture.bits(),
                      target.width(), static_cast<int>(picture.bytesPerLine()), target.height(),
                      pixelFormat, warnings == Warnings::kRefused ? TJFLAG_STOPONWARNING : 0);
    // A warning (for example a truncated stream) still leaves a usable picture, unless
    // warnings are refused.
    if (result != 0 &&
        (warnings == Warnings::kRefused || tjGetErrorCode(handle) != TJERR_WARNING)) {
        return {};
    }
    return picture;
}

QSize ScaledSize(QSize full, tjscalingfactor factor) {
    return {TJSCALED(full.width(), factor), TJSCALED(full.height(), factor)};
}

// The smallest size TurboJPEG can decode the picture at that is still at least
// min(full, box) in each direction. Never larger than the picture itself.
QSize SmallestCoveringSize(QSize full, QSize box) {
    const QSize needed = full.boundedTo(box);
    QSize best = full;
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors != nullptr && i < count; ++i) {
        const tjscalingfactor factor = factors[i];
        if (factor.num > factor.denom) {
            continue;  // enlarging
        }
        const QSize scaled = ScaledSize(full, factor);
        if (scaled.width() >= needed.width() && scaled.height() >= needed.height() &&
            scaled.width() < best.width()) {
            best = scaled;
        }
    }
    return best;
}

QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

const uint8_t* BytesOf(const QByteArray& array) {
    return reinterpret_cast<const uint8_t*>(array.constData());
}

}  // namespace

QImage DecodeJpeg(const uint8_t* data, std::size_t size) {
    return DecodeJpeg(data, size, QImage::Format_RGB888);
}

QImage DecodeJpeg(const uint8_t* data, std::size_t size, QImage::Format format) {
    const std::optional<int> pixelFormat = PixelFormatFor(format);
    if (!pixelFormat) {
        return {};
    }
    TjHandle handle(tjInitDecompress());
    if (!handle) {
        return {};
    }
    const std::optional<QSize> full = ReadPictureSize(handle.get(), data, size);
    if (!full || full->width() > kMaxPictureSide || full->height() > kMaxPictureSide) {
        return {};
    }
    return DecodeAtSize(handle.get(), data, size, *full, format, *pixelFormat);
}

QImage DecodeJpegStream(const QByteArray& jpeg) {
    return DecodeJpeg(BytesOf(jpeg), static_cast<std::size_t>(jpeg.size()));
}

QImage DecodeJpegStream(const QByteArray& jpeg, QImage::Format format) {
    return DecodeJpeg(BytesOf(jpeg), static_cast<std::size_t>(jpeg.size()), format);
}

QImage DecodeJpegFile(const QString& path) {
    return DecodeJpegStream(ReadWholeFile(path));
}

QImage DecodeJpegFileToFit(const QString& path, QSize box) {
    const QByteArray jpeg = ReadWholeFile(path);
    const auto size = static_cast<std::size_t>(jpeg.size());
    TjHandle handle(tjInitDecompress());
    if (!handle || box.isEmpty()) {
        return {};
    }
    const std::optional<QSize> full = ReadPictureSize(handle.get(), BytesOf(jpeg), size);
    if (!full) {
        return {};
    }
    return DecodeAtSize(handle.get(), BytesOf(jpeg), size, SmallestCoveringSize(*full, box),
                        QImage::Format_RGB888, TJPF_RGB, Warnings::kRefused);
}

QByteArray EncodeJpegStream(const QImage& picture, int quality) {
    if (picture.isNull() || quality < 1 || quality > 100) {
        return {};
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    TjHandle handle(tjInitCompress());
    if (!handle) {
        return {};
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int result = tjCompress2(handle.get(), rgb.constBits(), rgb.width(),
                                   static_cast<int>(rgb.bytesPerLine()), rgb.height(), TJPF_RGB,
                                   &out, &outSize, TJSAMP_420, quality, 0);
    QByteArray jpeg;
    if (result == 0 && out != nullptr) {
        jpeg = QByteArray(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
    }
    tjFree(out);
    return jpeg;
}

}  // namespace dm
