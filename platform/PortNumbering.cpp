#include "platform/PortNumbering.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// "ttyS12" → true for prefix "ttyS": the prefix and at least one digit, nothing else.
bool hasNumberedName(std::string_view name, std::string_view prefix)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return false;
    }
    const std::string_view number = name.substr(prefix.size());
    return std::all_of(number.begin(), number.end(), isDigit);
}

bool isSerialName(std::string_view name)
{
    return hasNumberedName(name, "ttyS") || hasNumberedName(name, "ttyUSB") || hasNumberedName(name, "ttyACM");
}

// The kernel creates the legacy ttyS nodes whether or not a UART is there;
// such a port reports type 0 (PORT_UNKNOWN). Without the attribute nothing
// can be told, and the port counts as present.
bool uartAbsent(std::string_view name, const fs::path& sysClassTty)
{
    if (!hasNumberedName(name, "ttyS")) {
        return false;
    }
    std::ifstream in(sysClassTty / std::string(name) / "type");
    int type = -1;
    return in >> type && type == 0;
}

} // namespace

std::string defaultDevicePath(int portNumber)
{
    if (portNumber < 1) {
        return {};
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::string devicePathForPort(int portNumber, const PortAssignments& assignments)
{
    const auto it = assignments.find(portNumber);
    if (it != assignments.end() && !it->second.empty()) {
        return it->second;
    }
    return defaultDevicePath(portNumber);
}

bool naturalLess(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the two digit runs by value: without leading zeros
            // the longer run is the larger number, equal lengths compare
            // digit by digit.
            std::size_t endA = i;
            while (endA < a.size() && isDigit(a[endA])) {
                ++endA;
            }
            std::size_t endB = j;
            while (endB < b.size() && isDigit(b[endB])) {
                ++endB;
            }
            std::size_t startA = i;
            while (startA + 1 < endA && a[startA] == '0') {
                ++startA;
            }
            std::size_t startB = j;
            while (startB + 1 < endB && b[startB] == '0') {
                ++startB;
            }
            const std::string_view runA = a.substr(startA, endA - startA);
            const std::string_view runB = b.substr(startB, endB - startB);
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();
            }
            if (runA != runB) {
                return runA < runB;
            }
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return j < b.size() && i >= a.size(); // a prefix comes first
    }
    return a < b; // equal by value ("ttyS01" and "ttyS1"): keep a strict order
}

std::vector<std::string> listSerialDevices(const fs::path& devDir, const fs::path& sysClassTty)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(devDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (isSerialName(name) && !uartAbsent(name, sysClassTty)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& x, const std::string& y) { return naturalLess(x, y); });
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const std::string& name : names) {
        paths.push_back((devDir / name).string());
    }
    return paths;
}

bool serialDevicePresent(const std::string& path, const fs::path& sysClassTty)
{
    if (path.empty()) {
        return false;
    }
    std::error_code ec;
    if (!fs::is_character_file(path, ec)) {
        return false;
    }
    const fs::path target = fs::canonical(path, ec);
    const std::string name = ec ? fs::path(path).filename().string() : target.filename().string();
    return !uartAbsent(name, sysClassTty);
}

PortPresence probeSerialPort(const std::string& path, const fs::path& sysClassTty)
{
    if (!serialDevicePresent(path, sysClassTty)) {
        return PortPresence::Absent;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY || errno == EACCES ? PortPresence::InUse : PortPresence::Absent;
    }
    // The serial line takes an exclusive flock as well as TIOCEXCL.
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held ? PortPresence::InUse : PortPresence::Present;
}

} // namespace platform
