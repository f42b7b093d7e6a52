#include "platform/SerialLine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <numeric>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFF;

SerialTimeouts readTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant)
{
    SerialTimeouts t;
    t.readIntervalTimeout = interval;
    t.readTotalTimeoutMultiplier = multiplier;
    t.readTotalTimeoutConstant = constant;
    return t;
}

SerialTimeouts writeTimeouts(uint32_t multiplier, uint32_t constant)
{
    SerialTimeouts t;
    t.writeTotalTimeoutMultiplier = multiplier;
    t.writeTotalTimeoutConstant = constant;
    return t;
}

speed_t outputSpeed(const termios& t)
{
    return ::cfgetospeed(&t);
}

int64_t elapsedMs(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

TEST(SerialTimeoutRules, OneByteReadAsReadFileDoes)
{
    // Return at once with what is there.
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(kMaxDword, 0, 0)), 0);
    // The program's defaults: a byte as soon as it is there, at most c ms.
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(kMaxDword, kMaxDword, 250)), 250);
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(kMaxDword, kMaxDword, 1)), 1);
    // Outside that form's range of c the plain total applies (no 32-bit wrap).
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(kMaxDword, kMaxDword, 0)), int64_t{kMaxDword});
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(kMaxDword, kMaxDword, kMaxDword)), 2 * int64_t{kMaxDword});
    // Total = multiplier x 1 byte + constant; the interval time-out never
    // limits the first byte.
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(0, 10, 100)), 110);
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(20, 0, 300)), 300);
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(kMaxDword, 0, 300)), 300);
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(0, kMaxDword, 250)), int64_t{kMaxDword} + 250);
    // No total time-out: wait for the byte without limit.
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(0, 0, 0)), -1);
    EXPECT_EQ(oneByteReadTimeoutMs(readTimeouts(50, 0, 0)), -1);
}

TEST(SerialTimeoutRules, OneByteWriteHasAlwaysABound)
{
    EXPECT_EQ(oneByteWriteTimeoutMs(writeTimeouts(0, 0)), kUnlimitedWriteBoundMs);
    EXPECT_EQ(oneByteWriteTimeoutMs(writeTimeouts(10, 100)), 110);
    EXPECT_EQ(oneByteWriteTimeoutMs(writeTimeouts(0, 500)), 500);
    EXPECT_EQ(oneByteWriteTimeoutMs(writeTimeouts(kMaxDword, kMaxDword)), 2 * int64_t{kMaxDword});
}

// A pseudo-terminal stands in for the box's serial line: the line under test
// opens the slave side, the test plays the box on the master side. The
// master also reads and sets the slave's termios.
class PtyLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master_, 0) << "no pseudo-terminals here";
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        const char* name = ::ptsname(master_);
        ASSERT_NE(name, nullptr);
        slave_ = name;
        line_ = makePosixSerialLine();
    }
    void TearDown() override
    {
        line_->close();
        closeMaster();
    }

    void closeMaster()
    {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    ::testing::AssertionResult openLine(const SerialSettings& settings = {},
                                        const SerialTimeouts& timeouts = readTimeouts(kMaxDword, kMaxDword, 250))
    {
        OpenFailure failure = OpenFailure::Other;
        std::error_code ec;
        if (!line_->open(slave_, settings, timeouts, failure, ec)) {
            return ::testing::AssertionFailure() << "open failed: " << static_cast<int>(failure) << " " << ec.message();
        }
        return ::testing::AssertionSuccess();
    }

    // Runs a line call that must end by itself. Should it still be blocked
    // after a few seconds, hanging up the master releases it, so that the
    // test fails instead of hanging.
    template <typename Call> auto bounded(Call call) -> decltype(call())
    {
        auto result = std::async(std::launch::async, call);
        if (result.wait_for(5s) != std::future_status::ready) {
            ADD_FAILURE() << "the call was still blocked after 5 s";
            closeMaster();
        }
        return result.get();
    }

    termios slaveSettings() const
    {
        termios t{};
        EXPECT_EQ(::tcgetattr(master_, &t), 0);
        return t;
    }

    void writeMaster(const std::vector<uint8_t>& bytes) const
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // What the line sent, waiting at most about two seconds for `count` bytes.
    std::vector<uint8_t> readMaster(std::size_t count) const
    {
        std::vector<uint8_t> bytes;
        const auto start = std::chrono::steady_clock::now();
        while (bytes.size() < count && elapsedMs(start) < 2000) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 100) != 1) {
                continue;
            }
            uint8_t buffer[512];
            const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (n <= 0) {
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

    int master_ = -1;
    std::string slave_;
    std::unique_ptr<SerialLine> line_;
};

std::vector<uint8_t> allByteValues()
{
    std::vector<uint8_t> bytes(256);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST_F(PtyLine, EveryByteValuePassesUnchangedBothWays)
{
    ASSERT_TRUE(openLine());
    ASSERT_TRUE(line_->isOpen());
    // Raw in both directions: CR, LF, XON/XOFF, interrupt characters and
    // 0xFF arrive as they were sent.
    const std::vector<uint8_t> bytes = allByteValues();
    for (uint8_t b : bytes) {
        std::error_code ec;
        ASSERT_EQ(line_->writeByte(b, ec), IoStatus::Ok) << ec.message();
    }
    EXPECT_EQ(readMaster(bytes.size()), bytes);

    writeMaster(bytes);
    std::vector<uint8_t> received;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        uint8_t b = 0;
        std::error_code ec;
        const IoStatus status = line_->readByte(b, ec);
        ASSERT_EQ(status, IoStatus::Ok) << "byte " << i << ": " << ec.message();
        received.push_back(b);
    }
    EXPECT_EQ(received, bytes);
}

TEST_F(PtyLine, OpenSetsRawFrameAndRateAndCloseRestoresWhatItFound)
{
    // Settings of another program: canonical, echo, 4800 7E1 with RTS/CTS.
    termios before = slaveSettings();
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_iflag |= ICRNL | IXON;
    before.c_oflag |= OPOST | ONLCR;
    before.c_cflag = (before.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | CRTSCTS;
    ASSERT_EQ(::cfsetispeed(&before, B4800), 0);
    ASSERT_EQ(::cfsetospeed(&before, B4800), 0);
    ASSERT_EQ(::tcsetattr(master_, TCSANOW, &before), 0);
    before = slaveSettings();

    SerialSettings settings;
    settings.baud = 19200;
    ASSERT_TRUE(openLine(settings));
    const termios open = slaveSettings();
    EXPECT_EQ(::cfgetospeed(&open), static_cast<speed_t>(B19200));
    EXPECT_EQ(::cfgetispeed(&open), static_cast<speed_t>(B19200));
    EXPECT_EQ(open.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(open.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(open.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(open.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(open.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
    EXPECT_EQ(open.c_oflag & OPOST, 0u);

    line_->close();
    EXPECT_FALSE(line_->isOpen());
    const termios after = slaveSettings();
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&before));
    EXPECT_EQ(std::vector<cc_t>(after.c_cc, after.c_cc + NCCS), std::vector<cc_t>(before.c_cc, before.c_cc + NCCS));

    line_->close(); // harmless when closed
    EXPECT_TRUE(openLine()) << "the device can be opened again after close";
}

TEST_F(PtyLine, EveryStandardRateAndOtherFramesAreApplied)
{
    const std::pair<uint32_t, speed_t> rates[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
        {576000, B576000}, {921600, B921600},
    };
    for (const auto& [baud, code] : rates) {
        SerialSettings settings;
        settings.baud = baud;
        ASSERT_TRUE(openLine(settings)) << baud;
        EXPECT_EQ(outputSpeed(slaveSettings()), code) << baud;
        line_->close();
    }

    // Other frames open too. A pseudo-terminal has no character frame (the
    // kernel may force 8 data bits, no parity), so only the rate shows.
    SerialSettings even;
    even.baud = 9600;
    even.parity = 'E';
    even.stopBits = 2;
    ASSERT_TRUE(openLine(even));
    EXPECT_EQ(outputSpeed(slaveSettings()), static_cast<speed_t>(B9600));
    line_->close();
    SerialSettings odd;
    odd.dataBits = 7;
    odd.parity = 'O';
    EXPECT_TRUE(openLine(odd));
}

TEST_F(PtyLine, SettingsTheLineCannotDoAreRefusedWithoutTouchingTheDevice)
{
    const termios before = slaveSettings();
    auto refuse = [this](SerialSettings settings) {
        OpenFailure failure = OpenFailure::None;
        std::error_code ec;
        EXPECT_FALSE(line_->open(slave_, settings, {}, failure, ec));
        EXPECT_EQ(failure, OpenFailure::Unsupported);
        EXPECT_EQ(ec, std::errc::invalid_argument);
        EXPECT_FALSE(line_->isOpen());
    };
    for (uint32_t baud : {12345u, 0u, 14400u, 1000000u}) {
        SerialSettings s;
        s.baud = baud;
        SCOPED_TRACE(baud);
        refuse(s);
    }
    SerialSettings nineBits;
    nineBits.dataBits = 9;
    refuse(nineBits);
    SerialSettings mark;
    mark.parity = 'M';
    refuse(mark);
    SerialSettings threeStops;
    threeStops.stopBits = 3;
    refuse(threeStops);

    const termios after = slaveSettings();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
}

TEST_F(PtyLine, ReadGivesUpAfterTheTimeoutAndPurgeDropsReceivedBytes)
{
    ASSERT_TRUE(openLine({}, readTimeouts(kMaxDword, kMaxDword, 100)));
    uint8_t b = 0;
    std::error_code ec;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bounded([&] { return line_->readByte(b, ec); }), IoStatus::TimedOut);
    const int64_t waited = elapsedMs(start);
    EXPECT_GE(waited, 80);
    EXPECT_LT(waited, 2000);
    EXPECT_EQ(ec, std::errc::timed_out);

    // Two bytes arrive; one is read, purge drops the other.
    writeMaster({'A', 'B'});
    ASSERT_EQ(line_->readByte(b, ec), IoStatus::Ok) << ec.message();
    EXPECT_EQ(b, 'A');
    ASSERT_TRUE(line_->purge(ec)) << ec.message();
    EXPECT_EQ(line_->readByte(b, ec), IoStatus::TimedOut);

    writeMaster({'C'});
    ASSERT_EQ(line_->readByte(b, ec), IoStatus::Ok) << ec.message();
    EXPECT_EQ(b, 'C');
}

TEST_F(PtyLine, AReadWithoutTimeOutTakesWhatIsThereAndNeverWaits)
{
    // (MAXDWORD, 0, 0): return at once, with a byte only if one is there.
    ASSERT_TRUE(openLine({}, readTimeouts(kMaxDword, 0, 0)));
    uint8_t b = 0;
    std::error_code ec;
    EXPECT_EQ(bounded([&] { return line_->readByte(b, ec); }), IoStatus::TimedOut);
    EXPECT_EQ(ec, std::errc::timed_out);

    // The pseudo-terminal hands bytes over asynchronously: ask until the
    // byte is there (each call returns at once; the bound only keeps a
    // broken read from looping for ever).
    writeMaster({'Q', 'R'});
    std::vector<uint8_t> got;
    for (int i = 0; i < 1'000'000 && got.size() < 2; ++i) {
        if (line_->readByte(b, ec) == IoStatus::Ok) {
            got.push_back(b);
        }
    }
    EXPECT_EQ(got, (std::vector<uint8_t>{'Q', 'R'}));
    EXPECT_EQ(line_->readByte(b, ec), IoStatus::TimedOut);
}

TEST_F(PtyLine, BytesThatCameBeforeTheOpenAreNotTakenForAnAnswer)
{
    writeMaster({'x', 'y', 'z'});
    ASSERT_TRUE(openLine({}, readTimeouts(kMaxDword, kMaxDword, 100)));
    uint8_t b = 0;
    std::error_code ec;
    EXPECT_EQ(line_->readByte(b, ec), IoStatus::TimedOut) << "got " << int{b};
}

TEST_F(PtyLine, TheLastByteBeforeACloseStillGoesOut)
{
    // The request that ends a diagnostic action gets no answer: the port is
    // closed right after it, and the close must not drop it on its way.
    for (int round = 0; round < 300; ++round) {
        ASSERT_TRUE(openLine());
        std::error_code ec;
        const auto byte = static_cast<uint8_t>(round);
        ASSERT_EQ(line_->writeByte(byte, ec), IoStatus::Ok);
        line_->close();
        ASSERT_EQ(readMaster(1), std::vector<uint8_t>{byte}) << "round " << round;
    }
}

TEST_F(PtyLine, WriteGivesUpWhenTheLineTakesNothingMore)
{
    SerialTimeouts timeouts = readTimeouts(kMaxDword, kMaxDword, 100);
    timeouts.writeTotalTimeoutConstant = 100;
    ASSERT_TRUE(openLine({}, timeouts));
    // Nobody reads the master: the queues fill up and a write times out
    // instead of blocking the worker.
    std::error_code ec;
    const IoStatus status = bounded([&] {
        IoStatus last = IoStatus::Ok;
        for (int i = 0; i < 1'000'000 && last == IoStatus::Ok; ++i) {
            last = line_->writeByte(static_cast<uint8_t>(i), ec);
        }
        return last;
    });
    EXPECT_EQ(status, IoStatus::TimedOut);
    EXPECT_EQ(ec, std::errc::timed_out);
}

TEST_F(PtyLine, AVanishedDeviceFailsReadsAndWritesAtOnce)
{
    ASSERT_TRUE(openLine({}, readTimeouts(kMaxDword, kMaxDword, 3000)));
    closeMaster(); // hang-up, as when a USB adapter is pulled out
    uint8_t b = 0;
    std::error_code ec;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line_->readByte(b, ec), IoStatus::Lost);
    EXPECT_TRUE(ec);
    EXPECT_EQ(line_->writeByte(0x8C, ec), IoStatus::Lost);
    EXPECT_TRUE(ec);
    EXPECT_LT(elapsedMs(start), 2000) << "a hang-up must not wait for the time-out";
    EXPECT_FALSE(line_->purge(ec));
    line_->close();
    EXPECT_FALSE(line_->isOpen());
}

TEST_F(PtyLine, AHangUpEndsAReadThatIsWaiting)
{
    ASSERT_TRUE(openLine({}, readTimeouts(kMaxDword, kMaxDword, 3000)));
    std::promise<void> reading;
    auto result = std::async(std::launch::async, [&] {
        reading.set_value();
        uint8_t b = 0;
        std::error_code ec;
        return line_->readByte(b, ec);
    });
    reading.get_future().wait();
    closeMaster();
    ASSERT_EQ(result.wait_for(2500ms), std::future_status::ready);
    EXPECT_EQ(result.get(), IoStatus::Lost);
}

TEST_F(PtyLine, ASecondOpenOfAHeldDeviceIsOccupiedAndLeavesTheHolderAlone)
{
    ASSERT_TRUE(openLine());
    const termios held = slaveSettings();

    auto other = makePosixSerialLine();
    SerialSettings otherSettings;
    otherSettings.baud = 9600;
    OpenFailure failure = OpenFailure::None;
    std::error_code ec;
    EXPECT_FALSE(other->open(slave_, otherSettings, {}, failure, ec));
    EXPECT_EQ(failure, OpenFailure::Occupied) << ec.message();
    EXPECT_TRUE(ec);
    EXPECT_FALSE(other->isOpen());

    // The holder's line still works with its own settings.
    EXPECT_EQ(outputSpeed(slaveSettings()), ::cfgetospeed(&held));
    ASSERT_EQ(line_->writeByte(0x90, ec), IoStatus::Ok) << ec.message();
    EXPECT_EQ(readMaster(1), std::vector<uint8_t>{0x90});

    line_->close();
    EXPECT_TRUE(other->open(slave_, otherSettings, {}, failure, ec)) << ec.message();
    other->close();
}

TEST_F(PtyLine, ADeviceLockedByAnotherProgramIsOccupied)
{
    const int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    OpenFailure failure = OpenFailure::None;
    std::error_code ec;
    EXPECT_FALSE(line_->open(slave_, {}, {}, failure, ec));
    EXPECT_EQ(failure, OpenFailure::Occupied);
    ::close(fd);
    EXPECT_TRUE(openLine());
}

TEST(SerialLineOpen, MissingDevicesAndNonSerialFilesAreReportedAsSuch)
{
    auto line = makePosixSerialLine();
    OpenFailure failure = OpenFailure::None;
    std::error_code ec;
    EXPECT_FALSE(line->open("/dev/morvex-no-such-port", {}, {}, failure, ec));
    EXPECT_EQ(failure, OpenFailure::NotFound);
    EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(line->open("", {}, {}, failure, ec));
    EXPECT_EQ(failure, OpenFailure::NotFound);

    // An ordinary file is no serial line.
    std::string pattern = (std::filesystem::temp_directory_path() / "morvex-serial-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(line->open(pattern, {}, {}, failure, ec));
    EXPECT_EQ(failure, OpenFailure::Other);
    EXPECT_EQ(ec, std::errc::inappropriate_io_control_operation);
    EXPECT_FALSE(line->isOpen());

    // A device the user may not open is not "occupied": it needs the
    // dialout group.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(pattern.c_str(), 0), 0);
        EXPECT_FALSE(line->open(pattern, {}, {}, failure, ec));
        EXPECT_EQ(failure, OpenFailure::PermissionDenied);
        EXPECT_EQ(ec, std::errc::permission_denied);
    }
    ::unlink(pattern.c_str());

    // Nothing works on a line that is not open.
    uint8_t b = 0;
    EXPECT_EQ(line->readByte(b, ec), IoStatus::Failed);
    EXPECT_EQ(line->writeByte(0, ec), IoStatus::Failed);
    EXPECT_FALSE(line->purge(ec));
}

} // namespace
