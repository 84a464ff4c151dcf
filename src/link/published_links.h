// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The trust rules of the folder through which a virtual microscope tells the program
// where its pseudo-terminal is (PortTable::PublishedLinksDirectory()). The program opens
// and writes to whatever a link there leads to, so both sides use the folder only when
// no other local user can have put anything in it: a real directory (not a symbolic
// link), owned by this user, mode 0700. A folder under /tmp that another user made first
// fails these checks and is refused, never reused. And the program follows a link only
// to a pseudo-terminal.
//
// POSIX only: there are no published links on Windows. Any thread; nothing is kept.

#include <string>

namespace dm::published_links {

// The only mode the folder may have: its owner reads, writes and enters it, nobody else.
inline constexpr unsigned kFolderMode = 0700;

// Empty when the folder at path may be trusted, or does not exist (then nothing in it
// can mislead). Otherwise why not, naming the folder: "/tmp/x is owned by uid 65534,
// not by this user (uid 1000)".
std::string FolderProblem(const std::string& path);

// Creates the folder with kFolderMode when it is missing. A folder that exists is kept
// as it is, never repaired: whoever publishes asks FolderProblem next. Empty when the
// folder is there; otherwise why not.
std::string MakeFolder(const std::string& path);

// What a published link leads to, checked on the path it resolves to.
enum class LinkTarget {
    kPseudoTerminal,  // the slave side of a pseudo-terminal: the only kind followed
    kGone,            // nothing: the microscope that published it has ended
    kOther,           // anything else (a file, another device, a folder): refused
};

// For kOther, reason (when given) says where the link leads and why it is refused.
LinkTarget Follow(const std::string& link, std::string* reason = nullptr);

}  // namespace dm::published_links
