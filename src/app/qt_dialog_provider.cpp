// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qt_dialog_provider.h"

#include <QFileDialog>
#include <QMessageBox>

namespace dm {

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Error:
            return QMessageBox::Critical;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool QtDialogProvider::ShowBox(QWidget* parent, const BoxRequest& request) {
    if (closing_) {
        return false;
    }
    const bool withCancel = request.buttons == BoxButtons::OkCancel;
    QMessageBox box(ToQtIcon(request.icon), request.caption, request.text,
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
    box.setWindowModality(Qt::ApplicationModal);
    if (request.onTop) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    box.setDefaultButton(QMessageBox::Ok);
    if (withCancel) {
        box.setEscapeButton(QMessageBox::Cancel);
    }
    Exec(box);
    if (closing_) {
        return false;  // closed by the window going away, not by the user
    }
    return box.clickedButton() == box.button(QMessageBox::Ok);
}

std::optional<FileAnswer> QtDialogProvider::ShowFileDialog(QWidget* parent,
                                                           const FileRequest& request) {
    if (closing_) {
        return std::nullopt;
    }
    QFileDialog dialog(parent);
    dialog.setWindowModality(Qt::ApplicationModal);
    const bool save = request.mode == FileDialogMode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (request.mode == FileDialogMode::Folder) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
    }
    if (!request.caption.isEmpty()) {
        dialog.setWindowTitle(request.caption);
    }
    dialog.setNameFilters(request.filters);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.folder.isEmpty()) {
        dialog.setDirectory(request.folder);
    }
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    FileAnswer answer;
    answer.path = dialog.selectedFiles().constFirst();
    answer.filterIndex = static_cast<int>(request.filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (answer.filterIndex < 1) {
        answer.filterIndex = 1;
    }
    return answer;
}

int QtDialogProvider::RunDialog(QDialog& dialog) {
    if (closing_) {
        return QDialog::Rejected;
    }
    return Exec(dialog);
}

void QtDialogProvider::CloseAll() {
    closing_ = true;
    // Innermost first, so each nested loop unwinds in order.
    for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
        if (!it->isNull()) {
            (*it)->reject();
        }
    }
}

int QtDialogProvider::Exec(QDialog& dialog) {
    open_.append(QPointer<QDialog>(&dialog));
    const int result = dialog.exec();
    open_.removeAll(QPointer<QDialog>(&dialog));
    return result;
}

}  // namespace dm
