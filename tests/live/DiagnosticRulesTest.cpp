// The diagnostic pane's addresses and its test sequence, without a window.
#include "comm/PortCodes.h"
#include "live/DiagnosticRules.h"

#include <gtest/gtest.h>

#include <map>

using namespace morvex::live;
using Action = DiagnosticSequence::Action;

namespace {

// The query of an address, decoded, as a browser's URLSearchParams reads it.
std::multimap<std::string, std::string> query(const std::string& address)
{
    std::multimap<std::string, std::string> items;
    const std::size_t start = address.find('?');
    if (start == std::string::npos) {
        return items;
    }
    EXPECT_EQ(address.find('#'), std::string::npos) << "a fragment cuts the query short";
    const auto decode = [](const std::string& s) {
        std::string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '%' && i + 2 < s.size()) {
                out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                out += s[i];
            }
        }
        return out;
    };
    std::size_t pos = start + 1;
    while (pos <= address.size()) {
        const std::size_t end = std::min(address.find('&', pos), address.size());
        const std::string item = address.substr(pos, end - pos);
        const std::size_t eq = item.find('=');
        items.emplace(decode(item.substr(0, eq)), eq == std::string::npos ? "" : decode(item.substr(eq + 1)));
        pos = end + 1;
    }
    return items;
}

} // namespace

TEST(DiagnosticAddress, BoxTextsCannotChangeTheAddress)
{
    const std::filesystem::path dir = "/opt/zamo box/CNF/DIAG/en";
    for (const std::string& version : {std::string("<script>"), std::string("&port=9#"), std::string("a%20b+c?"), std::string("ZB\0\0\0", 5)}) {
        const std::string address = resultAddress(dir, 0, {version, "", "", ""}, 7, 9600);
        EXPECT_EQ(address.rfind("file:///opt/zamo%20box/CNF/DIAG/en/communicationres.html?", 0), 0u) << address;
        const auto items = query(address);
        ASSERT_EQ(items.size(), 3u) << address;
        EXPECT_EQ(items.find("boxversion")->second, boxVersionText(version));
        EXPECT_EQ(items.find("port")->second, "7");
        EXPECT_EQ(items.find("baud")->second, "9600");
        EXPECT_EQ(address.find_first_of("<> \"'"), std::string::npos) << address;
    }
    // A NUL ends the version text as the box pads it.
    EXPECT_EQ(boxVersionText(std::string("ZB\0xyz", 6)), "ZB");

    const auto measured = query(resultAddress(dir, 3, {"1013", "1&2", "22", "23"}, 1, 19200));
    EXPECT_EQ(measured.size(), 4u);
    EXPECT_EQ(measured.find("mw2")->second, "1&2");
    EXPECT_EQ(query(resultAddress(dir, 2, {"64", "71", "x", "y"}, 1, 19200)).size(), 2u);

    // The failed address travels whole inside the 404 page's query.
    const std::string failed = "file:///p/throttle.html?mw1=1&mw2=2#top";
    const auto notFound = query(notFoundAddress(dir, failed, -6));
    EXPECT_EQ(notFound.find("page")->second, failed);
    EXPECT_EQ(notFound.find("error")->second, "0xFFFFFFFA");
}

TEST(DiagnosticSequence, MeasurementRunsUntilEndThenReadsTheReply)
{
    DiagnosticSequence s(160, "Throttle", {});
    EXPECT_EQ(s.opened(true, 1), Action::None);
    EXPECT_EQ(s.notify(morvex::comm::PT_VALUE_WRITTEN, 0), Action::None);
    EXPECT_EQ(s.notify(morvex::comm::PT_WRITE_DONE, 5'000), Action::None);
    EXPECT_TRUE(s.endEnabled());
    EXPECT_EQ(s.status(), "Diagnostic in progress...\nThrottle");
    EXPECT_EQ(s.tick(5'000 + 61'500), Action::None); // untimed: it waits for the user
    EXPECT_EQ(s.elapsed(), "1:01");
    EXPECT_EQ(s.end(), Action::StartReply);
    EXPECT_FALSE(s.timerRunning());
    EXPECT_EQ(s.replyStarted(true), Action::None);
    EXPECT_EQ(s.end(), Action::CancelLink) << "Esc while the reply runs cancels it";
    EXPECT_EQ(s.end(), Action::None) << "once";
    EXPECT_EQ(s.notify(morvex::comm::PT_READ_DONE, 70'000), Action::CloseOk);
}

TEST(DiagnosticSequence, TimedTestsEndThemselvesOrEarlier)
{
    for (const auto& [command, seconds] : {std::pair{162, 20}, {163, 10}, {165, 10}}) {
        DiagnosticSequence s(static_cast<uint8_t>(command), "Topic", {});
        s.opened(true, 1);
        s.notify(morvex::comm::PT_WRITE_DONE, 1'000);
        EXPECT_EQ(s.barMaximum(), seconds);
        EXPECT_EQ(s.tick(1'000 + seconds * 1000 - 100), Action::None) << command;
        EXPECT_EQ(s.barValue(), seconds - 1);
        EXPECT_EQ(s.tick(1'000 + seconds * 1000), Action::StartReply) << command;
        EXPECT_EQ(s.tick(1'000 + seconds * 1000 + 100), Action::None) << "the reply is asked for once";
        EXPECT_EQ(s.notify(morvex::comm::PT_WRITE_DONE, 0), Action::CloseOk);
    }
    // Ended early (Fuel Pump after 3 s): the reply is still asked for, and
    // a reply that cannot start fails the test.
    DiagnosticSequence early(163, "Fuel Pump", {});
    early.opened(true, 1);
    early.notify(morvex::comm::PT_WRITE_DONE, 0);
    early.tick(3'000);
    EXPECT_EQ(early.end(), Action::StartReply);
    EXPECT_EQ(early.replyStarted(false), Action::CloseFailed);
}

TEST(DiagnosticSequence, FailuresAndTheVersionQuery)
{
    DiagnosticSequence version(158, "Communication", {});
    EXPECT_EQ(version.opened(true, 8), Action::None);
    EXPECT_EQ(version.notify(morvex::comm::PT_READ_DONE, 0), Action::CloseOk);

    DiagnosticSequence refused(159, "Motorstart", {});
    EXPECT_EQ(refused.opened(false, 0), Action::CloseFailed);

    // Esc while the command goes out: the exchange is cancelled, and only
    // its abort report closes the panel (the worker still reports to it).
    DiagnosticSequence cut(161, "Temperature Sensors", {});
    cut.opened(true, 1);
    EXPECT_EQ(cut.end(), Action::CancelLink);
    EXPECT_FALSE(cut.finished());
    EXPECT_EQ(cut.notify(morvex::comm::PT_ABORTED, 0), Action::CloseFailed);
    EXPECT_EQ(cut.notify(morvex::comm::PT_WRITE_DONE, 0), Action::None);
}
