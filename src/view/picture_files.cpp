#include "view/picture_files.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include "link/frame.h"
#include "view/jpeg_codec.h"

namespace dm {

namespace {
constexpr int kDefaultNameDigits = 8;
const QString kScratchPattern = QStringLiteral("*.bmp");

// The picture in a format Qt writes itself ("bmp", "png"), with the scale of the facts
// as its pixel density; false on any failure.
bool SaveQtFormatFile(const QImage& picture, const QString& path, const char* format,
                      const PictureFacts& facts) {
    QImage stamped = picture;
    StampDensity(stamped, facts);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(stamped)) {
        return false;
    }
    if (!HasScale(facts, picture.width())) {
        ForgetPixelDensity(bytes);
    }
    return WriteFileWhole(path, bytes);
}
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
    // 24 bits per pixel, uncompressed.
    return SaveQtFormatFile(picture.convertToFormat(QImage::Format_RGB888), path, "bmp", {});
}

QImage LoadScratchPicture(const QString& path) {
    return QImage(path, "bmp");
}

bool EmptyScratchFolder(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists()) {
        return false;
    }
    bool emptied = true;
    for (const QString& name : dir.entryList({kScratchPattern}, QDir::Files | QDir::Hidden)) {
        emptied = QFile::remove(dir.filePath(name)) && emptied;
    }
    return emptied;
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

bool SaveJpegFile(const QImage& picture, const QString& path, int quality,
                  const PictureFacts& facts) {
    const QByteArray jpeg = EncodeJpegStream(picture, quality);
    return !jpeg.isEmpty() && WriteFileWhole(path, StampJpeg(jpeg, facts));
}

bool SavePictureFile(const QImage& picture, const QString& path, int jpegQuality,
                     const PictureFacts& facts) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QStringLiteral("bmp") && suffix != QStringLiteral("png")) {
        return SaveJpegFile(picture, path, jpegQuality, facts);
    }
    if (suffix == QStringLiteral("bmp")) {  // the same 24-bit BMP as a scratch picture
        return SaveQtFormatFile(picture.convertToFormat(QImage::Format_RGB888), path, "bmp", facts);
    }
    return SaveQtFormatFile(picture, path, "png", facts);
}

}  // namespace dm
