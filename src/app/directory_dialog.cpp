#include "app/directory_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>

namespace dm {

namespace {

constexpr QSize kClientSize(353, 269);
constexpr int kFolderItemHeight = 16;

QStringList MountedVolumeRoots() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && !roots.contains(volume.rootPath())) {
            roots.append(volume.rootPath());
        }
    }
    roots.sort();
    if (roots.isEmpty()) {
        roots.append(QDir::rootPath());
    }
    return roots;
}

}  // namespace

TDirectoryDlg::TDirectoryDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("DirectoryDlg"));
    setWindowTitle(QStringLiteral("Select Save Path"));
    setFixedSize(kClientSize);

    driveComboBox1_ = new QComboBox(this);
    driveComboBox1_->setObjectName(QStringLiteral("DriveComboBox1"));
    driveComboBox1_->setGeometry(32, 16, 289, 19);
    driveComboBox1_->addItems(MountedVolumeRoots());

    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);

    directoryListBox1_ = new QTreeView(this);
    directoryListBox1_->setObjectName(QStringLiteral("DirectoryListBox1"));
    directoryListBox1_->setGeometry(32, 48, 289, 177);
    directoryListBox1_->setModel(folders_);
    directoryListBox1_->setHeaderHidden(true);
    directoryListBox1_->setUniformRowHeights(true);
    directoryListBox1_->setStyleSheet(
        QStringLiteral("QTreeView::item { height: %1px; }").arg(kFolderItemHeight));
    for (int column = 1; column < folders_->columnCount(); ++column) {
        directoryListBox1_->hideColumn(column);
    }

    okBtn_ = new QPushButton(QStringLiteral("OK"), this);
    okBtn_->setObjectName(QStringLiteral("OKBtn"));
    okBtn_->setGeometry(95, 236, 75, 25);
    okBtn_->setDefault(true);
    connect(okBtn_, &QPushButton::clicked, this, &QDialog::accept);

    cancelBtn_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelBtn_->setObjectName(QStringLiteral("CancelBtn"));
    cancelBtn_->setGeometry(183, 236, 75, 25);
    connect(cancelBtn_, &QPushButton::clicked, this, &QDialog::reject);  // Escape too

    connect(driveComboBox1_, &QComboBox::currentIndexChanged, this,
            [this] { DriveComboBox1Change(); });
    DriveComboBox1Change();
}

void TDirectoryDlg::DriveComboBox1Change() {
    const QString drive = driveComboBox1_->currentText();
    directoryListBox1_->setRootIndex(folders_->setRootPath(drive));
}

QString TDirectoryDlg::SelectedFolder() const {
    const QModelIndex current = directoryListBox1_->currentIndex();
    if (!current.isValid()) {
        return driveComboBox1_->currentText();
    }
    return folders_->filePath(current);
}

}  // namespace dm
