#include "view/picture_files.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QSaveFile>

#include "link/frame.h"
#include "view/jpeg_codec.h"

namespace dm {

namespace {
constexpr int kDefaultNameDigits = 8;
}  // namespace

QString ScratchPicturePath(const QString& scratchFolder, uint32_t info) {
    return QDir(scratchFolder)
        .filePath(QString::number(frame::PictureNumber(info)) + QStringLiteral(".bmp"));
}

QString DefaultJpegFileName(uint32_t info) {
    return QStringLiteral("%1.jpg").arg(frame::PictureNumber(info), kDefaultNameDigits, 10,
                                        QLatin1Char('0'));
}

bool SaveScratchPicture(const QImage& picture, const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // 24 bits per pixel, uncompressed.
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(picture.convertToFormat(QImage::Format_RGB888))) {
        return false;
    }
    return WriteFileWhole(path, bytes);
}

QImage LoadScratchPicture(const QString& path) {
    return QImage(path, "bmp");
}

bool WriteFileWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool SaveJpegFile(const QImage& picture, const QString& path, int quality) {
    const QByteArray jpeg = EncodeJpegStream(picture, quality);
    return !jpeg.isEmpty() && WriteFileWhole(path, jpeg);
}

}  // namespace dm
