#include "view/picture_browser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "link/frame.h"
#include "view/jpeg_codec.h"
#include "view/magnification.h"
#include "view/overlays.h"
#include "view/picture_files.h"

namespace dm {

namespace {
constexpr int kNoPicturesMessage = 8;
}  // namespace

PictureBrowser::PictureBrowser(DeviceState& state, WindowPort& window, const IMAGE_BUFFER& pictures,
                               QString scratchFolder)
    : state_(state),
      window_(window),
      pictures_(pictures),
      scratchFolder_(std::move(scratchFolder)) {}

void PictureBrowser::ListView1Click() {
    const int row = window_.SelectedRow();
    if (row < 0) {
        return;
    }
    window_.SetBrowseViewVisible(true);
    ShowSelected(row);
}

void PictureBrowser::RedrawAfterCheckBox() {
    const int row = window_.SelectedRow();
    // During the live view the boxes take effect on the next rendered frame.
    if (row < 0 || state_.liveView.load(std::memory_order_relaxed)) {
        return;
    }
    ShowSelected(row);
}

void PictureBrowser::ShowSelected(int row) {
    // Listed but not downloaded: nothing to show.
    if (pictures_.StreamAt(row).isEmpty()) {
        return;
    }
    browsedInfo_ = state_.directory.Entry(row).info;
    state_.currentPictureInfo.store(frame::PictureNumber(browsedInfo_), std::memory_order_relaxed);
    ShowPictureWithOverlays(ScratchPicturePath(scratchFolder_, browsedInfo_));
}

void PictureBrowser::ShowPictureWithOverlays(const QString& scratchPath) {
    // Reloaded every time, so an overlay switched off disappears.
    QImage picture = LoadScratchPicture(scratchPath);
    if (picture.isNull()) {
        window_.ShowError(QStringLiteral("The picture could not be read from ") + scratchPath);
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
    const uint32_t info = pictures_.InfoAt(row);
    const std::optional<QString> path = window_.ChooseJpegFile(DefaultJpegFileName(info));
    if (path) {
        SaveAsJpeg(info, *path, kSingleSaveJpegQuality);
    }
}

void PictureBrowser::SaveAllBtnClick() {
    const int32_t count = pictures_.Count();
    if (count == 0) {
        window_.ShowInfo(window_.Message(kNoPicturesMessage));
        return;
    }
    const std::optional<QString> chosen =
        window_.ChooseJpegFile(DefaultJpegFileName(pictures_.InfoAt(0)));
    if (!chosen) {
        return;
    }
    // Only the folder is used; every picture keeps its own default name.
    const QDir folder = QFileInfo(*chosen).absoluteDir();
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t info = pictures_.InfoAt(i);
        if (!SaveAsJpeg(info, folder.filePath(DefaultJpegFileName(info)), kDefaultJpegQuality)) {
            return;
        }
    }
}

bool PictureBrowser::SaveAsJpeg(uint32_t info, const QString& path, int quality) {
    const QString scratch = ScratchPicturePath(scratchFolder_, info);
    const QImage picture = LoadScratchPicture(scratch);
    if (picture.isNull()) {
        window_.ShowError(QStringLiteral("The picture could not be read from ") + scratch);
        return false;
    }
    if (!SaveJpegFile(picture, path, quality)) {
        window_.ShowError(QStringLiteral("The picture could not be saved to ") + path);
        return false;
    }
    return true;
}

void PictureBrowser::RemoveScratchPictures() {
    const int32_t count = pictures_.Count();
    for (int32_t i = 0; i < count; ++i) {
        QFile::remove(ScratchPicturePath(scratchFolder_, pictures_.InfoAt(i)));
    }
}

}  // namespace dm
