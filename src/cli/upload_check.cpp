// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/upload_check.h"

#include <QFile>
#include <QImage>

#include "commands/upload_picture.h"
#include "view/jpeg_codec.h"

namespace dm::cli {

namespace {
constexpr qint64 kSignatureSize = 2;
const QByteArray kJpegSignature("\xFF\xD8", kSignatureSize);
const QByteArray kBmpSignature("BM", kSignatureSize);
}  // namespace

std::optional<QString> UploadFileProblem(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot be read: %1").arg(file.errorString());
    }
    const QByteArray signature = file.read(kSignatureSize);
    file.close();
    if (signature == kJpegSignature) {
        if (DecodeJpegFileToFit(path, QSize(kUploadWidth, kUploadHeight)).isNull()) {
            return QStringLiteral("is a JPEG whose data is broken");
        }
        return std::nullopt;
    }
    if (signature == kBmpSignature && !QImage(path, "BMP").isNull()) {
        return std::nullopt;
    }
    return QStringLiteral("is no JPEG or BMP picture");
}

}  // namespace dm::cli
