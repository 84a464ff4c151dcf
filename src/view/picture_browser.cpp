// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/picture_browser.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "base/message_numbers.h"
#include "link/frame.h"
#include "view/free_file_name.h"
#include "view/jpeg_codec.h"
#include "view/live_frame_ring.h"
#include "view/magnification.h"
#include "view/overlays.h"
#include "view/picture_files.h"

namespace dm {

PictureBrowser::PictureBrowser(DeviceState& state, WindowPort& window, const IMAGE_BUFFER& pictures,
                               QString downloadsFolder)
    : state_(state),
      window_(window),
      pictures_(pictures),
      downloadsFolder_(std::move(downloadsFolder)) {}

void PictureBrowser::ListView1Click() {
    const int row = window_.SelectedRow();
    if (row < 0) {
        return;
    }
    window_.SetBrowseViewVisible(true);
    if (!Received(row)) {
        // The view is emptied, so no other row's picture stands for this one.
        QImage nothing(kPanelWidth, kPanelHeight, QImage::Format_RGB32);
        nothing.fill(Qt::black);
        window_.ShowBrowsePicture(nothing);
        window_.ShowInfo(window_.Message(message::kPictureNotReceived));
        return;
    }
    ShowSelected(row);
}

void PictureBrowser::RedrawAfterCheckBox() {
    const int row = window_.SelectedRow();
    // During the live view the boxes take effect on the next rendered frame.
    if (row < 0 || state_.liveView.load(std::memory_order_relaxed) || !Received(row)) {
        return;
    }
    ShowSelected(row);
}

bool PictureBrowser::Received(int row) const {
    return !pictures_.StreamAt(row).isEmpty();
}

void PictureBrowser::ShowSelected(int row) {
    browsedInfo_ = state_.directory.Entry(row).info;
    state_.currentPictureInfo.store(frame::PictureNumber(browsedInfo_), std::memory_order_relaxed);
    ShowPictureWithOverlays(ScratchPicturePath(downloadsFolder_, browsedInfo_));
}

void PictureBrowser::ShowPictureWithOverlays(const QString& scratchPath) {
    // Reloaded every time, so an overlay switched off disappears.
    QImage picture = LoadScratchPicture(scratchPath);
    if (picture.isNull()) {
        window_.ShowError(window_.Message(message::kPictureUnreadable).arg(scratchPath));
        return;
    }
    picture = picture.convertToFormat(QImage::Format_RGB32);
    DrawOverlays(picture, frame::ZoomCode(browsedInfo_), window_.ShowMagnificationChecked(),
                 window_.ShowRulerChecked(), kBrowseOverlayBackground);
    window_.ShowBrowsePicture(picture);
}

void PictureBrowser::SaveBtnClick() {
    const int row = window_.SelectedRow();
    if (row < 0) {
        return;
    }
    if (!Received(row)) {
        window_.ShowInfo(window_.Message(message::kPictureNotReceived));
        return;
    }
    const uint32_t info = pictures_.InfoAt(row);
    const std::optional<QString> path = window_.ChooseJpegFile(DefaultJpegFileName(info));
    if (!path) {
        return;
    }
    if (const auto error = SaveAsJpeg(row, *path, kSingleSaveJpegQuality)) {
        window_.ShowError(*error);
        return;
    }
    window_.ShowStatus(window_.Message(message::kSavedFile).arg(QDir::toNativeSeparators(*path)));
}

void PictureBrowser::SaveAllBtnClick() {
    // A listed row without a record yet counts as skipped, like an empty record.
    const int rows = std::max<int>(pictures_.Count(), window_.RowCount());
    if (rows == 0) {
        window_.ShowInfo(window_.Message(message::kDirectoryEmpty));
        return;
    }
    const std::optional<QString> chosen =
        window_.ChooseJpegFile(DefaultJpegFileName(pictures_.InfoAt(0)));
    if (!chosen) {
        return;
    }
    // Only the folder is used; every picture keeps its own default name.
    const QString folder = QFileInfo(*chosen).absolutePath();
    int saved = 0;
    int skipped = 0;
    int failed = 0;
    for (int row = 0; row < rows; ++row) {
        switch (SaveOneOfAll(row, folder)) {
            case SaveResult::Saved:
                ++saved;
                break;
            case SaveResult::Skipped:
                ++skipped;
                break;
            case SaveResult::Failed:
                ++failed;
                break;
        }
    }
    window_.ShowStatus(
        window_.Message(message::kSavedPictures).arg(saved).arg(QDir::toNativeSeparators(folder)));
    // A box only when something was left out.
    if (skipped > 0 || failed > 0) {
        window_.ShowInfo(
            window_.Message(message::kSaveAllSummary).arg(saved).arg(skipped).arg(failed));
    }
}

std::optional<PictureBrowser::RowPicture> PictureBrowser::PictureOfRow(int row) const {
    if (row < 0 || !Received(row)) {
        return std::nullopt;
    }
    const uint32_t info = pictures_.InfoAt(row);
    QImage picture = LoadScratchPicture(ScratchPicturePath(downloadsFolder_, info));
    if (picture.isNull()) {
        return std::nullopt;
    }
    return RowPicture{std::move(picture), info, pictures_.ReceivedAt(row)};
}

PictureBrowser::SaveResult PictureBrowser::SaveOneOfAll(int row, const QString& folder) const {
    if (!Received(row)) {
        return SaveResult::Skipped;
    }
    const uint32_t info = pictures_.InfoAt(row);
    // One summary tells of every failure, rather than a box for each picture.
    // A file already there is kept: the picture takes the next free name beside it.
    const auto error = SaveAsJpeg(
        row, FreeFilePath(QDir(folder).filePath(DefaultJpegFileName(info))), kDefaultJpegQuality);
    return error ? SaveResult::Failed : SaveResult::Saved;
}

std::optional<QString> PictureBrowser::SaveAsJpeg(int row, const QString& path, int quality) const {
    const uint32_t info = pictures_.InfoAt(row);
    const QString scratch = ScratchPicturePath(downloadsFolder_, info);
    const QImage picture = LoadScratchPicture(scratch);
    if (picture.isNull()) {
        return window_.Message(message::kPictureUnreadable).arg(scratch);
    }
    // The microscope does not say when it took a picture: the file says when it arrived.
    const PictureFacts facts{frame::ZoomCode(info), pictures_.ReceivedAt(row)};
    if (!SaveJpegFile(picture, path, quality, facts)) {
        return window_.Message(message::kPictureNotSaved).arg(path);
    }
    return std::nullopt;
}

}  // namespace dm
