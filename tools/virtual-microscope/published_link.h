// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The symbolic link through which the program's port table finds a running virtual
// microscope: <PublishedLinksDirectory()>/vm-<pid>-<n> -> the slave path. The directory
// is created private to the user (0700); one that exists is used only when it may be
// trusted (link/published_links.h), else nothing is published. The link is removed when
// this object goes (or Remove() is called); links left behind by microscopes whose
// process has ended are removed when a new one is published.

#include <string>

namespace dm::vm {

class PublishedLink {
  public:
    PublishedLink() = default;
    ~PublishedLink();
    PublishedLink(const PublishedLink&) = delete;
    PublishedLink& operator=(const PublishedLink&) = delete;

    enum class Outcome {
        kPublished,
        kFolderRefused,  // the directory is a link, another user's, or open to others
        kFailed,         // the directory or the link could not be made
    };

    // Publishes target under the first free number n. ErrorText() says why when it
    // did not.
    Outcome Publish(const std::string& target);
    void Remove();

    const std::string& LinkPath() const { return linkPath_; }
    const std::string& ErrorText() const { return error_; }

  private:
    std::string linkPath_;
    std::string error_;
};

}  // namespace dm::vm
