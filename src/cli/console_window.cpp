// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console_window.h"

#include <QDir>
#include <QFileInfo>
#include <array>

#include "base/message_numbers.h"

namespace dm::cli {

namespace {

constexpr int kJpegFilter = 1;
constexpr int kBitmapFilter = 2;

// The message boxes of the catalogue's first part that commands show, in English.
constexpr int kFirstBoxMessage = 7;
constexpr std::array<const char*, 10> kBoxMessages = {
    "All pictures have been downloaded.",
    "There are no pictures in the microscope.",
    "The microscope did not send its picture list.",
    "Delete all pictures in the microscope?",
    "The picture file cannot be read: it is no JPEG or BMP picture.",
    "The picture has been sent to the microscope.",
    "Delete picture %d from the microscope?",
    "Microscope found.",
    "No microscope was found.",
    "Save this snapshot to a file?",
};

}  // namespace

QString ConsoleWindow::EnglishMessage(int number) {
    const int index = number - kFirstBoxMessage;
    if (index >= 0 && index < static_cast<int>(kBoxMessages.size())) {
        return QString::fromLatin1(kBoxMessages[static_cast<std::size_t>(index)]);
    }
    if (const char* text = message::BuiltInEnglishText(number)) {
        return QString::fromUtf8(text);
    }
    return {};
}

void ConsoleWindow::SetUploadFile(const QString& path) {
    std::lock_guard guard(lock_);
    uploadFile_ = path;
}

void ConsoleWindow::SetSnapshotFile(const QString& path) {
    std::lock_guard guard(lock_);
    snapshotFile_ = path;
}

void ConsoleWindow::SelectRow(int row) {
    std::lock_guard guard(lock_);
    selectedRow_ = row;
}

void ConsoleWindow::SetProgressListener(ProgressListener listener) {
    std::lock_guard guard(lock_);
    progress_ = std::move(listener);
}

std::vector<ConsoleWindow::Box> ConsoleWindow::TakeBoxes() {
    std::lock_guard guard(lock_);
    return std::exchange(boxes_, {});
}

std::vector<PictureRow> ConsoleWindow::Rows() const {
    std::lock_guard guard(lock_);
    return rows_;
}

void ConsoleWindow::ShowInfo(const QString& text) {
    std::lock_guard guard(lock_);
    boxes_.push_back({text, false});
}

void ConsoleWindow::ShowError(const QString& text) {
    std::lock_guard guard(lock_);
    boxes_.push_back({text, true});
}

// The command line asked its questions before the command ran.
bool ConsoleWindow::AskOkCancel(const QString& /*text*/) {
    return true;
}

// The snapshot's save question: the command line always keeps its snapshots.
bool ConsoleWindow::AskWarning(const QString& /*text*/) {
    return true;
}

QString ConsoleWindow::Message(int number) const {
    return EnglishMessage(number);
}

// A ".bmp" file is looked for as a bitmap first, anything else as a JPEG, as if the user
// had picked the matching filter.
std::optional<OpenPictureChoice> ConsoleWindow::ChooseUploadPicture() {
    std::lock_guard guard(lock_);
    if (uploadFile_.isEmpty()) {
        return std::nullopt;
    }
    const bool bitmap =
        QFileInfo(uploadFile_).suffix().compare(QStringLiteral("bmp"), Qt::CaseInsensitive) == 0;
    return OpenPictureChoice{uploadFile_, bitmap ? kBitmapFilter : kJpegFilter};
}

// The file given, or the suggested name in the folder given (or the current folder).
std::optional<QString> ConsoleWindow::ChooseSnapshotFile(const QString& name) {
    std::lock_guard guard(lock_);
    if (snapshotFile_.isEmpty()) {
        return name;
    }
    if (QFileInfo(snapshotFile_).isDir()) {
        return QDir(snapshotFile_).filePath(name);
    }
    return snapshotFile_;
}

std::optional<QString> ConsoleWindow::ChooseJpegFile(const QString& /*name*/) {
    return std::nullopt;
}

void ConsoleWindow::SetProgress(int percent) {
    ProgressListener listener;
    {
        std::lock_guard guard(lock_);
        listener = progress_;
    }
    if (listener) {
        listener(percent);
    }
}

void ConsoleWindow::ClearRows() {
    std::lock_guard guard(lock_);
    rows_.clear();
}

void ConsoleWindow::AddRow(const PictureRow& row) {
    std::lock_guard guard(lock_);
    rows_.push_back(row);
}

void ConsoleWindow::RemoveRow(int row) {
    std::lock_guard guard(lock_);
    if (row >= 0 && row < static_cast<int>(rows_.size())) {
        rows_.erase(rows_.begin() + row);
    }
}

int ConsoleWindow::SelectedRow() {
    std::lock_guard guard(lock_);
    return selectedRow_;
}

int ConsoleWindow::RowCount() {
    std::lock_guard guard(lock_);
    return static_cast<int>(rows_.size());
}

// Nothing to show on a console: buttons, glyphs, previews and overlays.
void ConsoleWindow::ApplyButtonSet(ButtonSet /*set*/) {}
void ConsoleWindow::SetEnabled(Control /*control*/, bool /*enabled*/) {}
void ConsoleWindow::SetConnected(bool /*connected*/) {}
void ConsoleWindow::SetCameraGlyph(const QString& /*fileName*/) {}
void ConsoleWindow::MarkRowNotReceived(int /*row*/) {}
void ConsoleWindow::ShowPreview(const QImage& /*picture*/) {}
void ConsoleWindow::RestoreLiveViewGeometry() {}
void ConsoleWindow::SetBrowseViewVisible(bool /*visible*/) {}
void ConsoleWindow::DrawOverlaysOnBrowseView(uint8_t /*zoomCode*/, bool /*drawMagnification*/,
                                             bool /*drawRuler*/) {}
void ConsoleWindow::ShowEnlargedLiveView(const QImage& /*picture*/, const QRect& /*geometry*/) {}
void ConsoleWindow::ShowBrowsePicture(const QImage& /*picture*/) {}

bool ConsoleWindow::ShowRulerChecked() const {
    return false;
}

bool ConsoleWindow::ShowMagnificationChecked() const {
    return false;
}

}  // namespace dm::cli
