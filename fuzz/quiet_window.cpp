// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz/quiet_window.h"

namespace dm::fuzz {

void QuietWindow::ShowInfo(const QString& /*text*/) {}

void QuietWindow::ShowError(const QString& /*text*/) {
    ++errorsShown_;
}

bool QuietWindow::AskOkCancel(const QString& /*text*/) {
    return false;
}

bool QuietWindow::AskWarning(const QString& /*text*/) {
    return false;
}

QString QuietWindow::Message(int /*number*/) const {
    return {};
}

std::optional<OpenPictureChoice> QuietWindow::ChooseUploadPicture() {
    return std::nullopt;
}

std::optional<QString> QuietWindow::ChooseSnapshotFile(const QString& /*name*/) {
    return std::nullopt;
}

std::optional<QString> QuietWindow::ChooseJpegFile(const QString& /*name*/) {
    return std::nullopt;
}

void QuietWindow::SetProgress(int /*percent*/) {}
void QuietWindow::ApplyButtonSet(ButtonSet /*set*/) {}
void QuietWindow::SetEnabled(Control /*control*/, bool /*enabled*/) {}
void QuietWindow::SetConnected(bool /*connected*/) {}
void QuietWindow::SetCameraGlyph(const QString& /*fileName*/) {}

void QuietWindow::ClearRows() {}
void QuietWindow::AddRow(const PictureRow& /*row*/) {}
void QuietWindow::RemoveRow(int /*row*/) {}
void QuietWindow::MarkRowNotReceived(int /*row*/) {}

int QuietWindow::SelectedRow() {
    return -1;
}

int QuietWindow::RowCount() {
    return 0;
}

void QuietWindow::ShowPreview(const QImage& /*picture*/) {}
void QuietWindow::RestoreLiveViewGeometry() {}
void QuietWindow::SetBrowseViewVisible(bool /*visible*/) {}
void QuietWindow::DrawOverlaysOnBrowseView(uint8_t /*zoomCode*/, bool /*drawMagnification*/,
                                           bool /*drawRuler*/) {}
void QuietWindow::ShowEnlargedLiveView(const QImage& /*picture*/, const QRect& /*geometry*/) {}
void QuietWindow::ShowBrowsePicture(const QImage& /*picture*/) {}

bool QuietWindow::ShowRulerChecked() const {
    return overlaysChecked_;
}

bool QuietWindow::ShowMagnificationChecked() const {
    return overlaysChecked_;
}

}  // namespace dm::fuzz
