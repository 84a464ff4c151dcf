#pragma once
// The symbolic link through which the program's port table finds a running virtual
// microscope: <PublishedLinksDirectory()>/vm-<pid>-<n> -> the slave path. The directory
// is created private to the user (0700). The link is removed when this object goes (or
// Remove() is called); links left behind by microscopes whose process has ended are
// removed when a new one is published.

#include <string>

namespace dm::vm {

class PublishedLink {
  public:
    PublishedLink() = default;
    ~PublishedLink();
    PublishedLink(const PublishedLink&) = delete;
    PublishedLink& operator=(const PublishedLink&) = delete;

    // Publishes target under the first free number n. Returns false with ErrorText()
    // set when the directory or the link cannot be made.
    bool Publish(const std::string& target);
    void Remove();

    const std::string& LinkPath() const { return linkPath_; }
    const std::string& ErrorText() const { return error_; }

  private:
    std::string linkPath_;
    std::string error_;
};

}  // namespace dm::vm
