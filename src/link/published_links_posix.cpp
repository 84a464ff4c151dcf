// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/published_links.h"

#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/sysmacros.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace dm::published_links {

namespace {

constexpr mode_t kPermissionBits = 07777;

#ifdef __linux__
// The device majors of pseudo-terminal slaves (/dev/pts/N) on Linux.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;
#else
constexpr std::string_view kPtySlaveFolder = "/dev/pts/";
#endif

std::string OctalMode(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & kPermissionBits));
    return text;
}

// The folder's own entry, not what a link there points to: a link is refused as such.
std::string ProblemOf(const std::string& path, const struct stat& info) {
    if (S_ISLNK(info.st_mode)) {
        return path + " is a symbolic link, not a directory";
    }
    if (!S_ISDIR(info.st_mode)) {
        return path + " is not a directory";
    }
    if (info.st_uid != ::geteuid()) {
        return path + " is owned by uid " + std::to_string(info.st_uid) +
               ", not by this user (uid " + std::to_string(::geteuid()) + ")";
    }
    if ((info.st_mode & kPermissionBits) != kFolderMode) {
        return path + " has mode " + OctalMode(info.st_mode) + "; only " + OctalMode(kFolderMode) +
               " (the owner alone) is trusted";
    }
    return {};
}

bool IsPseudoTerminal([[maybe_unused]] const std::string& resolved, const struct stat& info) {
    if (!S_ISCHR(info.st_mode)) {
        return false;
    }
#ifdef __linux__
    const unsigned deviceMajor = major(info.st_rdev);
    return deviceMajor >= kFirstPtySlaveMajor && deviceMajor <= kLastPtySlaveMajor;
#else
    return std::string_view(resolved).starts_with(kPtySlaveFolder);
#endif
}

std::string KindOf(const struct stat& info) {
    if (S_ISREG(info.st_mode)) {
        return "a regular file";
    }
    if (S_ISDIR(info.st_mode)) {
        return "a directory";
    }
    if (S_ISCHR(info.st_mode)) {
        return "a character device that is no pseudo-terminal";
    }
    return "no pseudo-terminal";
}

}  // namespace

std::string FolderProblem(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return {};
        }
        return path + ": " + std::strerror(errno);
    }
    return ProblemOf(path, info);
}

std::string MakeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        return "mkdir " + path + ": " + std::strerror(errno);
    }
    return {};
}

LinkTarget Follow(const std::string& link, std::string* reason) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(link.c_str(), nullptr),
                                                               &std::free);
    if (!resolved) {
        if (errno == ENOENT) {
            return LinkTarget::kGone;
        }
        if (reason != nullptr) {
            *reason = link + ": " + std::strerror(errno);
        }
        return LinkTarget::kOther;
    }
    struct stat info {};
    if (::stat(resolved.get(), &info) != 0) {
        return LinkTarget::kGone;
    }
    if (IsPseudoTerminal(resolved.get(), info)) {
        return LinkTarget::kPseudoTerminal;
    }
    if (reason != nullptr) {
        *reason = link + " leads to " + resolved.get() + ", " + KindOf(info);
    }
    return LinkTarget::kOther;
}

}  // namespace dm::published_links
