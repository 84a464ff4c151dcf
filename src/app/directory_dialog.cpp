// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/directory_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeWidget>

namespace dm {

namespace {

constexpr QSize kClientSize(353, 269);
constexpr int kFolderItemHeight = 16;
constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

// A folder item with a stand-in child, so it shows as openable until it is filled.
QTreeWidgetItem* MakeFolderItem(const QString& name, const QString& path) {
    auto* item = new QTreeWidgetItem(QStringList{name});
    item->setData(0, kPathRole, path);
    item->setData(0, kFilledRole, false);
    item->addChild(new QTreeWidgetItem());
    return item;
}

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

    directoryListBox1_ = new QTreeWidget(this);
    directoryListBox1_->setObjectName(QStringLiteral("DirectoryListBox1"));
    directoryListBox1_->setGeometry(32, 48, 289, 177);
    directoryListBox1_->setHeaderHidden(true);
    directoryListBox1_->setUniformRowHeights(true);
    directoryListBox1_->setStyleSheet(
        QStringLiteral("QTreeView::item { height: %1px; }").arg(kFolderItemHeight));
    connect(directoryListBox1_, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { FillFolder(item); });

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
    directoryListBox1_->clear();
    QTreeWidgetItem* root = MakeFolderItem(drive, drive);
    directoryListBox1_->addTopLevelItem(root);
    directoryListBox1_->setCurrentItem(root);
    root->setExpanded(true);
}

void TDirectoryDlg::FillFolder(QTreeWidgetItem* item) {
    if (item->data(0, kFilledRole).toBool()) {
        return;
    }
    item->setData(0, kFilledRole, true);
    qDeleteAll(item->takeChildren());
    const QDir folder(item->data(0, kPathRole).toString());
    for (const QString& name :
         folder.entryList(QDir::AllDirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        item->addChild(MakeFolderItem(name, folder.filePath(name)));
    }
}

QString TDirectoryDlg::SelectedFolder() const {
    const QTreeWidgetItem* current = directoryListBox1_->currentItem();
    if (current == nullptr) {
        return driveComboBox1_->currentText();
    }
    return current->data(0, kPathRole).toString();
}

}  // namespace dm
