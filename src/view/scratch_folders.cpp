// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/scratch_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace dm {

namespace {

const QString kRunPrefix = QStringLiteral("run-");
const QString kLockSuffix = QStringLiteral(".lock");
const QString kDownloads = QStringLiteral("downloads");
const QString kSnapshots = QStringLiteral("snapshots");
// Names tried after "run-<pid>", whose lock may look held when an earlier process of
// the same number left it behind.
constexpr int kRunNameAttempts = 100;
constexpr int kNoWait = 0;
constexpr int kNeverStaleByAge = 0;

std::unique_ptr<QLockFile> RunLock(const QString& runFolder) {
    auto lock = std::make_unique<QLockFile>(runFolder + kLockSuffix);
    lock->setStaleLockTime(kNeverStaleByAge);
    return lock;
}

}  // namespace

ScratchFolders::ScratchFolders(const QString& root) {
    RemoveLeftovers(root);
    Claim(root);
}

ScratchFolders::~ScratchFolders() {
    Remove();
}

void ScratchFolders::Claim(const QString& root) {
    const QDir rootDir(root);
    const QString base = kRunPrefix + QString::number(QCoreApplication::applicationPid());
    for (int attempt = 0; attempt < kRunNameAttempts; ++attempt) {
        const QString name =
            attempt == 0 ? base : base + QLatin1Char('-') + QString::number(attempt);
        auto lock = RunLock(rootDir.filePath(name));
        if (lock->tryLock(kNoWait)) {
            runFolder_ = rootDir.filePath(name);
            lock_ = std::move(lock);
            break;
        }
    }
    if (!lock_) {
        runFolder_ = rootDir.filePath(base);  // unusable; see the constructor
    }
    downloads_ = QDir(runFolder_).filePath(kDownloads);
    snapshots_ = QDir(runFolder_).filePath(kSnapshots);
    if (lock_) {
        // A folder of this name without a live lock is a leftover: start afresh.
        QDir(runFolder_).removeRecursively();
        QDir().mkpath(downloads_);
        QDir().mkpath(snapshots_);
    }
}

void ScratchFolders::Remove() {
    if (!lock_) {
        return;
    }
    QDir(runFolder_).removeRecursively();
    lock_.reset();  // unlocks, removing the lock file
}

void ScratchFolders::RemoveLeftovers(const QString& root) {
    const QDir rootDir(root);
    QSet<QString> runFolders;
    const QFileInfoList entries =
        rootDir.entryInfoList({kRunPrefix + QLatin1Char('*')},
                              QDir::Dirs | QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        QString path = entry.absoluteFilePath();
        if (entry.isFile()) {
            if (!path.endsWith(kLockSuffix)) {
                continue;
            }
            path.chop(kLockSuffix.size());
        }
        runFolders.insert(path);
    }
    for (const QString& runFolder : runFolders) {
        const auto lock = RunLock(runFolder);
        if (lock->tryLock(kNoWait)) {
            QDir(runFolder).removeRecursively();
        }
    }
}

}  // namespace dm
