#pragma once

// The diagnostic pane without Qt: the eight topics with their pages and box
// commands, the page addresses with the measured values in their query,
// the progress panel's sequence (command, timed test, reply) and the
// browser zoom levels.

#include "document/Labels.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvex::live {

struct DiagnosticTopic {
    DiagnosticLabel caption;
    const char* page;
    uint8_t command;                     // 158 + the topic's index
    const char* resultPage;              // null: the topic page stays after the test
    std::array<const char*, 4> measured; // query names of the measured texts, null where none
    int seconds;                         // length of a timed test; 0: untimed
};

inline constexpr int kTopicCount = 8;
inline constexpr uint8_t kBoxVersionCommand = 158;

// In list order.
inline constexpr std::array<DiagnosticTopic, kTopicCount> kTopics{{
    {DiagnosticLabel::Communication, "communication.html", 158, "communicationres.html", {}, 0},
    {DiagnosticLabel::Motorstart, "motorstart.html", 159, "motorstartres.html", {"mw1", "mw2", "mw3", nullptr}, 0},
    {DiagnosticLabel::Throttle, "throttle.html", 160, "throttleres.html", {"mw1", "mw2", nullptr, nullptr}, 0},
    {DiagnosticLabel::TemperatureSensors, "tempsensors.html", 161, "tempsensorsres.html", {"mw1", "mw2", "mw3", "mw4"},
     0},
    {DiagnosticLabel::InjectionQuantity, "injquantity.html", 162, nullptr, {}, 20},
    {DiagnosticLabel::FuelPump, "fuelpump.html", 163, nullptr, {}, 10},
    {DiagnosticLabel::InjectionNozzles, "injnozzles.html", 164, nullptr, {}, 10},
    {DiagnosticLabel::SparkCoils, "sparkcoils.html", 165, nullptr, {}, 10},
}};

inline constexpr const char* kCommunicationErrorPage = "communicationerr.html";
inline constexpr const char* kNotFoundPage = "404.html";

using QueryItems = std::vector<std::pair<std::string, std::string>>;

// Every byte but the unreserved characters (letters, digits, - . _ ~) as
// %XX: a value can then never end its parameter, start another or cut the
// address short, whatever the box sent.
std::string percentEncode(std::string_view text);

// "file://" and the page's absolute path (each byte but '/' and the
// unreserved ones percent-encoded), then the query, if any.
std::string pageAddress(const std::filesystem::path& page, const QueryItems& query = {});

// The box version as it travels: 8 characters; a NUL ends it.
std::string boxVersionText(const std::string& received);

// The result page of topic `index` with the measured texts (index 0: the box
// version), the port number and the baud rate.
std::string resultAddress(const std::filesystem::path& dir, int index, const std::array<std::string, 4>& texts,
                          int port, uint32_t baud);
std::string communicationErrorAddress(const std::filesystem::path& dir, int port, uint32_t baud);
// The 404 page naming the address that failed and the browser's error
// status in hexadecimal.
std::string notFoundAddress(const std::filesystem::path& dir, std::string_view failed, int32_t status);

// Elapsed time of the panel: "m:ss".
std::string elapsedText(int64_t milliseconds);

// The texts of the panel from the label file (UTF-8).
struct PanelTexts {
    std::string start = "Start Diagnostic...";
    std::string info = "Diagnostic in progress...";
    std::string end = "End Diagnostic";
};

// What the panel does for one topic: the command exchange, for the
// measurements and actions a running phase that the user ends (or, for
// timed tests, the clock), then the reply exchange. The widget shows the
// state and carries out the returned action.
class DiagnosticSequence {
public:
    enum class Action {
        None,
        StartReply,  // ask the frame for the reply exchange
        CancelLink,  // ask the frame to cancel the running exchange; its abort report follows
        CloseOk,     // the test ran: close with OK
        CloseFailed, // close as cancelled (the error page follows)
    };

    DiagnosticSequence(uint8_t command, std::string caption, PanelTexts texts);

    // The frame took the command exchange (or not) and counts `total` steps.
    Action opened(bool started, int total);
    // A WM_PORT_NOTIFY code at `nowMs` (the panel's clock).
    Action notify(uint32_t code, int64_t nowMs);
    // The panel's 100 ms timer.
    Action tick(int64_t nowMs);
    // End button or Esc.
    Action end();
    // Whether the frame took the reply exchange.
    Action replyStarted(bool started);

    const std::string& status() const { return status_; }
    const std::string& elapsed() const { return elapsed_; }
    int barMaximum() const { return barMax_; }
    int barValue() const { return barValue_; }
    bool endEnabled() const { return running_ && !replying_; }
    bool timerRunning() const { return running_ && !replying_; }
    bool finished() const { return finished_; }
    int seconds() const { return seconds_; }

private:
    void step(const char* second);
    Action firstCompletion(int64_t nowMs);
    Action close(Action action);

    uint8_t command_;
    std::string caption_;
    PanelTexts texts_;
    int seconds_ = 0;
    std::string status_;
    std::string elapsed_;
    int barMax_ = 0;
    int barValue_ = 0;
    int64_t startMs_ = 0;
    bool started_ = false;  // the command exchange runs
    bool running_ = false;  // first completion seen: the test runs
    bool replying_ = false; // the reply exchange runs
    bool cancelling_ = false;
    bool finished_ = false;
};

// The browser's five zoom levels (0 smallest .. 4 largest, 2 the browser's
// own) and the "IEFontSize" setting: -1 means "as the browser is".
inline constexpr int kZoomLevels = 5;
inline constexpr int kDefaultZoomLevel = 2;
inline constexpr int kFirstZoomCommand = 32880; // Smallest Font; Largest is 32884
double zoomFactor(int level);
// The level the zoom commands and the setting may hold; anything else
// counts as the browser's own level.
int validZoomLevel(int level);

} // namespace morvex::live
