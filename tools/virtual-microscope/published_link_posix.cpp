// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtual-microscope/published_link.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string_view>

#include "link/port_table.h"
#include "link/published_links.h"

namespace dm::vm {

namespace {

constexpr int kMaxLinksPerProcess = 10000;
constexpr std::string_view kLinkPrefix = "vm-";

// "vm-<pid>-<n>" -> pid, or 0 for any other name.
pid_t OwnerOf(std::string_view name) {
    if (!name.starts_with(kLinkPrefix)) {
        return 0;
    }
    name.remove_prefix(kLinkPrefix.size());
    pid_t pid = 0;
    for (char c : name) {
        if (c == '-') {
            return pid;
        }
        if (c < '0' || c > '9') {
            return 0;
        }
        pid = pid * 10 + (c - '0');
    }
    return 0;
}

void RemoveLinksOfEndedProcesses(const std::string& directory) {
    DIR* entries = opendir(directory.c_str());
    if (entries == nullptr) {
        return;
    }
    while (const dirent* entry = readdir(entries)) {
        const pid_t owner = OwnerOf(entry->d_name);
        if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH) {
            ::unlink((directory + "/" + entry->d_name).c_str());
        }
    }
    closedir(entries);
}

}  // namespace

PublishedLink::~PublishedLink() {
    Remove();
}

PublishedLink::Outcome PublishedLink::Publish(const std::string& target) {
    Remove();
    const std::string directory = PortTable::PublishedLinksDirectory();
    error_ = published_links::MakeFolder(directory);
    if (!error_.empty()) {
        return Outcome::kFailed;
    }
    error_ = published_links::FolderProblem(directory);
    if (!error_.empty()) {
        return Outcome::kFolderRefused;
    }
    RemoveLinksOfEndedProcesses(directory);
    const std::string stem =
        directory + "/" + std::string(kLinkPrefix) + std::to_string(getpid()) + "-";
    for (int n = 0; n < kMaxLinksPerProcess; ++n) {
        const std::string candidate = stem + std::to_string(n);
        if (::symlink(target.c_str(), candidate.c_str()) == 0) {
            linkPath_ = candidate;
            return Outcome::kPublished;
        }
        if (errno != EEXIST) {
            error_ = "symlink " + candidate + ": " + std::strerror(errno);
            return Outcome::kFailed;
        }
    }
    error_ = "no free link name under " + directory;
    return Outcome::kFailed;
}

void PublishedLink::Remove() {
    if (!linkPath_.empty()) {
        ::unlink(linkPath_.c_str());
        linkPath_.clear();
    }
}

}  // namespace dm::vm
