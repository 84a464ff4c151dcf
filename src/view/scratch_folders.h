// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The scratch folders of one run of the program, inside the scratch root (the program's folder in
// the user's cache folder):
//   <root>/run-<pid>[-<n>]/downloads  the scratch pictures of the current download
//   <root>/run-<pid>[-<n>]/snapshots  the scratch picture of a snapshot being saved
// so a snapshot's scratch picture never shares a name with a downloaded one, and no run
// ever reads another run's files.
//
// Each run folder is guarded by the lock file beside it, "<run folder>.lock", held while
// the run lasts. The lock is taken before the folder is made and released after it is
// removed, so a run folder whose lock no live process holds is the leftover of a run that
// ended without its clean-up, and any later run may remove it. A lock whose process is
// gone is stale; the lock's age never makes it stale, so long runs keep their folders.
// Window thread.

#include <memory>

#include <QLockFile>
#include <QString>

namespace dm {

class ScratchFolders {
  public:
    // Removes the leftovers of runs that are no longer alive, then makes this run's
    // folders. When the root cannot hold them the paths still name them: writing there
    // fails and is reported by the writer.
    explicit ScratchFolders(const QString& root);
    ~ScratchFolders();
    ScratchFolders(const ScratchFolders&) = delete;
    ScratchFolders& operator=(const ScratchFolders&) = delete;

    const QString& RunFolder() const { return runFolder_; }
    const QString& DownloadsFolder() const { return downloads_; }
    const QString& SnapshotsFolder() const { return snapshots_; }

    // Removes the run folder with everything in it and releases its lock; the root stays.
    // Later calls do nothing.
    void Remove();

    // Removes every run folder in root whose lock no live process holds.
    static void RemoveLeftovers(const QString& root);

  private:
    void Claim(const QString& root);

    QString runFolder_;
    QString downloads_;
    QString snapshots_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace dm
