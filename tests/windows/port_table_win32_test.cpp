// SPDX-License-Identifier: GPL-3.0-or-later
// The port table on Windows: the COM ports the system defines, in number order, and a
// given table (the command line's --port) taken as it is.
#include "link/port_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "windows/test_ports.h"

namespace dm {
namespace {

constexpr char kDevicePrefix[] = "\\\\.\\COM";

unsigned ComNumber(const std::string& device) {
    return static_cast<unsigned>(std::stoul(device.substr(sizeof(kDevicePrefix) - 1)));
}

TEST(PortTableWin32, SystemTableListsTheMappedPortsInNumberOrder) {
    const std::string answering =
        windows_test::PortFromEnvironment(windows_test::kTestPortVariable);
    const std::string vanishing =
        windows_test::PortFromEnvironment(windows_test::kVanishingPortVariable);
    ASSERT_FALSE(answering.empty() || vanishing.empty())
        << "the test ports come from scripts/test.sh windows";

    const std::vector<std::string> devices = PortTable::FromSystem().Devices();
    for (const std::string& device : {answering, vanishing}) {
        EXPECT_NE(std::find(devices.begin(), devices.end(), device), devices.end()) << device;
    }
    unsigned last = 0;
    for (const std::string& device : devices) {
        ASSERT_EQ(device.rfind(kDevicePrefix, 0), 0u) << device;
        EXPECT_GT(ComNumber(device), last) << device << " out of order";
        last = ComNumber(device);
    }
}

TEST(PortTableWin32, AGivenTableNamesItsOwnDevicesOnly) {
    const PortTable table({"\\\\.\\COM9"});
    EXPECT_EQ(table.DeviceFor(0), "\\\\.\\COM9") << "port 0 is the first entry, not COM0";
    EXPECT_EQ(table.DeviceFor(1), std::nullopt);
}

}  // namespace
}  // namespace dm
