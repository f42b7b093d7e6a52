// Feeds 100,000 live values to the data record view the way the port
// worker delivers them online (each cycle: revolutions with its cell
// index, throttle with its cell index, then the next value of the poll
// table) while the engine wanders over the map, and prints the UI thread's
// time per value: recording, plus the once-a-frame writing of the changed
// cells and the painting, shared out over the values of that frame. The
// ratio compares it with one live query on the line at 115200 baud.
//
//   DataRecordingBench [--values N]
//
// Nothing here fails on time. Without a display it runs offscreen.

#include "tools/bench/BenchTiming.h"
#include "comm/PortCodes.h"
#include "document/AppCore.h"
#include "document/LambdaSensors.h"
#include "document/MorvexDoc.h"
#include "platform/UserMessages.h"
#include "tools/bench/BenchViews.h"
#include "views/DataRecordingView.h"

#include <QApplication>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

using namespace morvex::bench;

namespace {


// One live query: the command byte and its echo, the request byte, eight
// reply bytes each echoed, the terminator; ten bits a byte.
constexpr double kQueryBytes = 2 + 1 + 2 * 8 + 1;
constexpr double kQueryMs = kQueryBytes * 10.0 / 115200.0 * 1000.0;

// The worker's poll table; the view gets each value as command + 20.
constexpr std::array<int, 12> kPollTable{135, 166, 136, 139, 135, 132, 136, 133, 135, 137, 136, 134};

struct Stats {
    double total = 0.0;
    double worst = 0.0;
    long count = 0;
    void add(double ms)
    {
        total += ms;
        worst = std::max(worst, ms);
        ++count;
    }
    double mean() const { return count > 0 ? total / static_cast<double>(count) : 0.0; }
};

// A live value as the worker packs it: parameter low, the box's 16-bit
// value high.
intptr_t pack(int parameter, int value)
{
    return static_cast<intptr_t>((static_cast<uint32_t>(parameter) & 0xFFFFu) |
                                 ((static_cast<uint32_t>(value) & 0xFFFFu) << 16));
}

} // namespace

int main(int argc, char* argv[])
{
    if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    long values = 100000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--values") == 0) {
            values = std::max(1L, std::atol(argv[i + 1]));
        }
    }

    morvex::bench::BenchViews bench;
    if (!bench.start()) {
        return 1;
    }
    morvex::CMorvexDoc& doc = *bench.doc;
    doc.GetBoxData(morvex::box::TAB_SFD1)[0] = 25;
    doc.GetBoxData(morvex::box::TAB_SFD1)[1] = 40;
    morvex::views::CDataRecordingView view(bench.context);
    view.resize(900, 600);
    view.OnUpdate(morvex::views::kHintAll);
    view.show();
    QApplication::processEvents();
    view.OnBoxEvent(morvex::comm::PT_ONLINE_STARTED, 0);

    std::mt19937 random(5);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int revolutionsIndex = 3;
    int throttleIndex = 10;
    // Values that reach the view in one frame at line speed (five values
    // every three queries).
    const double valuesPerFrame = kFrameMs / kQueryMs * 5.0 / 3.0;
    constexpr std::array<int, 5> kTabs{1211, 1212, 1214, 1217, 1218};

    Stats recording;
    Stats frames;
    double frameValues = 0.0;
    long sent = 0;
    std::size_t poll = 0;
    std::vector<intptr_t> cycle;
    while (sent < values) {
        if (sent % 20000 == 0) {
            view.SwitchGrid(kTabs[static_cast<std::size_t>(sent / 20000) % kTabs.size()]);
        }
        // The engine drifts over the map, now and then beyond its lower half.
        revolutionsIndex = std::clamp(revolutionsIndex + pick(-1, 1), 0, 17);
        throttleIndex = std::clamp(throttleIndex + pick(-1, 1), 0, 15);
        const int rpm = 1000 + 600 * revolutionsIndex + pick(0, 500);
        const int command = kPollTable[poll];
        poll = (poll + 1) % kPollTable.size();
        int raw = 0;
        switch (command) {
        case 135:
        case 136: raw = pick(100, 900); break;
        case 139: raw = pick(1500, 9000); break;
        case 166: raw = 5; break;
        case 137: raw = pick(2700, 2900); break;
        default: raw = pick(1500, 3500); break;
        }
        cycle = {pack(150, 13824000 / rpm), pack(130, revolutionsIndex), pack(151, throttleIndex * 160 + 80),
                 pack(131, throttleIndex), command == 166 ? pack(166, raw) : pack(command + 20, raw)};
        for (intptr_t lParam : cycle) {
            const auto start = Clock::now();
            view.OnBoxEvent(morvex::comm::PT_LIVE_VALUE, lParam);
            recording.add(since(start));
            ++sent;
            frameValues += 1.0;
            if (frameValues >= valuesPerFrame) {
                frameValues -= valuesPerFrame;
                const auto paint = Clock::now();
                view.FlushChanges();
                QApplication::processEvents();
                frames.add(since(paint));
            }
        }
    }
    view.FlushChanges();

    const double perValue = (recording.total + frames.total) / static_cast<double>(recording.count);
    std::printf("DataRecordingBench: %ld live values on the data record view (%s platform)\n", recording.count,
                QApplication::platformName().toLocal8Bit().constData());
    std::printf("one live query on the line at 115200 baud: %.0f bytes, %.4f ms\n", kQueryBytes, kQueryMs);
    std::printf("recording a value     mean %8.4f ms (%.4f of a query)  worst %8.4f ms (%.4f of a query)\n",
                recording.mean(), recording.mean() / kQueryMs, recording.worst, recording.worst / kQueryMs);
    std::printf("one frame's flush+paint %5ld  mean %8.4f ms (%.4f of a frame)  worst %8.4f ms (%.4f of a frame)\n",
                frames.count, frames.mean(), frames.mean() / kFrameMs, frames.worst, frames.worst / kFrameMs);
    std::printf("UI time per value, all told: %.4f ms = %.4f of one live query\n", perValue, perValue / kQueryMs);
    std::printf("screen writes: %d for %ld values\n", view.FlushCount(), recording.count);
    return 0;
}
