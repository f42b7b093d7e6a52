#include "tools/boxsim/BoxSim.h"
#include "tools/boxsim/BoxImage.h"
#include "tools/boxsim/BoxMemory.h"
#include "tools/boxsim/Control.h"
#include "tools/boxsim/EngineModel.h"
#include "tools/boxsim/Sensors.h"
#include "tools/boxsim/Serve.h"

#include "document/AppCore.h"
#include "document/DataFile.h"
#include "document/MorvexDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using boxsim::BoxMemory;
using boxsim::BoxSim;
using boxsim::Nanos;
using boxsim::Options;
using namespace std::chrono_literals;
namespace line = boxsim::line;

// One line event: who put which byte on the line, and when it arrived.
struct Event {
    char from; // 'P' program, 'B' box
    uint8_t byte;
    friend bool operator==(const Event&, const Event&) = default;
};

// The program's end of the line on a virtual clock. The program turns
// around at once; reads give up after a time-out like the editor's.
class Wire {
public:
    explicit Wire(const Options& options = {}, const BoxMemory& memory = BoxMemory::factoryDefaults())
        : sim(options, memory)
    {
    }

    void put(uint8_t b)
    {
        sim.receive(b, t);
        events.push_back({'P', b});
    }

    std::optional<uint8_t> take(Nanos timeout = 250ms)
    {
        const Nanos deadline = t + timeout;
        for (;;) {
            const std::optional<Nanos> due = sim.nextDue();
            if (!due || *due > deadline) {
                t = deadline;
                sim.advance(t);
                return std::nullopt;
            }
            t = std::max(t, *due);
            sim.advance(t);
            if (const std::optional<uint8_t> b = sim.popDue(t)) {
                events.push_back({'B', *b});
                return b;
            }
        }
    }

    void wait(Nanos d)
    {
        t += d;
        sim.advance(t);
    }

    // A message: every byte must come back as its echo.
    bool message(const std::vector<uint8_t>& bytes)
    {
        for (const uint8_t b : bytes) {
            put(b);
            if (take() != b) {
                return false;
            }
        }
        return true;
    }

    bool message(uint8_t command, const std::string& digits)
    {
        std::vector<uint8_t> bytes{command};
        bytes.insert(bytes.end(), digits.begin(), digits.end());
        return message(bytes);
    }

    // The request byte, n reply bytes each echoed, then the terminator.
    std::optional<std::string> reply(uint8_t command, std::size_t n)
    {
        put(boxsim::cmd::Request);
        std::string text;
        for (std::size_t i = 0; i < n; ++i) {
            const std::optional<uint8_t> b = take();
            if (!b) {
                return std::nullopt;
            }
            text += static_cast<char>(*b);
            put(*b);
        }
        if (take() != command) {
            return std::nullopt;
        }
        return text;
    }

    std::optional<std::string> query(uint8_t command, std::size_t n)
    {
        if (!message({command})) {
            return std::nullopt;
        }
        return reply(command, n);
    }

    BoxSim sim;
    Nanos t{0};
    std::vector<Event> events;
};

std::vector<Event> programSends(const std::string& bytes)
{
    std::vector<Event> e;
    for (const char c : bytes) {
        e.push_back({'P', static_cast<uint8_t>(c)});
        e.push_back({'B', static_cast<uint8_t>(c)});
    }
    return e;
}

using Bytes = std::initializer_list<uint8_t>;

bool allDigits(const std::string& s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int group(const std::string& s, std::size_t g)
{
    return std::stoi(s.substr(3 * g, 3));
}

// Live replies: low byte first.
int lowHigh(const std::string& s)
{
    return group(s, 0) + 256 * group(s, 1);
}

// ---- protocol ---------------------------------------------------------

TEST(BoxSimProtocol, WorkedExchangeWriteThenReadBack)
{
    Wire w;
    ASSERT_TRUE(w.message(140, "004000037"));
    EXPECT_EQ(w.sim.memory().at(1024), 37);
    ASSERT_TRUE(w.message(144, "004000"));
    ASSERT_EQ(w.reply(144, 3), "037");

    std::vector<Event> expected = programSends("\x8C"
                                               "004000037"
                                               "\x90"
                                               "004000");
    expected.push_back({'P', 0xFF});
    for (const char c : std::string("037")) {
        expected.push_back({'B', static_cast<uint8_t>(c)});
        expected.push_back({'P', static_cast<uint8_t>(c)});
    }
    expected.push_back({'B', 0x90});
    EXPECT_EQ(w.events, expected);
    EXPECT_TRUE(w.sim.idle());
}

TEST(BoxSimProtocol, ReadAndWriteEveryAddressForm)
{
    BoxMemory m = BoxMemory::factoryDefaults();
    m.set(0, 0);
    m.set(1232, 255);
    m.set(1855, 7);
    Wire w({}, m);
    const std::pair<const char*, const char*> reads[] = {
        {"000000", "000"}, {"004208", "255"}, {"007063", "007"}, {"008000", "255"} /* no memory there */};
    for (const auto& [address, value] : reads) {
        ASSERT_TRUE(w.message(144, address)) << address;
        EXPECT_EQ(w.reply(144, 3), value) << address;
    }
    ASSERT_TRUE(w.message(140, "004208000"));
    ASSERT_TRUE(w.message(140, "000000255"));
    EXPECT_EQ(w.sim.memory().at(1232), 0);
    EXPECT_EQ(w.sim.memory().at(0), 255);
    // The box computes in 8 bits: a group above 255 keeps its low byte.
    ASSERT_TRUE(w.message(140, "000001300"));
    EXPECT_EQ(w.sim.memory().at(1), 300 - 256);
    EXPECT_EQ(w.sim.stats().writes, 3u);
}

TEST(BoxSimProtocol, LiveQueriesHaveTheirFormsAndPlausibleValues)
{
    Wire w;
    for (int round = 0; round < 40; ++round) {
        w.wait(1500ms);
        for (const uint8_t c : Bytes{130, 131, 132, 133, 134}) {
            const std::optional<std::string> r = w.query(c, 8);
            ASSERT_TRUE(r) << int{c};
            ASSERT_TRUE(allDigits(*r)) << *r;
            EXPECT_LE(group(*r, 0), 255);
            EXPECT_LE(group(*r, 1), 255);
            EXPECT_LE(std::stoi(r->substr(6)), 15) << int{c};
            const int raw = lowHigh(*r);
            switch (c) {
            case 130:
                EXPECT_GE(boxsim::sensor::rawToRpm(static_cast<uint16_t>(raw)), 999.0);
                EXPECT_LE(boxsim::sensor::rawToRpm(static_cast<uint16_t>(raw)), 11001.0);
                break;
            case 131: EXPECT_LE(raw, 2550); break;
            case 132:
            case 133: // thermistor millivolts between -20 and 120 degC
                EXPECT_GE(raw, boxsim::sensor::temperatureToRaw(-20.0));
                EXPECT_LE(raw, boxsim::sensor::temperatureToRaw(120.0));
                break;
            default: // air pressure 950..1050 mbar
                EXPECT_GE(raw, boxsim::sensor::pressureToRaw(950.0));
                EXPECT_LE(raw, boxsim::sensor::pressureToRaw(1050.0));
            }
        }
        for (const uint8_t c : Bytes{135, 136, 137, 139}) {
            const std::optional<std::string> r = w.query(c, 6);
            ASSERT_TRUE(r) << int{c};
            ASSERT_TRUE(allDigits(*r)) << *r;
            const int raw = lowHigh(*r);
            if (c == 137) {
                EXPECT_NEAR(raw * 0.0049, 13.6, 0.6);
            } else if (c == 139) {
                EXPECT_LE(raw, boxsim::sensor::injectionToRaw(20000.0));
            } else {
                EXPECT_GE(raw, 100);
                EXPECT_LE(raw, 900);
            }
        }
    }
    // The ignition map number is the IGMN byte, in two digits.
    ASSERT_TRUE(w.message(140, "004194007"));
    EXPECT_EQ(w.query(166, 2), "07");
    ASSERT_TRUE(w.message(140, "004194150"));
    EXPECT_EQ(w.query(166, 2), "99");
}

TEST(BoxSimProtocol, CellIndexIsThePointOfTheBoxsOwnAxis)
{
    Wire w;
    w.wait(3s);
    BoxMemory& m = w.sim.memory();
    const boxsim::EngineState& e = w.sim.engine().state();
    // Every rpm point far away except word 9, which sits on the engine's
    // speed: the index must name it. The same for the reversed axes.
    for (int k = 0; k < 16; ++k) {
        m.setWord(line::DZI + 2u * static_cast<unsigned>(k), boxsim::sensor::rpmToRaw(30000.0));
        m.setWord(line::DKI + 2u * static_cast<unsigned>(k), 0xFFFF);
        m.setWord(line::MTI + 2u * static_cast<unsigned>(k), 0xFFFF);
    }
    m.setWord(line::DZI + 18, boxsim::sensor::rpmToRaw(e.rpm));
    m.setWord(line::DKI + 24, boxsim::sensor::throttleToRaw(e.throttle));
    m.setWord(line::MTI + 2, boxsim::sensor::temperatureToRaw(e.engineTemp));
    const std::optional<std::string> rpm = w.query(130, 8);
    const std::optional<std::string> throttle = w.query(131, 8);
    const std::optional<std::string> temp = w.query(132, 8);
    ASSERT_TRUE(rpm && throttle && temp);
    EXPECT_EQ(rpm->substr(6), "09");
    EXPECT_EQ(throttle->substr(6), "12");
    EXPECT_EQ(temp->substr(6), "01");
}

TEST(BoxSimProtocol, WrongOrMissingEchoMakesTheBoxGiveUpTheReply)
{
    BoxMemory m = BoxMemory::factoryDefaults();
    m.set(1024, 123);
    Wire w({}, m);

    // Wrong echo of the first reply byte: nothing more comes.
    ASSERT_TRUE(w.message(144, "004000"));
    w.put(0xFF);
    ASSERT_EQ(w.take(), '1');
    w.put('7');
    EXPECT_EQ(w.take(), std::nullopt);
    EXPECT_TRUE(w.sim.idle());
    EXPECT_EQ(w.sim.stats().abandonedReplies, 1u);

    // Missing echo of the second byte: the box waits its time-out, then
    // gives up; an echo after that is an unknown byte.
    ASSERT_TRUE(w.message(144, "004000"));
    w.put(0xFF);
    ASSERT_EQ(w.take(), '1');
    w.put('1');
    ASSERT_EQ(w.take(), '2');
    w.wait(260ms);
    EXPECT_TRUE(w.sim.idle());
    w.put('2');
    EXPECT_EQ(w.take(), std::nullopt);
    EXPECT_EQ(w.sim.stats().abandonedReplies, 2u);

    // The program's retry is answered in full.
    ASSERT_TRUE(w.message(144, "004000"));
    EXPECT_EQ(w.reply(144, 3), "123");
}

TEST(BoxSimProtocol, AnExchangeCutShortIsDroppedAndTheRetryAnswered)
{
    Wire w;
    ASSERT_TRUE(w.message(140, "0040"));
    // The program gave up and starts again: the box drops the command byte
    // that does not fit, without an echo, and waits for a new exchange.
    w.put(140);
    EXPECT_EQ(w.take(), std::nullopt);
    EXPECT_TRUE(w.sim.idle());
    ASSERT_TRUE(w.message(140, "004000099"));
    EXPECT_EQ(w.sim.memory().at(1024), 99);
    EXPECT_EQ(w.sim.stats().writes, 1u);
    EXPECT_EQ(w.sim.stats().abandonedMessages, 1u);
    // A read cut short before its request byte.
    ASSERT_TRUE(w.message(144, "004000"));
    w.put(144);
    EXPECT_EQ(w.take(), std::nullopt);
    ASSERT_TRUE(w.message(144, "004000"));
    EXPECT_EQ(w.reply(144, 3), "099");
    EXPECT_EQ(w.sim.stats().abandonedMessages, 2u);
}

TEST(BoxSimProtocol, UnknownBytesAreIgnoredWithoutEcho)
{
    Wire w;
    for (const uint8_t b : Bytes{0, 1, 'A', '5', 138, 141, 157, 200, 254, 255}) {
        w.put(b);
        EXPECT_EQ(w.take(), std::nullopt) << int{b};
    }
    EXPECT_EQ(w.sim.stats().ignored, 10u);
    EXPECT_TRUE(w.message(140, "004000001"));
}

TEST(BoxSimProtocol, BoxVersionIsEightCharacters)
{
    Wire w;
    EXPECT_EQ(w.query(158, 8), "ZB60 2.1");
    Options o;
    o.boxVersion = "ZB6";
    Wire shorter(o);
    EXPECT_EQ(shorter.query(158, 8), "ZB6     ");
}

TEST(BoxSimProtocol, DiagnosticsAreTwoStepExchanges)
{
    Wire w;
    w.wait(5s);
    // First exchange: the command byte alone, echoed, nothing more.
    ASSERT_TRUE(w.message({159}));
    EXPECT_EQ(w.take(), std::nullopt);
    // Second exchange later, after the port was closed and opened again.
    w.wait(2s);
    w.sim.lineDown(w.t);
    const std::optional<std::string> turbo = w.reply(159, 18);
    ASSERT_TRUE(turbo);
    ASSERT_TRUE(allDigits(*turbo));
    // High byte first: turbo pressure twice (about ambient and above),
    // then the revolutions.
    const auto value = [](const std::string& s, std::size_t k) { return 256 * group(s, 2 * k) + group(s, 2 * k + 1); };
    EXPECT_GE(value(*turbo, 0), boxsim::sensor::pressureToRaw(950.0));
    EXPECT_LE(value(*turbo, 1), boxsim::sensor::pressureToRaw(1300.0));
    const double rpm = boxsim::sensor::rawToRpm(static_cast<uint16_t>(value(*turbo, 2)));
    EXPECT_NEAR(rpm, w.sim.engine().state().rpm, 50.0);

    ASSERT_TRUE(w.message({160}));
    const std::optional<std::string> temps = w.reply(160, 12);
    ASSERT_TRUE(temps);
    EXPECT_GT(value(*temps, 0), value(*temps, 1)); // the right head runs cooler
    ASSERT_TRUE(w.message({161}));
    const std::optional<std::string> air = w.reply(161, 24);
    ASSERT_TRUE(air);
    EXPECT_NEAR(value(*air, 0), boxsim::sensor::pressureToRaw(w.sim.engine().state().airPressure), 1);
    EXPECT_NEAR(value(*air, 2), boxsim::sensor::temperatureToRaw(w.sim.engine().state().airTemp), 1);

    // Actions: the request byte ends them, nothing comes back.
    for (const uint8_t d : Bytes{162, 163, 164, 165}) {
        ASSERT_TRUE(w.message({d})) << int{d};
        w.put(0xFF);
        EXPECT_EQ(w.take(), std::nullopt);
    }
    // Fetched once: a second request byte finds nothing pending.
    const uint64_t ignored = w.sim.stats().ignored;
    w.put(0xFF);
    EXPECT_EQ(w.take(), std::nullopt);
    EXPECT_EQ(w.sim.stats().ignored, ignored + 1);
}

// ---- faults -----------------------------------------------------------

// A transfer as the editor runs it at 19200 baud: a failed value is
// retried after purging what has come in (bytes still on their way are not
// purged). Every value must get through within a few retries; the read-back
// must give the written value. Returns the line events.
std::vector<Event> faultyTransfer(uint64_t seed, BoxMemory* after = nullptr)
{
    Options o;
    o.seed = seed;
    o.baud = 19200;
    o.wrongByte = 0.01;
    o.loseByte = 0.01;
    o.lateByte = 0.01;
    Wire w(o);
    const auto purge = [&w] {
        while (w.sim.popDue(w.t)) {
        }
    };
    constexpr int kValues = 150;
    char digits[40];
    int failures = 0;
    for (int a = 0; a < kValues && failures < 2000; ++a) {
        std::snprintf(digits, sizeof digits, "%03d%03d%03d", a >> 8, a & 0xFF, a + 1);
        while (!w.message(140, digits) && ++failures < 2000) {
            purge();
        }
        std::snprintf(digits, sizeof digits, "%03d%03d", a >> 8, a & 0xFF);
        for (; failures < 2000; ++failures) {
            if (w.message(144, digits)) {
                const std::optional<std::string> r = w.reply(144, 3);
                if (r) {
                    EXPECT_EQ(*r, std::to_string(1000 + a + 1).substr(1)) << a;
                    break;
                }
            }
            purge();
        }
    }
    // With 3 % of the box's bytes faulty roughly one exchange in four (of
    // some ten bytes each) fails; a lock-up runs into the thousands.
    EXPECT_LT(failures, 600);
    if (after != nullptr) {
        *after = w.sim.memory();
    }
    const boxsim::Stats& s = w.sim.stats();
    EXPECT_GT(s.wrongBytes, 0u);
    EXPECT_GT(s.lostBytes, 0u);
    EXPECT_GT(s.lateBytes, 0u);
    return w.events;
}

TEST(BoxSimFaults, SeededFaultsRepeatAndTransfersStillSucceed)
{
    BoxMemory after;
    const std::vector<Event> a = faultyTransfer(7, &after);
    EXPECT_EQ(faultyTransfer(7), a);
    EXPECT_NE(faultyTransfer(8), a);
    for (int i = 0; i < 150; ++i) {
        EXPECT_EQ(after.at(static_cast<unsigned>(i)), i + 1) << i;
    }
}

TEST(BoxSimFaults, EachFaultDoesWhatItSays)
{
    Options wrong;
    wrong.wrongByte = 1.0;
    Wire w(wrong);
    w.put(140);
    const std::optional<uint8_t> echo = w.take();
    ASSERT_TRUE(echo);
    EXPECT_EQ(std::popcount(static_cast<unsigned>(*echo ^ 140)), 1);

    Options lose;
    lose.loseByte = 1.0;
    Wire l(lose);
    l.put(140);
    EXPECT_EQ(l.take(1s), std::nullopt);

    Options late;
    late.lateByte = 1.0;
    late.baud = 10000; // 1 ms per byte
    Wire d(late);
    d.put(140);
    EXPECT_EQ(d.take(), std::nullopt); // not within the editor's 250 ms
    EXPECT_EQ(d.take(), 140);
    EXPECT_EQ(d.t, 400ms + 2ms);
}

// ---- pacing -----------------------------------------------------------

TEST(BoxSimPacing, TenBitsPerByteEachWay)
{
    Options o;
    o.baud = 9600;
    Wire w(o);
    const Nanos byteTime(10'000'000'000LL / 9600);
    EXPECT_EQ(w.sim.byteTime(), byteTime);
    // A byte takes one byte time in, its echo one byte time out.
    w.put(140);
    ASSERT_EQ(w.take(), 140);
    EXPECT_EQ(w.t, 2 * byteTime);
    // A whole write message: 20 byte times.
    Wire m(o);
    ASSERT_TRUE(m.message(140, "004000037"));
    EXPECT_EQ(m.t, 20 * byteTime);

    // Two bytes sent back to back: the second is in one byte time later,
    // its echo follows the first echo on the line.
    Wire two(o);
    two.put(140);
    two.put('0');
    EXPECT_EQ(two.take(), 140);
    EXPECT_EQ(two.t, 2 * byteTime);
    EXPECT_EQ(two.take(), '0');
    EXPECT_EQ(two.t, 3 * byteTime);

    // The adapter latency adds to every turnaround of the box.
    o.baud = 19200;
    o.latency = 300us;
    Wire slow(o);
    ASSERT_TRUE(slow.query(131, 8));
    // 1 command + 1 request + 8 echoes in, 1 echo + 8 reply bytes + 1
    // terminator out; the box turns around 10 times.
    EXPECT_EQ(slow.t, 20 * Nanos(10'000'000'000LL / 19200) + 10 * Nanos(300us));
}

// ---- engine, counters, memory ------------------------------------------

TEST(BoxSimEngine, DependsOnlyOnSeedAndTime)
{
    boxsim::EngineModel a(5);
    boxsim::EngineModel b(5);
    boxsim::EngineModel other(6);
    for (int s = 1; s <= 120; ++s) {
        for (int i = 0; i < 10; ++i) {
            a.advanceTo(std::chrono::milliseconds(1000 * (s - 1) + 100 * i + 37));
        }
        a.advanceTo(std::chrono::seconds(s));
    }
    b.advanceTo(120s);
    other.advanceTo(120s);
    EXPECT_EQ(a.state().rpm, b.state().rpm);
    EXPECT_EQ(a.state().lambdaLeft, b.state().lambdaLeft);
    EXPECT_EQ(a.takeInjectionCycles(), b.takeInjectionCycles());
    EXPECT_NE(a.state().rpm, other.state().rpm);
}

TEST(BoxSimEngine, RidesThroughTheWholeRangeSmoothly)
{
    boxsim::EngineModel e(1);
    double lowest = 1e9;
    double highest = 0.0;
    double previous = e.state().rpm;
    double largestStep = 0.0;
    bool rich = false;
    bool lean = false;
    uint64_t cycles = 0;
    for (int step = 1; step <= 60000; ++step) { // 10 minutes
        e.advanceTo(std::chrono::milliseconds(10 * step));
        const boxsim::EngineState& s = e.state();
        ASSERT_GE(s.throttle, 0.0);
        ASSERT_LE(s.throttle, 100.0);
        ASSERT_GE(s.rpm, 1000.0);
        ASSERT_LE(s.rpm, 11000.0);
        ASSERT_GE(s.lambdaLeft, 100.0);
        ASSERT_LE(s.lambdaRight, 900.0);
        ASSERT_LT(s.rpm * s.injectionUs / 1'200'000.0, 95.0); // injector duty
        ASSERT_NEAR(s.supplyVolts, 13.6, 0.5);
        lowest = std::min(lowest, s.rpm);
        highest = std::max(highest, s.rpm);
        largestStep = std::max(largestStep, std::fabs(s.rpm - previous));
        previous = s.rpm;
        rich = rich || (s.throttle > 95.0 && s.lambdaLeft > 750.0);
        lean = lean || (s.injectionUs == 0.0 && s.lambdaLeft < 250.0);
        cycles += e.takeInjectionCycles();
    }
    EXPECT_LT(lowest, 1500.0);
    EXPECT_GT(highest, 10000.0);
    EXPECT_LT(largestStep, 100.0);
    EXPECT_TRUE(rich);
    EXPECT_TRUE(lean);
    EXPECT_GT(e.state().engineTemp, 80.0); // warmed up
    // Between idle and full speed: 1000 / 120 .. 11000 / 120 per second.
    EXPECT_GT(cycles, 600u * 1000 / 120 / 2);
    EXPECT_LT(cycles, 600u * 11000 / 120);
}

TEST(BoxSimCounters, StartCountsOnceAndInjectionsKeepCounting)
{
    BoxMemory m = BoxMemory::factoryDefaults();
    m.setCounter(line::StartCounter, 0x01020304);
    m.setCounter(line::IeCounter, 1000);
    Wire w({}, m);
    // Most significant byte first.
    const std::string start[] = {"001", "002", "003", "005"};
    for (int i = 0; i < 4; ++i) {
        char address[32];
        std::snprintf(address, sizeof address, "%03d%03d", (1206 + i) >> 8, (1206 + i) & 0xFF);
        ASSERT_TRUE(w.message(144, address));
        EXPECT_EQ(w.reply(144, 3), start[i]);
    }
    w.wait(60s);
    const uint32_t ie = w.sim.memory().counter(line::IeCounter);
    EXPECT_GT(ie, 1000u + 60 * 1000 / 120 / 2);
    EXPECT_LT(ie, 1000u + 60 * 11000 / 120);
    EXPECT_EQ(w.sim.memory().counter(line::StartCounter), 0x01020305u);
}

TEST(BoxSimMemory, DefaultsTextsAndDump)
{
    const BoxMemory m = BoxMemory::factoryDefaults();
    EXPECT_EQ(m.text(line::TxtSfi1, 4), "LTRH");
    EXPECT_EQ(m.text(line::TxtSfi1 + 8, 4), "");
    EXPECT_EQ(m.text(line::TxtSfi2 + 8, 4), "IGMN");
    EXPECT_EQ(m.text(line::TxtEx2 + 60, 4), "X 16");
    EXPECT_EQ(m.at(line::Setup), 6);
    EXPECT_EQ(m.at(line::Setup + 1), 5);
    // Axes: rpm ascending from 1000, the others reversed (word 15 is the
    // lowest point).
    EXPECT_EQ(m.axisWord(line::DZI, 0), 13824);
    EXPECT_EQ(m.axisWord(line::DKI, 15), 0);
    EXPECT_EQ(m.axisWord(line::DKI, 0), boxsim::sensor::throttleToRaw(93.75));
    EXPECT_EQ(m.axisWord(line::MTI, 15), boxsim::sensor::temperatureToRaw(-20.0));
    EXPECT_EQ(m.axisWord(line::LDI, 0), boxsim::sensor::pressureToRaw(1100.0));
    EXPECT_EQ(m.at(2047), 0xFF); // unused

    BoxMemory t;
    t.setText(100, 4, "AB");
    EXPECT_EQ(t.at(102), 0);
    t.set(101, 0xFF);
    EXPECT_EQ(t.text(100, 4), "A");
    t.setTimeStamp(45292.5);
    EXPECT_EQ(t.timeStamp(), 45292.5);
    EXPECT_EQ(t.at(line::TimeStamp + 7), 0x40); // sign and exponent last
    const std::string dump = t.hexDump();
    EXPECT_EQ(dump.size(), 64u * 65u);
    EXPECT_EQ(dump.substr(65 * 3 + 2 * (100 - 96), 8), "41ff0000"); // line 3 holds 96..127
}

// ---- the control channel -------------------------------------------------

std::string control(Wire& w, std::string_view line)
{
    return boxsim::ApplyControl(w.sim, line, w.t);
}

// A live value with a cell index: raw value and index.
std::pair<int, int> indexed(Wire& w, uint8_t command)
{
    const std::optional<std::string> r = w.query(command, 8);
    if (!r || !allDigits(*r)) {
        ADD_FAILURE() << "live value " << int{command};
        return {-1, -1};
    }
    return {lowHigh(*r), std::stoi(r->substr(6))};
}

int live(Wire& w, uint8_t command)
{
    const std::optional<std::string> r = w.query(command, 6);
    if (!r || !allDigits(*r)) {
        ADD_FAILURE() << "live value " << int{command};
        return -1;
    }
    return lowHigh(*r);
}

TEST(BoxSimControl, PokeThenPeekAndBadCommandsChangeNothing)
{
    Wire w;
    w.wait(2s);
    EXPECT_EQ(control(w, "poke 1218 5"), "OK");
    EXPECT_EQ(control(w, "peek 1218"), "OK 5");
    EXPECT_EQ(w.query(166, 2), "05"); // the ignition map number follows
    EXPECT_EQ(control(w, "\tpoke  1218 12\r"), "OK");
    EXPECT_EQ(w.query(166, 2), "12");
    EXPECT_EQ(control(w, "peek 1216 4"), "OK 0 0 12 0");
    EXPECT_EQ(control(w, "peek 2046 2"), "OK 255 255");
    EXPECT_EQ(control(w, "poke 0 0"), "OK");
    const std::string all = control(w, "peek 0 2048");
    EXPECT_EQ(all.substr(0, 8), "OK 0 111"); // fuel map row 0, column 1
    EXPECT_EQ(std::count(all.begin(), all.end(), ' '), 2048);

    // Everything the commands could touch, before a row of bad ones.
    const BoxMemory memory = w.sim.memory();
    const double rpm = w.sim.engine().state().rpm;
    const double seconds = w.sim.engine().state().seconds;
    const std::string tooLong = "poke 1 1" + std::string(boxsim::kMaxControlLine, ' ');
    for (const std::string_view bad : std::initializer_list<std::string_view>{"",
                                                                              " \t ",
                                                                              "poke",
                                                                              "poke 1218",
                                                                              "poke 1218 256",
                                                                              "poke 2048 1",
                                                                              "poke -1 1",
                                                                              "poke 1218 5 6",
                                                                              "poke 0x10 1",
                                                                              "poke 12a 1",
                                                                              "poke 1218 5.0",
                                                                              "POKE 1218 5",
                                                                              "peek",
                                                                              "peek 2048",
                                                                              "peek 2047 2",
                                                                              "peek 0 0",
                                                                              "peek 0 1 2",
                                                                              "hold",
                                                                              "hold rpm-index",
                                                                              "hold rpm-index 16",
                                                                              "hold rpm-index 1.5",
                                                                              "hold rpm-index -1",
                                                                              "hold lambda-left 5001",
                                                                              "hold lambda-left nan",
                                                                              "hold lambda-left inf",
                                                                              "hold injection-us -1",
                                                                              "hold injection-us 1e3",
                                                                              "hold speed 3",
                                                                              "hold lambda-left 500 1",
                                                                              "release speed",
                                                                              "release rpm-index lambda-left",
                                                                              "help me",
                                                                              "frobnicate",
                                                                              tooLong}) {
        const std::string answer = control(w, bad);
        EXPECT_EQ(answer.rfind("ERR ", 0), 0u) << '"' << bad << "\": " << answer;
        EXPECT_EQ(answer.find('\n'), std::string::npos) << answer;
    }
    EXPECT_EQ(control(w, tooLong), "ERR line too long");
    EXPECT_EQ(w.sim.memory().bytes(), memory.bytes());
    EXPECT_EQ(w.sim.engine().state().rpm, rpm);
    EXPECT_EQ(w.sim.engine().state().seconds, seconds);
    for (std::size_t h = 0; h < boxsim::kHolds; ++h) {
        EXPECT_FALSE(w.sim.held(static_cast<boxsim::Hold>(h))) << h;
    }
    EXPECT_EQ(control(w, "help").rfind("OK commands: poke ", 0), 0u);
    EXPECT_EQ(control(w, "release"), "OK"); // nothing held: nothing to do

    // The stream is cut at LF; an overlong line stays one line and is
    // refused as a whole; at the end an unfinished line counts.
    boxsim::ControlLines lines;
    lines.feed("poke 1 2\npe");
    lines.feed("ek 1\r\n\n" + std::string(3000, 'x') + "\npeek");
    const std::vector<std::string> complete = lines.take();
    ASSERT_EQ(complete.size(), 4u);
    EXPECT_EQ(complete[0], "poke 1 2");
    EXPECT_EQ(complete[1], "peek 1\r");
    EXPECT_EQ(complete[2], "");
    EXPECT_EQ(control(w, complete[3]), "ERR line too long");
    EXPECT_TRUE(lines.take().empty());
    lines.finish();
    EXPECT_EQ(lines.take(), std::vector<std::string>{"peek"});
}

TEST(BoxSimControl, HeldCellIndexesAreReportedExactly)
{
    // Axes where the nearest-point rule alone would not give the held
    // point: DZI word 10 repeats word 9, DKI word 5 repeats word 4. The
    // other axes are reversed in memory: index 15 is their lowest point,
    // far from where the engine runs.
    BoxMemory m = BoxMemory::factoryDefaults();
    m.setWord(line::DZI + 20, m.axisWord(line::DZI, 9));
    m.setWord(line::DKI + 10, m.axisWord(line::DKI, 4));
    Wire w({}, m);
    w.wait(3s);
    EXPECT_EQ(control(w, "hold rpm-index 10"), "OK");
    EXPECT_EQ(control(w, "hold throttle-index 5"), "OK");
    EXPECT_EQ(control(w, "hold engine-temp-index 15"), "OK");
    EXPECT_EQ(control(w, "hold air-temp-index 0"), "OK");
    EXPECT_EQ(control(w, "hold air-pressure-index 15"), "OK");
    EXPECT_EQ(w.sim.held(boxsim::Hold::RpmIndex), 10.0);

    const BoxMemory& mem = w.sim.memory();
    const boxsim::EngineState& e = w.sim.engine().state();
    const std::pair<uint8_t, std::pair<uint16_t, int>> expected[] = {{130, {line::DZI, 10}},
                                                                     {131, {line::DKI, 5}},
                                                                     {132, {line::MTI, 15}},
                                                                     {133, {line::LTI, 0}},
                                                                     {134, {line::LDI, 15}}};
    double lambdaLow = 1e9;
    double lambdaHigh = 0.0;
    for (int round = 0; round < 20; ++round) {
        w.wait(1700ms);
        for (const auto& [command, point] : expected) {
            const auto [raw, index] = indexed(w, command);
            EXPECT_EQ(index, point.second) << int{command} << " round " << round;
            EXPECT_EQ(raw, mem.axisWord(point.first, point.second)) << int{command} << " round " << round;
        }
        // The engine itself stands at those points: the diagnostics, which
        // convert the model's values, give the same words.
        ASSERT_TRUE(w.message({159}));
        const std::optional<std::string> turbo = w.reply(159, 18);
        ASSERT_TRUE(turbo);
        EXPECT_EQ(256 * group(*turbo, 4) + group(*turbo, 5), mem.axisWord(line::DZI, 10));
        ASSERT_TRUE(w.message({160}));
        const std::optional<std::string> temps = w.reply(160, 12);
        ASSERT_TRUE(temps);
        EXPECT_EQ(256 * group(*temps, 0) + group(*temps, 1), mem.axisWord(line::MTI, 15));
        EXPECT_EQ(boxsim::sensor::throttleToRaw(e.throttle), mem.axisWord(line::DKI, 5));
        EXPECT_EQ(boxsim::sensor::temperatureToRaw(e.airTemp), mem.axisWord(line::LTI, 0));
        EXPECT_EQ(boxsim::sensor::pressureToRaw(e.airPressure), mem.axisWord(line::LDI, 15));
        // The rest of the model runs on.
        lambdaLow = std::min(lambdaLow, e.lambdaLeft);
        lambdaHigh = std::max(lambdaHigh, e.lambdaLeft);
    }
    EXPECT_NEAR(e.rpm, boxsim::sensor::rawToRpm(mem.axisWord(line::DZI, 10)), 5.0);
    EXPECT_GT(lambdaHigh - lambdaLow, 200.0); // still switching in closed loop

    // The held point follows a change of its axis word.
    const uint16_t moved = boxsim::sensor::rpmToRaw(7777.0);
    EXPECT_EQ(control(w, "poke 1428 " + std::to_string(moved >> 8)), "OK");
    EXPECT_EQ(control(w, "poke 1429 " + std::to_string(moved & 0xFF)), "OK");
    w.wait(500ms);
    EXPECT_EQ(indexed(w, 130), std::make_pair(int{moved}, 10));
    EXPECT_NEAR(e.rpm, 7777.0, 1.0);
}

TEST(BoxSimControl, HeldValuesAppearInTheirLiveValuesAndReleaseReturnsToTheModel)
{
    // A twin on the same seed never holds anything: after a release the
    // model must be where the twin is.
    Wire w;
    Wire twin;
    const auto together = [&](Nanos d) {
        w.wait(d);
        twin.wait(w.t - twin.t);
    };
    together(2s);
    EXPECT_EQ(control(w, "hold lambda-left 612"), "OK");
    EXPECT_EQ(control(w, "hold lambda-right 87.5"), "OK");
    EXPECT_EQ(control(w, "hold injection-us 4000"), "OK");
    for (int round = 0; round < 10; ++round) {
        w.wait(900ms);
        EXPECT_EQ(live(w, 135), 612);
        EXPECT_EQ(live(w, 136), 87);
        const int injection = live(w, 139);
        EXPECT_EQ(injection, boxsim::sensor::injectionToRaw(4000.0));
        EXPECT_NEAR(injection / 0.9216, 4000.0, 1.0 / 0.9216); // within one count
    }

    // These the model computes afresh at every step, from quantities they
    // do not feed: one step after the release they are the twin's, noise
    // and all (holding draws nothing from the generator).
    EXPECT_EQ(control(w, "release lambda-left"), "OK");
    EXPECT_EQ(control(w, "release injection-us"), "OK");
    EXPECT_EQ(w.sim.held(boxsim::Hold::LambdaRight), 87.5);
    together(10ms);
    const boxsim::EngineState& e = w.sim.engine().state();
    const boxsim::EngineState& t = twin.sim.engine().state();
    EXPECT_EQ(e.lambdaLeft, t.lambdaLeft);
    EXPECT_EQ(e.injectionUs, t.injectionUs);
    EXPECT_EQ(e.lambdaRight, 87.5);
    EXPECT_NE(t.lambdaRight, 87.5);
    EXPECT_EQ(live(w, 139), live(twin, 139)); // both at the same time: bytes take none here
    EXPECT_EQ(live(w, 136), 87);

    // Revolutions held at a point, then released: they carry on from there
    // towards the twin's.
    EXPECT_EQ(control(w, "hold rpm-index 2"), "OK");
    together(10s);
    const double point = boxsim::sensor::rawToRpm(w.sim.memory().axisWord(line::DZI, 2));
    EXPECT_NEAR(e.rpm, point, 2.0);
    EXPECT_GT(std::fabs(t.rpm - point), 100.0);
    EXPECT_EQ(control(w, "release"), "OK");
    together(30s);
    EXPECT_NEAR(e.rpm, t.rpm, 1.0);
    EXPECT_EQ(indexed(w, 130).second, indexed(twin, 130).second);
    for (std::size_t h = 0; h < boxsim::kHolds; ++h) {
        EXPECT_FALSE(w.sim.held(static_cast<boxsim::Hold>(h))) << h;
    }
}

// ---- the parameter set -------------------------------------------------

class BoxSimImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string message;
        ASSERT_TRUE(core.Start(MORVEX_PROGRAM_DIR, "en", message)) << message;
        demo = newDoc();
        const morvex::FileOutcome outcome =
            morvex::OpenDataFile(*demo, std::filesystem::path(MORVEX_PROGRAM_DIR) / "DATA" / "Demo.M60");
        ASSERT_TRUE(outcome.ok) << outcome.message;
    }
    std::unique_ptr<morvex::CMorvexDoc> newDoc()
    {
        return std::make_unique<morvex::CMorvexDoc>(core.adapt(), core.limits(), core.info(),
                                                    core.paths().premapFile());
    }
    morvex::CAppCore core;
    std::unique_ptr<morvex::CMorvexDoc> demo;
};

TEST_F(BoxSimImage, LineAddressesHoldTheTablesInTheirOrder)
{
    namespace box = morvex::box;
    BoxMemory m;
    boxsim::LoadFromDocument(*demo, m);
    const morvex::CMorvexDoc& d = *demo;
    const auto image = [&](morvex::BoxAddress a) { return d.GetBoxData(a)[0]; };
    EXPECT_EQ(m.at(0), image(box::TAB_DDD_LINKS + 256));
    EXPECT_EQ(m.at(511), image(box::TAB_DDD_RECHTS + 511));
    EXPECT_EQ(m.at(512 + 17), image(box::TAB_DDZ_LINKS + 256 + 17));
    EXPECT_EQ(m.at(1023), image(box::TAB_DDZ_RECHTS + 511));
    EXPECT_EQ(m.at(1024 + 5), image(box::TAB_MTD + 5));
    EXPECT_EQ(m.at(1056 + 15), image(box::TAB_LTD + 15));
    EXPECT_EQ(m.at(1072 + 3), image(box::TAB_SFD_EX + 3));
    EXPECT_EQ(m.at(1088), image(box::TAB_LDD));
    EXPECT_EQ(m.at(1184 + 2), image(box::TAB_SFD1 + 2));
    EXPECT_EQ(m.at(1200), image(box::PARAMETERS));
    EXPECT_EQ(m.at(1201), image(box::PARAMETERS + 1));
    EXPECT_EQ(m.at(1216 + 2), image(box::TAB_SFD2 + 2));
    for (int k = 0; k < 16; ++k) {
        const auto u = static_cast<unsigned>(k);
        EXPECT_EQ(m.word(1232 + 2 * u), d.GetWord(box::TAB_SFD_INT16, k));
        EXPECT_EQ(m.word(1408 + 2 * u), d.GetWord(box::TAB_DZI, k));
        EXPECT_EQ(m.word(1440 + 2 * (15 - u)), d.GetWord(box::TAB_DKI, k));
        EXPECT_EQ(m.word(1472 + 2 * (15 - u)), d.GetWord(box::TAB_MTI, k));
        EXPECT_EQ(m.word(1504 + 2 * (15 - u)), d.GetWord(box::TAB_LTI, k));
        EXPECT_EQ(m.word(1536 + 2 * (15 - u)), d.GetWord(box::TAB_LDI, k));
        EXPECT_EQ(m.text(1280 + 4 * u, 4), d.Text(morvex::TextTable::SFI1, k).substr(0, 4));
        EXPECT_EQ(m.text(1344 + 4 * u, 4), d.Text(morvex::TextTable::SFI2, k).substr(0, 4));
        EXPECT_EQ(m.text(1728 + 4 * u, 4), d.Text(morvex::TextTable::EX, k).substr(0, 4));
        EXPECT_EQ(m.text(1792 + 4 * u, 4), d.Text(morvex::TextTable::EX2, k).substr(0, 4));
    }
    // The demo's axes are not flat, so the order checks above mean something.
    EXPECT_NE(d.GetWord(box::TAB_DKI, 0), d.GetWord(box::TAB_DKI, 15));
    EXPECT_NE(d.GetWord(box::TAB_MTI, 0), d.GetWord(box::TAB_MTI, 15));
    // Unlisted addresses are left alone.
    EXPECT_EQ(m.at(1040), 0xFF);
    EXPECT_EQ(m.at(1202), 0xFF);
    EXPECT_EQ(m.at(1664), 0xFF);
    EXPECT_EQ(m.at(1856), 0xFF);
}

TEST_F(BoxSimImage, StoringBackChangesOnlyWhatTheBoxHolds)
{
    namespace box = morvex::box;
    BoxMemory m;
    boxsim::LoadFromDocument(*demo, m);
    m.set(1024, 77);                    // TAB_MTD byte 0
    m.setWord(1440, 1234);              // TAB_DKI word 15
    m.setText(1280 + 4 * 5, 4, "ABCD"); // TAB_TXT_SFI1 entry 5
    m.set(1344 + 4 * 6, 0xFF);          // TAB_TXT_SFI2 entry 6: read as empty
    auto doc = newDoc();
    doc->OnNewDocument();
    doc->GetBoxData(box::TAB_DDD_LINKS)[3] = 42; // row 0: not in the box
    doc->GetBoxData(box::TAB_MTD)[32] = 43;      // right side: not in the box
    doc->SetWord(box::TAB_DZI, 20, 4444);        // word 20: not in the box
    doc->SetText(morvex::TextTable::SFI1, 20, "KEEP");
    boxsim::StoreIntoDocument(m, *doc);

    EXPECT_EQ(doc->GetBoxData(box::TAB_MTD)[0], 77);
    EXPECT_EQ(doc->GetWord(box::TAB_DKI, 15), 1234);
    EXPECT_EQ(doc->Text(morvex::TextTable::SFI1, 5), "ABCD");
    EXPECT_EQ(doc->Text(morvex::TextTable::SFI2, 6), "");
    EXPECT_EQ(doc->GetBoxData(box::TAB_DDD_LINKS)[3], 42);
    EXPECT_EQ(doc->GetBoxData(box::TAB_MTD)[32], 43);
    EXPECT_EQ(doc->GetWord(box::TAB_DZI, 20), 4444);
    EXPECT_EQ(doc->Text(morvex::TextTable::SFI1, 20), "KEEP");
    // Index values follow the stored words.
    EXPECT_EQ(doc->IndexValue(morvex::IndexTable::DZI, 3),
              core.adapt().BOX_TO_PC_Drehzahl_25(doc->GetWord(box::TAB_DZI, 3)));

    // And back again: the same memory at every address the box holds.
    BoxMemory again;
    boxsim::LoadFromDocument(*doc, again);
    m.setText(1344 + 4 * 6, 4, ""); // the name read as empty comes back NUL-padded
    for (uint32_t a = 0; a < boxsim::kMemorySize; ++a) {
        EXPECT_EQ(again.at(a), m.at(a)) << a;
    }
}

TEST(BoxSimInfo, InfoTextsAndTimeStampByLineAddress)
{
    morvex::CBoxInfo info;
    info.versions = {"ignored", "ABCDEFGH", "2", "3", "4", "5", "sixteen chars ok"};
    info.lastTransfer = platform::OleDateTime::fromDays(46000.25);
    BoxMemory m;
    boxsim::LoadInfo(info, m);
    EXPECT_EQ(m.text(1672, 8), "ABCDEFGH");
    EXPECT_EQ(m.at(1680), '2');
    EXPECT_EQ(m.at(1681), 0);
    EXPECT_EQ(m.text(1704, 8), "5");
    EXPECT_EQ(m.text(1712, 16), "sixteen chars ok");
    EXPECT_EQ(m.timeStamp(), 46000.25);

    morvex::CBoxInfo back;
    boxsim::StoreInfo(m, back);
    EXPECT_EQ(back.versions[0], "");
    for (std::size_t j = 1; j < 7; ++j) {
        EXPECT_EQ(back.versions[j], info.versions[j]);
    }
    EXPECT_TRUE(back.lastTransfer.valid);
    EXPECT_EQ(back.lastTransfer.days, 46000.25);
    BoxMemory erased; // 255s: no date
    boxsim::StoreInfo(erased, back);
    EXPECT_FALSE(back.lastTransfer.valid);
    EXPECT_EQ(back.versions[1], "");
}

// ---- the serving loop ----------------------------------------------------

// A line on a virtual clock: the program's bytes arrive at scripted times;
// the box's writes are recorded with the time they were made.
class ScriptedLine : public boxsim::LineTransport {
public:
    struct Arrival {
        Nanos at;
        std::vector<uint8_t> bytes;
        bool hangUp = false;
    };
    // Stops once the script is done and the clock would pass `end`.
    ScriptedLine(std::vector<Arrival> script, Nanos end) : script_(std::move(script)), end_(end) {}

    Nanos now() override { return clock; }
    Wait wait(std::optional<Nanos> deadline, std::vector<uint8_t>& in) override
    {
        if (next_ < script_.size() && (!deadline || script_[next_].at <= *deadline)) {
            clock = std::max(clock, script_[next_].at);
            const Arrival& a = script_[next_++];
            if (a.hangUp) {
                return Wait::LineDown;
            }
            in = a.bytes;
            return Wait::Ready;
        }
        if (deadline && *deadline <= end_) {
            clock = std::max(clock, *deadline);
            return Wait::Ready;
        }
        return Wait::Stop;
    }
    bool write(uint8_t byte) override
    {
        written.emplace_back(byte, clock);
        return true;
    }

    Nanos clock{0};
    std::vector<std::pair<uint8_t, Nanos>> written;

private:
    std::vector<Arrival> script_;
    Nanos end_;
    std::size_t next_ = 0;
};

TEST(BoxSimServe, PutsEveryByteOnTheLineWhenItIsDue)
{
    Options o;
    o.baud = 10000; // 1 ms per byte
    BoxSim sim(o, BoxMemory::factoryDefaults());
    ScriptedLine line({{0ms, {140, '0'}},
                       {10ms, {'0', '4'}},
                       {20ms, {}, true}, // the program closes the port
                       {30ms, {158}},
                       {40ms, {0xFF}}},
                      1s);
    boxsim::ServeTiming timing;
    boxsim::Serve(sim, line, &timing);
    const std::vector<std::pair<uint8_t, Nanos>> expected{{140, 2ms},  {'0', 3ms},  {'0', 12ms},
                                                          {'4', 13ms}, {158, 32ms}, {'Z', 42ms}};
    EXPECT_EQ(line.written, expected);
    // On time on a virtual clock. The program answered the box's '0' of 3 ms
    // at 10 ms and its 158 of 32 ms at 40 ms; the bytes after the 13 ms
    // write were no answer (the port was closed meanwhile).
    EXPECT_EQ(timing.written, 6u);
    EXPECT_EQ(timing.lateness, Nanos(0));
    EXPECT_EQ(timing.answers, 2u);
    EXPECT_EQ(timing.answerTime, 7ms + 8ms);
    // The line was busy from the first byte in to the end of 'Z'.
    EXPECT_EQ(sim.stats().firstIn, Nanos(0));
    EXPECT_EQ(sim.stats().lastOnLine, 42ms);
    // The write message was cut by the closed port, the version reply waits
    // for its echo in vain.
    EXPECT_EQ(sim.stats().writes, 0u);
    EXPECT_EQ(sim.stats().abandonedReplies, 1u);
    // On a quiet line the engine still runs.
    EXPECT_GT(sim.engine().state().seconds, 0.89);
}

} // namespace
