// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TDirectoryDlg: a drive and folder chooser captioned "Select Save Path". The program
// creates it at start-up and keeps it, without showing it. Window thread only.

#include <QDialog>

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace dm {

class TDirectoryDlg : public QDialog {
    Q_OBJECT
  public:
    explicit TDirectoryDlg(QWidget* parent = nullptr);

    // The mounted volume chosen in DriveComboBox1 becomes the tree's root.
    void DriveComboBox1Change();
    // The folder last selected in the tree, or the drive's root.
    QString SelectedFolder() const;

  private:
    // Folders are listed when their item is first opened, on the window thread.
    void FillFolder(QTreeWidgetItem* item);

    QComboBox* driveComboBox1_ = nullptr;
    QTreeWidget* directoryListBox1_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};

}  // namespace dm
