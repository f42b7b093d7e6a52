#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The program numbers its serial ports as Windows does ("COM1", "COM2" ...).
// Each number stands for a device path: COM n is the n-th built-in UART,
// /dev/ttyS(n-1), unless the user's settings assign it another device
// (a USB adapter such as /dev/ttyUSB0 or /dev/ttyACM0, a /dev/serial/by-id
// link, a pseudo-terminal). The settings give these assignments as a map
// from port number to path.
using PortAssignments = std::map<int, std::string>;

// /dev/ttyS(n-1) for n >= 1; empty (no device) otherwise.
std::string defaultDevicePath(int portNumber);

// The device of COM `portNumber`: its assignment when it has a non-empty
// one, else the default. Empty when the number names no device (opening
// an empty path reports the port as not installed).
std::string devicePathForPort(int portNumber, const PortAssignments& assignments);

// Order of names with numbers in them: digit runs compare by value, so
// "ttyS2" < "ttyS10" and "ttyUSB9" < "ttyUSB10".
bool naturalLess(std::string_view a, std::string_view b);

// The serial devices present on this machine: /dev/ttyS<n>, /dev/ttyUSB<n>
// and /dev/ttyACM<n>, in natural order of their names. A ttyS node whose
// UART the kernel reports as absent (type 0 under /sys/class/tty) is left
// out: those nodes exist whether or not there is hardware behind them.
// The folders can be changed for tests.
std::vector<std::string> listSerialDevices(const std::filesystem::path& devDir = "/dev",
                                           const std::filesystem::path& sysClassTty = "/sys/class/tty");

// Whether `path` (for example an assigned device) names a character device
// that is there; a ttyS node of an absent UART does not count, as above.
// Links such as /dev/serial/by-id/... are followed.
bool serialDevicePresent(const std::string& path, const std::filesystem::path& sysClassTty = "/sys/class/tty");

enum class PortPresence { Present, InUse, Absent };
// Whether the device of a port can be had now: present (opened and closed
// again), in use (held by another program) or absent.
PortPresence probeSerialPort(const std::string& path, const std::filesystem::path& sysClassTty = "/sys/class/tty");

} // namespace platform
