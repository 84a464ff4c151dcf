#include "link/port_table.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dm {
namespace {

namespace fs = std::filesystem;

// Sets or clears an environment variable and puts the old value back afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

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
        fs::create_directory(Published());
    }
    fs::path Published() const { return runtime_.Path() / "virtual-microscope"; }
    void Link(const std::string& name, const fs::path& target) const {
        fs::create_symlink(target, Published() / name);
    }

    TempDir runtime_;
    ScopedEnv runtimeDir_{"XDG_RUNTIME_DIR", runtime_.Path().string()};
    ScopedEnv ports_{"MICROSCOPE_PORTS", std::nullopt};
};

TEST_F(PortTableTest, ConfiguredPathsComeFirstInTheirOwnOrder) {
    ScopedEnv ports("MICROSCOPE_PORTS", ":/dev/zz-second::/dev/aa-first:");
    Link("vm0", "/dev/null");

    const PortTable table = PortTable::FromSystem();
    ASSERT_GE(table.Devices().size(), 3u);
    EXPECT_EQ(table.DeviceFor(0), "/dev/zz-second") << "listed as given, empty pieces skipped";
    EXPECT_EQ(table.DeviceFor(1), "/dev/aa-first");
    EXPECT_EQ(table.DeviceFor(2), (Published() / "vm0").string());
}

TEST_F(PortTableTest, PublishedLinksAreNaturallySortedAndDeadOnesSkipped) {
    EXPECT_EQ(PortTable::PublishedLinksDirectory(), Published().string());
    for (const char* name : {"vm10", "vm2", "vm1", "vm2b"}) {
        Link(name, "/dev/null");
    }
    Link("vm3", runtime_.Path() / "microscope-that-ended");  // dangling
    {
        std::FILE* notes = std::fopen((Published() / "vm4.txt").c_str(), "w");
        ASSERT_NE(notes, nullptr);
        std::fclose(notes);  // a plain file leads to no terminal
    }

    const std::vector<std::string> devices = PortTable::FromSystem().Devices();
    const std::vector<std::string> expected = {Published() / "vm1", Published() / "vm2",
                                               Published() / "vm2b", Published() / "vm10"};
    ASSERT_GE(devices.size(), expected.size());
    EXPECT_EQ(std::vector(devices.begin(), devices.begin() + 4), expected);
    ExpectSystemDevicesInOrder(std::vector(devices.begin() + 4, devices.end()));
}

TEST_F(PortTableTest, WithNothingConfiguredOnlySerialDevicesAreListed) {
    fs::remove(Published());
    const PortTable table = PortTable::FromSystem();
    ExpectSystemDevicesInOrder(table.Devices());
    EXPECT_EQ(table.DeviceFor(static_cast<unsigned>(table.Devices().size())), std::nullopt);
}

TEST(PortTable, NumberPastTheEndNamesNoDevice) {
    const PortTable table({"/dev/a", "/dev/b"});
    EXPECT_EQ(table.DeviceFor(1), "/dev/b");
    EXPECT_EQ(table.DeviceFor(2), std::nullopt);
    EXPECT_EQ(PortTable({}).DeviceFor(0), std::nullopt);
}

TEST(PortTable, LinksLiveUnderTmpWithoutARuntimeDirectory) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(PortTable::PublishedLinksDirectory(),
              "/tmp/virtual-microscope-" + std::to_string(::getuid()));
}

}  // namespace
}  // namespace dm
