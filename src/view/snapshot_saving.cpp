// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/snapshot_saving.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "view/jpeg_codec.h"
#include "view/picture_files.h"

namespace dm {

namespace {
const QString kDefaultSuffix = QStringLiteral(".jpg");
}  // namespace

SnapshotSaving::SnapshotSaving(WindowPort& window, const IMAGE_BUFFER& snapshots, DigitalZoom& zoom)
    : window_(window), snapshots_(snapshots), zoom_(zoom) {}

int32_t SnapshotSaving::Count() const {
    return snapshots_.Count();
}

void SnapshotSaving::SaveNewest(int32_t countAtClick, uint32_t liveInfo,
                                const QString& chosenPath) {
    const int32_t count = snapshots_.Count();
    if (count <= countAtClick) {
        window_.ShowError(window_.Message(message::kSnapshotNotReceived));
        return;
    }
    const QString path =
        QFileInfo(chosenPath).suffix().isEmpty() ? chosenPath + kDefaultSuffix : chosenPath;
    if (!zoom_.ConvertWithDigitalZoom(snapshots_.StreamAt(count - 1), liveInfo).converted) {
        window_.ShowError(window_.Message(message::kSnapshotUndecodable));
        return;
    }
    const QString scratch = ScratchPicturePath(zoom_.ScratchFolder(), liveInfo);
    const QImage picture = LoadScratchPicture(scratch);
    const PictureFacts facts{frame::ZoomCode(liveInfo), QDateTime::currentDateTime()};
    if (picture.isNull() || !SavePictureFile(picture, path, kDefaultJpegQuality, facts)) {
        window_.ShowError(window_.Message(message::kPictureNotSaved).arg(path));
    } else {
        window_.ShowStatus(
            window_.Message(message::kSavedFile).arg(QDir::toNativeSeparators(path)));
    }
    QFile::remove(scratch);
}

}  // namespace dm
