// SPDX-License-Identifier: GPL-3.0-or-later
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
const char* const kPngFormat = "png";
const char* const kNotEncoded = "The picture could not be encoded";

void Tell(QString* why, const QString& reason) {
    if (why != nullptr) {
        *why = reason;
    }
}

// The picture in a format Qt writes itself ("bmp", "png"), with the scale of the facts
// as its pixel density and, in a PNG, the program and zoom code as text; false on any
// failure.
bool SaveQtFormatFile(const QImage& picture, const QString& path, const char* format,
                      const PictureFacts& facts, QString* why = nullptr) {
    QImage stamped = picture;
    StampDensity(stamped, facts);
    if (qstrcmp(format, kPngFormat) == 0) {
        StampPngText(stamped, facts);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(stamped)) {
        Tell(why, writer.errorString());
        return false;
    }
    if (!HasScale(facts, picture.width())) {
        ForgetPixelDensity(bytes);
    }
    return WriteFileWhole(path, bytes, why);
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

bool WriteFileWhole(const QString& path, const QByteArray& bytes, QString* why) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        Tell(why, file.errorString());
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        Tell(why, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        Tell(why, file.errorString());
        return false;
    }
    return true;
}

bool SaveJpegFile(const QImage& picture, const QString& path, int quality,
                  const PictureFacts& facts, QString* why) {
    const QByteArray jpeg = EncodeJpegStream(picture, quality);
    if (jpeg.isEmpty()) {
        Tell(why, QString::fromLatin1(kNotEncoded));
        return false;
    }
    return WriteFileWhole(path, StampJpeg(jpeg, facts), why);
}

bool SavePictureFile(const QImage& picture, const QString& path, int jpegQuality,
                     const PictureFacts& facts, QString* why) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QStringLiteral("bmp") && suffix != QStringLiteral("png")) {
        return SaveJpegFile(picture, path, jpegQuality, facts, why);
    }
    if (suffix == QStringLiteral("bmp")) {  // the same 24-bit BMP as a scratch picture
        return SaveQtFormatFile(picture.convertToFormat(QImage::Format_RGB888), path, "bmp", facts,
                                why);
    }
    return SaveQtFormatFile(picture, path, kPngFormat, facts, why);
}

}  // namespace dm
