#pragma once
// TDirectoryDlg: a drive and folder chooser captioned "Select Save Path". The program
// creates it at start-up and keeps it, without showing it. Window thread only.

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QPushButton;
class QTreeView;

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
    QComboBox* driveComboBox1_ = nullptr;
    QTreeView* directoryListBox1_ = nullptr;
    QFileSystemModel* folders_ = nullptr;
    QPushButton* okBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};

}  // namespace dm
