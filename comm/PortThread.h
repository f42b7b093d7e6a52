#pragma once

#include "comm/BoxLink.h"
#include "comm/TransferJob.h"
#include "comm/Walks.h"
#include "platform/Event.h"
#include "platform/SerialLine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {
class MessageTarget;
}

namespace morvex {
struct AdaptFunctions;
}

namespace morvex::comm {

// The worker that owns the serial port for one operation: it opens the
// port, runs a list of transfer jobs with the box protocol and reports
// every step to the frame and the jobs' owner views as posted messages.
// It never touches the document except through the jobs' data pointers.
class CPortThread {
public:
    enum class Kind { Online, Send, Receive };

    // `frame` receives all frame messages; `adapt` converts diagnostic
    // replies (may be null when no diagnostic job runs).
    CPortThread(std::unique_ptr<platform::SerialLine> line, platform::MessageTarget& frame,
                const AdaptFunctions* adapt = nullptr);
    // Stops the worker if it still runs (waiting as long as it takes) and
    // closes the port.
    ~CPortThread();
    CPortThread(const CPortThread&) = delete;
    CPortThread& operator=(const CPortThread&) = delete;

    void Configure(std::string device, const platform::SerialSettings& settings,
                   const platform::SerialTimeouts& timeouts);
    // Starts the thread, which posts PT_THREAD_STARTED and waits for work.
    bool Create();

    // On the UI thread: opens the port if needed, asks every job's owner
    // view (a non-zero answer refuses the transfer), posts the start code to
    // the frame and wakes the worker. False when the port cannot be opened
    // (WM_PORT_ERROR posted) or a view refused.
    bool StartJobs(Kind kind, std::vector<TransferJob> jobs);
    // Ends the running job list at its next cancellation check.
    void Cancel();
    // Sets the stop event and waits up to `wait` for the thread to end.
    // False when it has not ended yet; it is then still running and the
    // caller must call Join() (the object may not be destroyed before).
    bool Stop(std::chrono::milliseconds wait = std::chrono::milliseconds(2000));
    // Waits for the thread to end, however long it takes.
    void Join();
    bool Ended() const { return ended_.load(); }

    // Online mode: queues a changed value (replacing a queued value for the
    // same command and line address). Waits up to `lockWait` for the list;
    // false when it could not be had.
    bool QueueValue(const UpdateEntry& entry, std::chrono::milliseconds lockWait = std::chrono::milliseconds(1000));
    // Values still waiting to be written (when online mode ended by failure).
    std::vector<UpdateEntry> TakePendingValues();

    uint32_t LastReason() const { return lastReason_.load(); }
    bool PortOpen() const { return line_->isOpen(); }

private:
    enum class Check { GoOn, Stop };

    void run();
    bool openPort();
    void closePort();
    Check checkCancel();
    void runJobList();
    bool runJob(std::size_t index);
    bool runWalk(const TransferJob& job, bool sending);
    bool writeStep(const TransferJob& job, const WalkStep& step, std::size_t index);
    bool readStep(const TransferJob& job, const WalkStep& step, std::size_t index);
    bool readBoxVersion(const TransferJob& job, uint8_t* into);
    bool sendDiagnosticCommand(uint8_t command);
    bool receiveDiagnosticReply(const TransferJob& job);
    // Reports a failed value and purges; false when the purge failed and
    // the line is given up.
    bool valueFailed(const TransferJob& job, uint32_t code, std::size_t index, uint32_t reason);
    bool purgeAfterFailure();
    // Once per open port: posts PTERR_LINE with the cause and closes.
    void reportLoss(const std::error_code& cause);
    // True when the device went away (reported at the first call).
    bool lineUnusable();
    void progress(const TransferJob& job, uint32_t code, std::size_t index);
    // Online mode.
    bool runOnline();
    // False when the line is lost and online mode must end.
    bool liveQuery(uint8_t command);
    enum class QueuedWrite { None, Written, Failed };
    QueuedWrite writeQueuedValue(bool wait);

    void postFrame(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void postOwner(const TransferJob& job, uint32_t code, intptr_t lParam);

    std::unique_ptr<platform::SerialLine> line_;
    BoxLink link_;
    platform::MessageTarget& frame_;
    const AdaptFunctions* adapt_;

    std::string device_;
    platform::SerialSettings settings_;
    platform::SerialTimeouts timeouts_;

    platform::Event work_{platform::Event::Reset::Auto};
    platform::Event cancel_{platform::Event::Reset::Auto};
    platform::Event stop_{platform::Event::Reset::Manual};

    std::vector<TransferJob> jobs_; // written by the UI thread only while the worker is idle
    Kind kind_ = Kind::Receive;
    std::atomic<uint32_t> lastReason_{0};
    std::atomic<bool> listRunning_{false};
    std::atomic<bool> lossReported_{false};

    std::timed_mutex updateMutex_;
    std::deque<UpdateEntry> updates_;

    std::thread thread_;
    std::atomic<bool> ended_{false};
    std::mutex endMutex_;
    std::condition_variable endSignal_;
};

} // namespace morvex::comm
