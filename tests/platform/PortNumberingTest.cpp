#include "platform/PortNumbering.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;
using namespace platform;

namespace {

TEST(PortNumbering, ComNIsTheUartOneBelowUnlessTheSettingsAssignAnother)
{
    EXPECT_EQ(defaultDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(defaultDevicePath(2), "/dev/ttyS1");
    EXPECT_EQ(defaultDevicePath(16), "/dev/ttyS15");
    EXPECT_EQ(defaultDevicePath(0), "");
    EXPECT_EQ(defaultDevicePath(-3), "");

    const PortAssignments assigned = {
        {3, "/dev/ttyUSB0"}, {4, "/dev/ttyACM0"}, {5, "/dev/pts/7"}, {6, ""}, {10, "/dev/serial/by-id/usb-FTDI-if00"},
    };
    EXPECT_EQ(devicePathForPort(3, assigned), "/dev/ttyUSB0");
    EXPECT_EQ(devicePathForPort(4, assigned), "/dev/ttyACM0");
    EXPECT_EQ(devicePathForPort(5, assigned), "/dev/pts/7");
    EXPECT_EQ(devicePathForPort(10, assigned), "/dev/serial/by-id/usb-FTDI-if00");
    EXPECT_EQ(devicePathForPort(6, assigned), "/dev/ttyS5") << "an empty assignment is none";
    EXPECT_EQ(devicePathForPort(1, assigned), "/dev/ttyS0");
    EXPECT_EQ(devicePathForPort(0, assigned), "");
    EXPECT_EQ(devicePathForPort(2, {}), "/dev/ttyS1");
}

TEST(PortNumbering, NamesSortByTheValueOfTheirNumbers)
{
    std::vector<std::string> names = {"ttyUSB10", "ttyS10", "ttyS2", "ttyUSB9", "ttyACM0", "ttyS1", "ttyS", "ttyS0"};
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return naturalLess(a, b); });
    const std::vector<std::string> expected = {"ttyACM0", "ttyS",   "ttyS0",   "ttyS1",
                                               "ttyS2",   "ttyS10", "ttyUSB9", "ttyUSB10"};
    EXPECT_EQ(names, expected);

    EXPECT_TRUE(naturalLess("ttyS9", "ttyS10"));
    EXPECT_FALSE(naturalLess("ttyS10", "ttyS9"));
    EXPECT_FALSE(naturalLess("ttyS1", "ttyS1"));
    // Equal by value but spelled differently: still a strict order.
    EXPECT_NE(naturalLess("ttyS01", "ttyS1"), naturalLess("ttyS1", "ttyS01"));
}

class DeviceFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "morvex-ports-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "dev");
        fs::create_directories(root_ / "sys");
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void node(const std::string& name) { std::ofstream(root_ / "dev" / name) << ""; }
    void uartType(const std::string& name, const std::string& type)
    {
        fs::create_directories(root_ / "sys" / name);
        std::ofstream(root_ / "sys" / name / "type") << type << "\n";
    }

    fs::path root_;
};

TEST_F(DeviceFolders, ListsSerialDevicesInNaturalOrderWithoutEmptyUartSlots)
{
    for (const char* name : {"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyUSB11", "ttyUSB2", "ttyACM0", "tty0", "ttyS",
                             "ttyUSB0.lock", "ttySx1", "console", "ptmx"}) {
        node(name);
    }
    fs::create_directories(root_ / "dev" / "serial");
    uartType("ttyS0", "4");
    uartType("ttyS1", "0"); // node without a UART behind it
    uartType("ttyS10", "4");
    // ttyS2 has no sysfs entry: it cannot be told absent and is listed.

    const fs::path dev = root_ / "dev";
    const std::vector<std::string> expected = {
        (dev / "ttyACM0").string(), (dev / "ttyS0").string(),   (dev / "ttyS2").string(),
        (dev / "ttyS10").string(),  (dev / "ttyUSB2").string(), (dev / "ttyUSB11").string(),
    };
    EXPECT_EQ(listSerialDevices(dev, root_ / "sys"), expected);
    EXPECT_TRUE(listSerialDevices(root_ / "missing", root_ / "sys").empty());
}

TEST_F(DeviceFolders, APresentDeviceIsAnExistingCharacterDeviceWithAUart)
{
    node("ttyUSB0"); // a plain file is no device
    EXPECT_FALSE(serialDevicePresent((root_ / "dev" / "ttyUSB0").string(), root_ / "sys"));
    EXPECT_FALSE(serialDevicePresent((root_ / "dev" / "nothing").string(), root_ / "sys"));
    EXPECT_FALSE(serialDevicePresent("", root_ / "sys"));
    EXPECT_TRUE(serialDevicePresent("/dev/null", root_ / "sys"));

    // A link to a character device counts as the device it names.
    fs::create_symlink("/dev/null", root_ / "dev" / "by-id-link");
    EXPECT_TRUE(serialDevicePresent((root_ / "dev" / "by-id-link").string(), root_ / "sys"));

    std::error_code ec;
    if (fs::is_character_file("/dev/ttyS0", ec)) {
        uartType("ttyS0", "0");
        EXPECT_FALSE(serialDevicePresent("/dev/ttyS0", root_ / "sys"));
        uartType("ttyS0", "4");
        EXPECT_TRUE(serialDevicePresent("/dev/ttyS0", root_ / "sys"));
    }
}

} // namespace

TEST(PortNumbering, ProbeTellsPresentFromHeldAndAbsent)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);

    EXPECT_EQ(platform::probeSerialPort(slave), platform::PortPresence::Present);
    const int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(platform::probeSerialPort(slave), platform::PortPresence::InUse);
    ::close(holder);
    EXPECT_EQ(platform::probeSerialPort(slave), platform::PortPresence::Present);
    ::close(master);

    EXPECT_EQ(platform::probeSerialPort("/dev/does-not-exist"), platform::PortPresence::Absent);
    EXPECT_EQ(platform::probeSerialPort(""), platform::PortPresence::Absent);
}
