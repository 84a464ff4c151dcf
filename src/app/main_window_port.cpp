// SPDX-License-Identifier: GPL-3.0-or-later
// TForm1 as the worker threads' window: each call runs on the window thread.
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/glyph.h"
#include "app/main_window.h"
#include "app/picture_box.h"
#include "app/user_preferences.h"
#include "base/message_numbers.h"
#include "view/free_file_name.h"
#include "view/overlays.h"

namespace dm {

namespace {

constexpr char kWarningCaption[] = "Warning";
const QStringList kUploadFilters{QStringLiteral("JPEG Image File (*.jpg)"),
                                 QStringLiteral("Bitmaps (*.bmp)")};
const QStringList kJpegFilters{QStringLiteral("JPEG file (*.jpg)")};
const QStringList kPictureFilters{QStringLiteral("JPEG Image File (*.jpg *.jpeg)"),
                                  QStringLiteral("Bitmaps (*.bmp)"),
                                  QStringLiteral("PNG Image File (*.png)")};
constexpr char kJpegSuffix[] = "jpg";
constexpr int kSizeColumn = 1;  // Name, Size, Zoom
const QRect kLiveViewRect(0, 0, 320, 240);

BoxRequest CatalogueBox(const QString& text, BoxIcon icon, BoxButtons buttons) {
    return {QString::fromLatin1(kBoxCaption), text, icon, buttons, /*onTop=*/true};
}

}  // namespace

bool TForm1::ShowBoxNow(const BoxRequest& request) {
    return dialogs_.ShowBox(this, request);
}

std::optional<FileAnswer> TForm1::ShowFileDialogNow(const FileRequest& request) {
    return dialogs_.ShowFileDialog(this, request);
}

void TForm1::ShowInfo(const QString& text) {
    bridge_.Run(
        [this, text] { ShowBoxNow(CatalogueBox(text, BoxIcon::Information, BoxButtons::Ok)); });
}

void TForm1::ShowError(const QString& text) {
    bridge_.Run([this, text] { ShowBoxNow(CatalogueBox(text, BoxIcon::Error, BoxButtons::Ok)); });
}

bool TForm1::AskOkCancel(const QString& text) {
    return bridge_.Call<bool>(
        [this, text] {
            return ShowBoxNow(CatalogueBox(text, BoxIcon::Information, BoxButtons::OkCancel));
        },
        false);
}

bool TForm1::AskWarning(const QString& text) {
    return bridge_.Call<bool>(
        [this, text] {
            return ShowBoxNow({QString::fromLatin1(kWarningCaption), text, BoxIcon::None,
                               BoxButtons::OkCancel, /*onTop=*/false});
        },
        false);
}

QString TForm1::Message(int number) const {
    return catalogue_.Text(CurrentLanguage(), number);
}

std::optional<OpenPictureChoice> TForm1::ChooseUploadPicture() {
    return bridge_.Call<std::optional<OpenPictureChoice>>(
        [this]() -> std::optional<OpenPictureChoice> {
            const auto answer =
                ShowFileDialogNow({FileDialogMode::Open, kUploadFilters, {}, {}, {}, {}});
            if (!answer) {
                return std::nullopt;
            }
            return OpenPictureChoice{answer->path, answer->filterIndex};
        },
        std::nullopt);
}

std::optional<QString> TForm1::ChooseSavePathNow(const QStringList& filters, const QString& name) {
    const QString folder = preferences_->SaveFolder();
    const QString proposed = QFileInfo(FreeFilePath(QDir(folder).filePath(name))).fileName();
    const auto answer = ShowFileDialogNow(
        {FileDialogMode::Save, filters, QString::fromLatin1(kJpegSuffix), proposed, folder, {}});
    if (!answer) {
        return std::nullopt;
    }
    preferences_->RememberSavedFile(answer->path);
    return answer->path;
}

std::optional<QString> TForm1::ChooseSnapshotFile(const QString& name) {
    // The snapshot is written in the format its name says (.bmp, .png, else JPEG); a name
    // typed without an extension gets ".jpg", as the single save does.
    return bridge_.Call<std::optional<QString>>(
        [this, name] { return ChooseSavePathNow(kPictureFilters, name); }, std::nullopt);
}

std::optional<QString> TForm1::ChooseJpegFile(const QString& name) {
    return bridge_.Call<std::optional<QString>>(
        [this, name] { return ChooseSavePathNow(kJpegFilters, name); }, std::nullopt);
}

std::optional<QString> TForm1::UnaskedSnapshotFile(const QString& name) {
    return bridge_.Call<std::optional<QString>>(
        [this, name]() -> std::optional<QString> {
            if (!preferences_->SnapshotsWithoutAsking()) {
                return std::nullopt;
            }
            const QString folder = preferences_->SnapshotFolder();
            QDir().mkpath(folder);  // a folder that cannot be made fails the save, which says so
            return FreeFilePath(QDir(folder).filePath(name));
        },
        std::nullopt);
}

void TForm1::ShowStatus(const QString& text) {
    bridge_.Run([this, text] { statusBar()->showMessage(text); });
}

void TForm1::SetProgress(int percent) {
    bridge_.Run([this, percent] { progressBar1_->setValue(percent); });
}

void TForm1::ApplyButtonSet(ButtonSet set) {
    bridge_.Run([this, set] {
        // Which groups each set switches; an empty optional leaves the group as it is.
        std::optional<bool> transfer = false;
        std::optional<bool> camera;
        std::optional<bool> connect;
        std::optional<bool> pad = false;
        std::optional<bool> busyPad;
        switch (set) {
            case ButtonSet::Busy:
                connect = false;
                break;
            case ButtonSet::Disconnected:
                camera = false;
                busyPad = false;
                break;
            case ButtonSet::Ready:
                transfer = camera = connect = pad = busyPad = true;
                break;
        }
        auto apply = [](auto& buttons, std::optional<bool> enabled) {
            if (enabled) {
                for (QToolButton* button : buttons) {
                    button->setEnabled(*enabled);
                }
            }
        };
        apply(transferButtons_, transfer);
        apply(padButtons_, pad);
        apply(busyPadButtons_, busyPad);
        if (camera) {
            cameraBtn_->setEnabled(*camera);
        }
        if (connect) {
            connectBtn_->setEnabled(*connect);
        }
        popupEnabled_ = set == ButtonSet::Ready;
    });
}

void TForm1::SetEnabled(Control control, bool enabled) {
    bridge_.Run([this, control, enabled] {
        switch (control) {
            case Control::ConnectBtn:
                connectBtn_->setEnabled(enabled);
                break;
            case Control::CameraBtn:
                cameraBtn_->setEnabled(enabled);
                break;
            case Control::SnapShotBtn:
                snapShotBtn_->setEnabled(enabled);
                break;
            case Control::ListView1:
                listView1_->setEnabled(enabled);
                break;
            case Control::SaveBtn:
                findChild<QToolButton*>(QStringLiteral("SaveBtn"))->setEnabled(enabled);
                break;
            case Control::SaveAllBtn:
                findChild<QToolButton*>(QStringLiteral("SaveAllBtn"))->setEnabled(enabled);
                break;
        }
    });
}

void TForm1::SetConnected(bool connected) {
    bridge_.Run([this, connected] {
        connected_ = connected;
        if (connected) {
            connectPrompt_->hide();  // for good: the picture area now shows the microscope's
        }
        RefreshConnectButton();
    });
}

void TForm1::SetCameraGlyph(const QString& fileName) {
    bridge_.Run([this, fileName] {
        const QPixmap glyph = LoadGlyph(DataFilePath(fileName));
        if (!glyph.isNull()) {
            cameraBtn_->setIcon(QIcon(glyph));
            cameraBtn_->setIconSize(glyph.size());
        }
    });
}

void TForm1::ClearRows() {
    // The pictures are gone: the browse view no longer shows one of them.
    bridge_.Run([this] {
        listView1_->clear();
        image4_->ClearPicture();
    });
}

void TForm1::AddRow(const PictureRow& row) {
    bridge_.Run([this, row] {
        listView1_->addTopLevelItem(new QTreeWidgetItem(QStringList{row.name, row.size, row.zoom}));
    });
}

void TForm1::MarkRowNotReceived(int row) {
    bridge_.Run([this, row] {
        QTreeWidgetItem* item = listView1_->topLevelItem(row);
        if (item == nullptr) {
            return;
        }
        item->setText(kSizeColumn, Message(message::kNotReceivedColumn));
        const QBrush grey = listView1_->palette().brush(QPalette::Disabled, QPalette::Text);
        for (int column = 0; column < listView1_->columnCount(); ++column) {
            item->setForeground(column, grey);
        }
    });
}

void TForm1::RemoveRow(int row) {
    bridge_.Run([this, row] {
        if (row < 0 || row >= listView1_->topLevelItemCount()) {
            return;
        }
        // The list would pass the selection on to a neighbour, whose picture is not the one
        // on show; a deleted row leaves nothing selected.
        const bool wasSelected = listView1_->topLevelItem(row)->isSelected();
        delete listView1_->takeTopLevelItem(row);
        if (wasSelected) {
            listView1_->clearSelection();
            image4_->ClearPicture();  // it showed the picture just deleted
        }
    });
}

int TForm1::SelectedRow() {
    return bridge_.Call<int>(
        [this] {
            const QList<QTreeWidgetItem*> selected = listView1_->selectedItems();
            return selected.isEmpty() ? -1 : listView1_->indexOfTopLevelItem(selected.first());
        },
        -1);
}

int TForm1::RowCount() {
    return bridge_.Call<int>([this] { return listView1_->topLevelItemCount(); }, 0);
}

void TForm1::ShowPreview(const QImage& picture) {
    bridge_.Run([this, picture] { image3_->StretchDrawOnCanvas(kLiveViewRect, picture); });
}

void TForm1::RestoreLiveViewGeometry() {
    bridge_.Run([this] {
        if (image3_->width() != kLiveViewRect.width()) {
            image3_->setGeometry(0, image3_->y(), kLiveViewRect.width(), image3_->height());
        }
        if (image3_->height() != kLiveViewRect.height()) {
            image3_->setGeometry(image3_->x(), 0, image3_->width(), kLiveViewRect.height());
        }
    });
}

void TForm1::SetBrowseViewVisible(bool visible) {
    bridge_.Run([this, visible] { image4_->setVisible(visible); });
}

// Overlays of a live frame that arrived after the camera went off land on the browse
// view's picture, opaque on white like those of a browsed picture.
void TForm1::DrawOverlaysOnBrowseView(uint8_t zoomCode, bool drawMagnification, bool drawRuler) {
    bridge_.Run([this, zoomCode, drawMagnification, drawRuler] {
        QImage picture = image4_->Picture();
        if (picture.isNull()) {
            picture = QImage(kLiveViewRect.size(), QImage::Format_RGB32);
            picture.fill(kBrowseOverlayBackground);
        }
        DrawOverlays(picture, zoomCode, drawMagnification, drawRuler, kBrowseOverlayBackground);
        image4_->SetPicture(picture);
    });
}

void TForm1::ShowEnlargedLiveView(const QImage& picture, const QRect& geometry) {
    bridge_.Run([this, picture, geometry] {
        image3_->SetAutoSize(false);
        image3_->SetStretch(true);
        image3_->SetPicture(picture);
        image3_->setGeometry(geometry);
    });
}

void TForm1::ShowBrowsePicture(const QImage& picture) {
    bridge_.Run([this, picture] { image4_->SetPicture(picture); });
}

bool TForm1::ShowRulerChecked() const {
    return rulerChecked_.load(std::memory_order_relaxed);
}

bool TForm1::ShowMagnificationChecked() const {
    return magnificationChecked_.load(std::memory_order_relaxed);
}

}  // namespace dm
