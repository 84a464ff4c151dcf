// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/port_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "link/published_links.h"
#include "support/scoped_env.h"
#include "virtual-microscope/pseudo_terminal.h"

namespace dm {
namespace {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "port-table-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// The machine's own serial devices: /dev/ttyUSB*, then ttyACM*, then ttyS*, each
// group in numeric order.
void ExpectSystemDevicesInOrder(const std::vector<std::string>& devices) {
    const std::vector<std::string> groups = {"/dev/ttyUSB", "/dev/ttyACM", "/dev/ttyS"};
    size_t lastGroup = 0;
    long lastNumber = -1;
    for (const std::string& device : devices) {
        size_t group = 0;
        while (group < groups.size() && device.rfind(groups[group], 0) != 0) {
            ++group;
        }
        ASSERT_LT(group, groups.size()) << device;
        const long number = std::stol(device.substr(groups[group].size()));
        if (group != lastGroup) {
            EXPECT_GT(group, lastGroup) << device;
            lastGroup = group;
        } else {
            EXPECT_GT(number, lastNumber) << device;
        }
        lastNumber = number;
    }
}

class PortTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(runtime_.Path().empty());
        ASSERT_EQ(::mkdir(Published().c_str(), published_links::kFolderMode), 0);
        ASSERT_TRUE(terminal_.Open()) << terminal_.ErrorText();
    }
    fs::path Published() const { return runtime_.Path() / "virtual-microscope"; }
    void Link(const std::string& name, const fs::path& target) const {
        fs::create_symlink(target, Published() / name);
    }
    // A link to the slave side of a real pseudo-terminal, as a microscope publishes it.
    void LinkTerminal(const std::string& name) const { Link(name, terminal_.SlavePath()); }
    // The published links the table lists, in order.
    static std::vector<std::string> ListedLinks(const PortTable& table, const fs::path& folder) {
        std::vector<std::string> links;
        for (const std::string& device : table.Devices()) {
            if (fs::path(device).parent_path() == folder) {
                links.push_back(device);
            }
        }
        return links;
    }

    TempDir runtime_;
    test::ScopedEnv runtimeDir_{"XDG_RUNTIME_DIR", runtime_.Path().string()};
    test::ScopedEnv ports_{"MICROSCOPE_PORTS", std::nullopt};
    vm::PseudoTerminal terminal_;
};

TEST_F(PortTableTest, ConfiguredPathsComeFirstInTheirOwnOrder) {
    test::ScopedEnv ports("MICROSCOPE_PORTS", ":/dev/zz-second::/dev/aa-first:");
    LinkTerminal("vm0");

    const PortTable table = PortTable::FromSystem();
    ASSERT_GE(table.Devices().size(), 3u);
    EXPECT_EQ(table.DeviceFor(0), "/dev/zz-second") << "listed as given, empty pieces skipped";
    EXPECT_EQ(table.DeviceFor(1), "/dev/aa-first");
    EXPECT_EQ(table.DeviceFor(2), (Published() / "vm0").string());
    EXPECT_TRUE(table.Ignored().empty());
}

TEST_F(PortTableTest, PublishedLinksAreNaturallySortedAndDeadOnesSkipped) {
    EXPECT_EQ(PortTable::PublishedLinksDirectory(), Published().string());
    for (const char* name : {"vm10", "vm2", "vm1", "vm2b"}) {
        LinkTerminal(name);
    }
    Link("vm3", runtime_.Path() / "microscope-that-ended");  // dangling

    const PortTable table = PortTable::FromSystem();
    const std::vector<std::string>& devices = table.Devices();
    const std::vector<std::string> expected = {Published() / "vm1", Published() / "vm2",
                                               Published() / "vm2b", Published() / "vm10"};
    ASSERT_GE(devices.size(), expected.size());
    EXPECT_EQ(std::vector(devices.begin(), devices.begin() + 4), expected);
    ExpectSystemDevicesInOrder(std::vector(devices.begin() + 4, devices.end()));
    EXPECT_TRUE(table.Ignored().empty())
        << "an ended microscope is no news: " << table.Ignored().front();
}

// Links that lead anywhere but to a pseudo-terminal are left out, each with its reason.
TEST_F(PortTableTest, OnlyLinksToAPseudoTerminalAreFollowed) {
    LinkTerminal("vm-terminal");
    Link("vm-null", "/dev/null");  // a character device, but no terminal
    const fs::path plain = runtime_.Path() / "notes.txt";
    std::FILE* notes = std::fopen(plain.c_str(), "w");
    ASSERT_NE(notes, nullptr);
    std::fclose(notes);
    Link("vm-file", plain);

    const PortTable table = PortTable::FromSystem();
    EXPECT_EQ(ListedLinks(table, Published()),
              std::vector<std::string>{Published() / "vm-terminal"});
    ASSERT_EQ(table.Ignored().size(), 2u);
    std::string reasons = table.Ignored()[0] + "\n" + table.Ignored()[1];
    EXPECT_NE(reasons.find("vm-null leads to /dev/null, a character device that is no "
                           "pseudo-terminal"),
              std::string::npos)
        << reasons;
    EXPECT_NE(reasons.find("vm-file leads to " + plain.string() + ", a regular file"),
              std::string::npos)
        << reasons;
}

// A folder another user could have prepared is not looked into at all.
class UntrustedFolderTest : public PortTableTest {
  protected:
    void SetUp() override {
        PortTableTest::SetUp();
        LinkTerminal("vm0");
    }
    // Nothing of the folder is listed, and the reason names it.
    void ExpectRefused(const std::string& why) const {
        const PortTable table = PortTable::FromSystem();
        EXPECT_TRUE(ListedLinks(table, Published()).empty());
        ASSERT_EQ(table.Ignored().size(), 1u);
        EXPECT_EQ(table.Ignored()[0], Published().string() + why);
    }
};

TEST_F(UntrustedFolderTest, ASymbolicLinkIsRefusedWhereverItLeads) {
    const fs::path real = runtime_.Path() / "real-folder";
    fs::rename(Published(), real);
    fs::create_directory_symlink(real, Published());
    ExpectRefused(" is a symbolic link, not a directory; the links in it are ignored");
}

TEST_F(UntrustedFolderTest, AFolderOfAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a folder to another user";
    }
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(::chown(Published().c_str(), kNobody, kNobody), 0);
    ExpectRefused(
        " is owned by uid 65534, not by this user (uid 0); the links in it are "
        "ignored");
}

TEST_F(UntrustedFolderTest, AFolderOthersMayEnterIsRefused) {
    fs::permissions(Published(), fs::perms::group_read | fs::perms::group_exec,
                    fs::perm_options::add);
    ExpectRefused(
        " has mode 0750; only 0700 (the owner alone) is trusted; the links in it "
        "are ignored");
}

TEST_F(PortTableTest, WithNothingConfiguredOnlySerialDevicesAreListed) {
    fs::remove(Published());
    const PortTable table = PortTable::FromSystem();
    ExpectSystemDevicesInOrder(table.Devices());
    EXPECT_EQ(table.DeviceFor(static_cast<unsigned>(table.Devices().size())), std::nullopt);
    EXPECT_TRUE(table.Ignored().empty()) << "a folder that is not there hides nothing";
}

TEST(PortTable, NumberPastTheEndNamesNoDevice) {
    const PortTable table({"/dev/a", "/dev/b"});
    EXPECT_EQ(table.DeviceFor(1), "/dev/b");
    EXPECT_EQ(table.DeviceFor(2), std::nullopt);
    EXPECT_EQ(PortTable({}).DeviceFor(0), std::nullopt);
}

TEST(PortTable, LinksLiveUnderTmpWithoutARuntimeDirectory) {
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(PortTable::PublishedLinksDirectory(),
              "/tmp/virtual-microscope-" + std::to_string(::getuid()));
}

}  // namespace
}  // namespace dm
