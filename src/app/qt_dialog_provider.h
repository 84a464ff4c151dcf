// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real dialogs: QMessageBox, QFileDialog and QDialog::exec.

#include <QList>
#include <QPointer>

#include "app/dialog_provider.h"

namespace dm {

class QtDialogProvider : public DialogProvider {
  public:
    bool ShowBox(QWidget* parent, const BoxRequest& request) override;
    std::optional<FileAnswer> ShowFileDialog(QWidget* parent, const FileRequest& request) override;
    int RunDialog(QDialog& dialog) override;
    void CloseAll() override;

  private:
    int Exec(QDialog& dialog);

    // Boxes and dialogs open right now, innermost last.
    QList<QPointer<QDialog>> open_;
    bool closing_ = false;
};

}  // namespace dm
