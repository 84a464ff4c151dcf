#include "view/jpeg_codec.h"

#include <turbojpeg.h>

#include <QFile>
#include <QSysInfo>
#include <memory>

namespace dm {

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// TurboJPEG reads at most this many pixels per side; larger headers are refused before
// any allocation so a forged header cannot ask for gigabytes.
constexpr int kMaxJpegSide = 16384;

}  // namespace

QImage DecodeJpeg(const uint8_t* data, std::size_t size) {
    return DecodeJpeg(data, size, QImage::Format_RGB888);
}

QImage DecodeJpeg(const uint8_t* data, std::size_t size, QImage::Format format) {
    int pixelFormat = TJPF_RGB;
    if (format == QImage::Format_RGB32) {
        // 0xFFRRGGBB words; TurboJPEG sets the X byte to 0xFF.
        pixelFormat = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? TJPF_BGRX : TJPF_XRGB;
    } else if (format != QImage::Format_RGB888) {
        return {};
    }
    if (data == nullptr || size == 0) {
        return {};
    }
    TjHandle handle(tjInitDecompress());
    if (!handle) {
        return {};
    }
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(handle.get(), data, static_cast<unsigned long>(size), &width, &height,
                            &subsampling, &colorspace) != 0) {
        return {};
    }
    if (width <= 0 || height <= 0 || width > kMaxJpegSide || height > kMaxJpegSide) {
        return {};
    }
    QImage picture(width, height, format);
    if (picture.isNull()) {
        return {};
    }
    const int result =
        tjDecompress2(handle.get(), data, static_cast<unsigned long>(size), picture.bits(), width,
                      static_cast<int>(picture.bytesPerLine()), height, pixelFormat, 0);
    // A warning (for example a truncated stream) still leaves a usable picture.
    if (result != 0 && tjGetErrorCode(handle.get()) != TJERR_WARNING) {
        return {};
    }
    return picture;
}

QImage DecodeJpegStream(const QByteArray& jpeg) {
    return DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.constData()),
                      static_cast<std::size_t>(jpeg.size()));
}

QImage DecodeJpegStream(const QByteArray& jpeg, QImage::Format format) {
    return DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.constData()),
                      static_cast<std::size_t>(jpeg.size()), format);
}

QImage DecodeJpegFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return DecodeJpegStream(file.readAll());
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
