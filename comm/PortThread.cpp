#include "comm/PortThread.h"

#include "comm/PortCodes.h"
#include "document/AdaptLibrary.h"
#include "platform/Log.h"
#include "platform/MessageTarget.h"
#include "platform/NumberFormat.h"

#include <array>
#include <cerrno>

namespace morvex::comm {
namespace {

// The errno of a failed open; a line without a system error behind it
// gets the number that stands for its kind of failure.
intptr_t openErrorNumber(platform::OpenFailure failure, const std::error_code& ec)
{
    if (ec) {
        return ec.value();
    }
    switch (failure) {
    case platform::OpenFailure::Occupied: return EBUSY;
    case platform::OpenFailure::PermissionDenied: return EACCES;
    case platform::OpenFailure::NotFound: return ENOENT;
    case platform::OpenFailure::Unsupported: return EINVAL;
    default: return EIO;
    }
}

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.comm");
    return category;
}

constexpr auto kIdleWait = std::chrono::milliseconds(500);

intptr_t pack(uint32_t low, uint32_t high)
{
    return static_cast<intptr_t>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}

uint32_t startCode(CPortThread::Kind kind)
{
    switch (kind) {
    case CPortThread::Kind::Online: return PT_ONLINE_STARTED;
    case CPortThread::Kind::Send: return PT_SEND_STARTED;
    case CPortThread::Kind::Receive: return PT_RECEIVE_STARTED;
    }
    return PT_RECEIVE_STARTED;
}

bool isWriteKind(uint8_t command)
{
    return command == CMD_WRITE || command == CMD_DIAG_COMMAND || (command >= 162 && command <= 165);
}

// Reply lengths of the live queries.
std::size_t liveReplyLength(uint8_t command)
{
    if (command >= 130 && command <= 134) {
        return 8;
    }
    if (command == 166) {
        return 2;
    }
    return 6;
}

std::size_t diagnosticReplyLength(uint8_t command)
{
    switch (command) {
    case 159: return 18;
    case 160: return 12;
    case 161: return 24;
    default: return 0;
    }
}

// The positions of the online poll table, asked in turn.
constexpr std::array<uint8_t, 12> kPollTable{135, 166, 136, 139, 135, 132, 136, 133, 135, 137, 136, 134};

} // namespace

CPortThread::CPortThread(std::unique_ptr<platform::SerialLine> line, platform::MessageTarget& frame,
                         const AdaptFunctions* adapt)
    : line_(std::move(line)), link_(*line_), frame_(frame), adapt_(adapt)
{
}

CPortThread::~CPortThread()
{
    if (thread_.joinable()) {
        stop_.set();
        thread_.join();
    }
    closePort();
}

void CPortThread::Configure(std::string device, const platform::SerialSettings& settings,
                            const platform::SerialTimeouts& timeouts)
{
    device_ = std::move(device);
    settings_ = settings;
    timeouts_ = timeouts;
}

bool CPortThread::Create()
{
    if (thread_.joinable()) {
        return false;
    }
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        log().error(std::string("cannot create the port worker: ") + e.what());
        return false;
    }
    return true;
}

void CPortThread::postFrame(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    frame_.post(message, wParam, lParam);
}

void CPortThread::postOwner(const TransferJob& job, uint32_t code, intptr_t lParam)
{
    if (job.owner != nullptr) {
        job.owner->post(WM_PORT_NOTIFY, code, lParam);
    }
}

bool CPortThread::openPort()
{
    if (line_->isOpen()) {
        closePort();
    }
    platform::OpenFailure failure = platform::OpenFailure::None;
    std::error_code ec;
    if (!line_->open(device_, settings_, timeouts_, failure, ec)) {
        postFrame(WM_PORT_ERROR, PTERR_OPEN, openErrorNumber(failure, ec));
        log().warning("cannot open " + device_ + ": " + ec.message());
        return false;
    }
    link_.forgetLoss();
    lossReported_ = false;
    return true;
}

void CPortThread::closePort()
{
    if (line_->isOpen()) {
        std::error_code ec;
        line_->purge(ec);
        line_->close();
    }
}

void CPortThread::reportLoss(const std::error_code& cause)
{
    if (lossReported_.exchange(true)) {
        return;
    }
    log().warning(device_ + ": line lost: " + cause.message());
    postFrame(WM_PORT_ERROR, PTERR_LINE, cause.value());
    closePort();
}

bool CPortThread::lineUnusable()
{
    if (link_.lineLost()) {
        reportLoss(link_.lostCause());
        return true;
    }
    return lossReported_.load();
}

bool CPortThread::StartJobs(Kind kind, std::vector<TransferJob> jobs)
{
    // The job block belongs to the worker while a list runs.
    if (listRunning_.load()) {
        log().warning("a job list is still running; the new one is refused");
        return false;
    }
    if (!line_->isOpen() && !openPort()) {
        return false;
    }
    const uint32_t code = startCode(kind);
    for (const TransferJob& job : jobs) {
        if (job.owner != nullptr && job.owner->send(WM_PORT_NOTIFY, code, 0) != 0) {
            return false; // a view refused the transfer: no byte is sent
        }
    }
    kind_ = kind;
    jobs_ = std::move(jobs);
    listRunning_ = true;
    postFrame(WM_PORT_NOTIFY, code, 0);
    work_.set();
    return true;
}

void CPortThread::Cancel()
{
    cancel_.set();
}

bool CPortThread::Stop(std::chrono::milliseconds wait)
{
    stop_.set();
    std::unique_lock lock(endMutex_);
    return endSignal_.wait_for(lock, wait, [this] { return ended_.load(); });
}

void CPortThread::Join()
{
    stop_.set();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CPortThread::run()
{
    postFrame(WM_PORT_NOTIFY, PT_THREAD_STARTED, 0);
    for (;;) {
        const int which = platform::Event::waitAny({&work_, &stop_}, kIdleWait);
        if (which == 0) {
            log().debug("job list of " + std::to_string(jobs_.size()) + " jobs starts");
            postFrame(WM_PORT_NOTIFY, PT_JOBS_STARTED, 0);
            runJobList();
            listRunning_ = false;
            log().debug("job list ended");
        } else if (which == 1) {
            break;
        }
    }
    closePort();
    postFrame(WM_PORT_NOTIFY, PT_THREAD_ENDED, 0);
    {
        std::lock_guard lock(endMutex_);
        ended_ = true;
    }
    endSignal_.notify_all();
}

CPortThread::Check CPortThread::checkCancel()
{
    if (platform::Event::waitAny({&cancel_, &stop_}, std::chrono::milliseconds(0)) >= 0) {
        lastReason_ = PTERR_CANCELED;
        return Check::Stop;
    }
    return Check::GoOn;
}

void CPortThread::runJobList()
{
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        const TransferJob& job = jobs_[i];
        if (job.command == CMD_ONLINE) {
            const bool userEnd = runOnline();
            const uint32_t code = userEnd ? PT_ONLINE_ENDED : PT_ABORTED;
            const intptr_t lParam = userEnd ? 0 : static_cast<intptr_t>(lastReason_.load());
            for (const TransferJob& each : jobs_) {
                postOwner(each, code, lParam);
            }
            postFrame(WM_PORT_NOTIFY, code, lParam);
            return;
        }
        const bool known = job.command == CMD_WRITE || job.command == CMD_READ || job.command == CMD_DIAG_COMMAND ||
                           (job.command >= CMD_BOX_VERSION && job.command <= 165);
        if (!known) {
            return; // no message: not a job this worker runs
        }
        if (!runJob(i)) {
            (void)lineUnusable();
            const uint32_t done = isWriteKind(job.command) ? PT_WRITE_DONE : PT_READ_DONE;
            const auto reason = static_cast<intptr_t>(lastReason_.load());
            for (std::size_t k = 0; k < jobs_.size(); ++k) {
                postOwner(jobs_[k], k < i ? done : PT_ABORTED, k < i ? 0 : reason);
            }
            postFrame(WM_PORT_NOTIFY, PT_ABORTED, reason);
            return;
        }
        if (i + 1 < jobs_.size()) {
            postFrame(WM_PORT_NOTIFY, PT_NEXT_JOB, jobs_[i + 1].viewId);
        }
    }
    if (!jobs_.empty()) {
        const uint32_t done = isWriteKind(jobs_.back().command) ? PT_WRITE_DONE : PT_READ_DONE;
        for (const TransferJob& job : jobs_) {
            postOwner(job, done, 0);
        }
        postFrame(WM_PORT_NOTIFY, done, 0);
    }
}

bool CPortThread::runJob(std::size_t index)
{
    const TransferJob& job = jobs_[index];
    switch (job.command) {
    case CMD_WRITE:
    case CMD_READ: return runWalk(job, job.command == CMD_WRITE);
    case CMD_DIAG_COMMAND: return sendDiagnosticCommand(static_cast<uint8_t>(job.variant));
    case CMD_BOX_VERSION: {
        std::array<uint8_t, 8> version{};
        if (!readBoxVersion(job, version.data())) {
            return false;
        }
        if (job.info != nullptr) {
            job.info->boxVersion = version;
        }
        if (job.diagnostic != nullptr) {
            job.diagnostic->texts = {};
            job.diagnostic->texts[0].assign(version.begin(), version.end());
        }
        return true;
    }
    default:
        if (job.command >= 159 && job.command <= 161) {
            return receiveDiagnosticReply(job);
        }
        // 162..165: the request byte starts the action; it counts as the
        // one value of the job.
        uint32_t reason = 0;
        if (!link_.sendRequest(reason)) {
            lastReason_ = reason;
            return false;
        }
        progress(job, PT_VALUE_WRITTEN, 0);
        return true;
    }
}

void CPortThread::progress(const TransferJob& job, uint32_t code, std::size_t index)
{
    postOwner(job, code, static_cast<intptr_t>(index));
    postFrame(WM_PORT_NOTIFY, code, static_cast<intptr_t>(index));
}

bool CPortThread::valueFailed(const TransferJob& job, uint32_t code, std::size_t index, uint32_t reason)
{
    postOwner(job, code, static_cast<intptr_t>(index));
    postFrame(WM_PORT_NOTIFY, code, static_cast<intptr_t>(reason));
    return purgeAfterFailure();
}

bool CPortThread::purgeAfterFailure()
{
    std::error_code ec;
    if (link_.purge(ec)) {
        return true;
    }
    // Buffers that cannot be purged leave every later echo in doubt.
    reportLoss(ec ? ec : std::make_error_code(std::errc::io_error));
    return false;
}

bool CPortThread::runWalk(const TransferJob& job, bool sending)
{
    const std::optional<std::vector<WalkStep>> walk = buildWalk(job, sending);
    if (!walk) {
        log().warning("job with variant " + std::to_string(job.variant) + " has no walk");
        return false;
    }
    for (std::size_t i = 0; i < walk->size(); ++i) {
        const WalkStep& step = (*walk)[i];
        if (step.kind == WalkStep::Kind::BoxVersion) {
            if (!readBoxVersion(job, step.byte)) {
                return false;
            }
            continue;
        }
        // A failed value is tried again until it succeeds or the user cancels.
        for (;;) {
            const bool ok = sending ? writeStep(job, step, i) : readStep(job, step, i);
            if (ok) {
                if (step.progress) {
                    progress(job, sending ? PT_VALUE_WRITTEN : PT_VALUE_READ, i);
                }
                if (checkCancel() == Check::Stop) {
                    return false;
                }
                break;
            }
            const uint32_t reason = lastReason_.load();
            if (checkCancel() == Check::Stop) {
                return false;
            }
            // A device that went away fails every retry at once: report it
            // once and end instead of retrying without pause.
            if (lineUnusable()) {
                lastReason_ = reason;
                return false;
            }
            if (!valueFailed(job, sending ? PT_WRITE_FAILED : PT_READ_FAILED, i, reason)) {
                lastReason_ = reason;
                return false;
            }
        }
    }
    return true;
}

bool CPortThread::writeStep(const TransferJob& job, const WalkStep& step, std::size_t index)
{
    uint32_t reason = 0;
    const auto message = writeValueMessage(step.lineAddress, *step.byte);
    if (!link_.sendMessage(message, reason, [&] { postOwner(job, PT_WRITE_BEGIN, static_cast<intptr_t>(index)); })) {
        lastReason_ = reason;
        return false;
    }
    return true;
}

bool CPortThread::readStep(const TransferJob& job, const WalkStep& step, std::size_t index)
{
    uint32_t reason = 0;
    std::string reply;
    const auto message = readValueMessage(step.lineAddress);
    if (!link_.sendMessage(message, reason, [&] { postOwner(job, PT_READ_BEGIN, static_cast<intptr_t>(index)); }) ||
        !link_.receiveReply(CMD_READ, 3, reply, reason)) {
        lastReason_ = reason;
        return false;
    }
    uint8_t value = 0;
    if (!parseThreeDigits(reply, value)) {
        lastReason_ = PTERR_CONFIRM; // not a number: the line garbled it
        return false;
    }
    *step.byte = (step.text && value == 255) ? 0 : value;
    return true;
}

bool CPortThread::readBoxVersion(const TransferJob& job, uint8_t* into)
{
    uint32_t reason = 0;
    const std::array<uint8_t, 1> command{CMD_BOX_VERSION};
    std::string reply;
    if (!link_.sendMessage(command, reason) ||
        !link_.receiveReply(CMD_BOX_VERSION, 8, reply, reason,
                            [&](std::size_t i) { progress(job, PT_VALUE_READ, i); })) {
        lastReason_ = reason;
        return false;
    }
    std::copy(reply.begin(), reply.end(), into);
    return true;
}

bool CPortThread::sendDiagnosticCommand(uint8_t command)
{
    uint32_t reason = 0;
    const std::array<uint8_t, 1> message{command};
    if (!link_.sendMessage(message, reason)) {
        lastReason_ = reason;
        return false;
    }
    postFrame(WM_PORT_NOTIFY, PT_VALUE_WRITTEN, 0);
    return true;
}

bool CPortThread::receiveDiagnosticReply(const TransferJob& job)
{
    const std::size_t length = diagnosticReplyLength(job.command);
    if (job.diagnostic != nullptr) {
        job.diagnostic->texts = {};
    }
    std::string reply;
    uint32_t reason = 0;
    // The request byte counts as one written value.
    const bool ok = link_.receiveReply(job.command, length, reply, reason, [&](std::size_t i) {
        if (i == 0) {
            progress(job, PT_VALUE_WRITTEN, 0);
        }
        progress(job, PT_VALUE_READ, i);
    });
    if (!ok) {
        lastReason_ = reason;
        if (!lineUnusable()) {
            (void)valueFailed(job, PT_READ_FAILED, 0, reason);
        }
        return false;
    }
    // A NUL among the characters counts as a short reply.
    if (reply.size() != length || reply.find('\0') != std::string::npos) {
        lastReason_ = PTERR_READ;
        return false;
    }
    std::array<uint16_t, 4> raw{};
    for (std::size_t k = 0; k < length / 6; ++k) {
        uint8_t high = 0;
        uint8_t low = 0;
        if (!parseThreeDigits(std::string_view(reply).substr(6 * k), high) ||
            !parseThreeDigits(std::string_view(reply).substr(6 * k + 3), low)) {
            lastReason_ = PTERR_CONFIRM;
            return false;
        }
        raw[k] = static_cast<uint16_t>(high << 8 | low);
    }
    if (job.diagnostic != nullptr && adapt_ != nullptr) {
        std::array<AdaptToPcFn, 4> convert{};
        switch (job.command) {
        case 159:
            convert = {adapt_->BOX_TO_PC_Turbodruck, adapt_->BOX_TO_PC_Turbodruck, adapt_->BOX_TO_PC_Drehzahl, nullptr};
            break;
        case 160: convert = {adapt_->BOX_TO_PC_Motortemp, adapt_->BOX_TO_PC_Motortemp, nullptr, nullptr}; break;
        default:
            convert = {adapt_->BOX_TO_PC_Luftdruck, adapt_->BOX_TO_PC_Luftdruck, adapt_->BOX_TO_PC_Lufttemp,
                       adapt_->BOX_TO_PC_Lufttemp};
            break;
        }
        for (std::size_t k = 0; k < convert.size(); ++k) {
            if (convert[k] != nullptr) {
                job.diagnostic->texts[k] = platform::formatFixed(convert[k](raw[k]), 0);
            }
        }
    }
    return true;
}

bool CPortThread::QueueValue(const UpdateEntry& entry, std::chrono::milliseconds lockWait)
{
    std::unique_lock lock(updateMutex_, std::defer_lock);
    if (!lock.try_lock_for(lockWait)) {
        return false;
    }
    for (UpdateEntry& queued : updates_) {
        if (queued.command == entry.command && queued.lineAddress == entry.lineAddress) {
            queued.newValue = entry.newValue; // keeps its place and its old value
            return true;
        }
    }
    updates_.push_back(entry);
    return true;
}

std::vector<UpdateEntry> CPortThread::TakePendingValues()
{
    std::lock_guard lock(updateMutex_);
    std::vector<UpdateEntry> pending(updates_.begin(), updates_.end());
    updates_.clear();
    return pending;
}

CPortThread::QueuedWrite CPortThread::writeQueuedValue(bool wait)
{
    UpdateEntry entry;
    {
        std::unique_lock lock(updateMutex_, std::defer_lock);
        const bool had = wait ? lock.try_lock_for(std::chrono::milliseconds(1000)) : lock.try_lock();
        if (!had || updates_.empty()) {
            return QueuedWrite::None;
        }
        entry = updates_.front();
    }
    uint32_t reason = 0;
    if (!link_.sendMessage(writeValueMessage(entry.lineAddress, entry.newValue), reason)) {
        lastReason_ = reason;
        return QueuedWrite::Failed;
    }
    // Removed only after the write succeeded; a newer value for the same
    // place that came meanwhile stays queued.
    std::lock_guard lock(updateMutex_);
    if (!updates_.empty() && updates_.front().lineAddress == entry.lineAddress &&
        updates_.front().command == entry.command && updates_.front().newValue == entry.newValue) {
        updates_.pop_front();
    }
    return QueuedWrite::Written;
}

bool CPortThread::liveQuery(uint8_t command)
{
    const std::array<uint8_t, 1> message{command};
    std::string reply;
    uint32_t reason = 0;
    bool ok =
        link_.sendMessage(message, reason) && link_.receiveReply(command, liveReplyLength(command), reply, reason);
    uint16_t raw = 0;
    uint8_t cell = 255;
    if (ok && command == 166) {
        ok = reply.size() == 2 && reply[0] >= '0' && reply[0] <= '9' && reply[1] >= '0' && reply[1] <= '9';
        raw = static_cast<uint16_t>((reply[0] - '0') * 10 + (reply[1] - '0'));
    } else if (ok) {
        uint8_t low = 0;
        uint8_t high = 0;
        ok = parseThreeDigits(reply, low) && parseThreeDigits(std::string_view(reply).substr(3), high);
        raw = static_cast<uint16_t>(high << 8 | low);
        if (ok && reply.size() == 8) {
            ok = reply[6] >= '0' && reply[6] <= '9' && reply[7] >= '0' && reply[7] <= '9';
            cell = static_cast<uint8_t>((reply[6] - '0') * 10 + (reply[7] - '0'));
        }
    }
    if (!ok) {
        if (reason == 0) {
            reason = PTERR_CONFIRM;
        }
        if (lineUnusable()) {
            lastReason_ = reason;
            return false;
        }
        for (std::size_t k = 1; k < jobs_.size() && k <= 5; ++k) {
            postOwner(jobs_[k], PT_LIVE_FAILED, pack(command, 0));
        }
        if (!jobs_.empty()) {
            postOwner(jobs_[0], PT_LIVE_FAILED, pack(command, 0));
        }
        postFrame(WM_PORT_NOTIFY, PT_LIVE_FAILED, static_cast<intptr_t>(reason));
        if (!purgeAfterFailure()) {
            lastReason_ = reason;
            return false;
        }
        return true;
    }
    if (!jobs_.empty()) {
        postOwner(jobs_[0], PT_LIVE_VALUE, pack(command, raw));
    }
    if (jobs_.size() > 1) {
        postOwner(jobs_[1], PT_LIVE_VALUE, command == 166 ? pack(166, raw) : pack(command + 20u, raw));
        if (command == 130 || command == 131) {
            postOwner(jobs_[1], PT_LIVE_VALUE, pack(command, cell));
        }
    }
    for (std::size_t k = 2; k < jobs_.size() && k <= 5; ++k) {
        postOwner(jobs_[k], PT_LIVE_VALUE, command == 166 ? pack(166, raw) : pack(command, cell));
    }
    postFrame(WM_PORT_NOTIFY, PT_LIVE_VALUE, 0);
    return true;
}

// Returns true when the user ended online mode, false on a failed write.
bool CPortThread::runOnline()
{
    std::size_t position = 0;
    for (;;) {
        if (!liveQuery(130) || !liveQuery(131)) {
            return false;
        }
        if (writeQueuedValue(false) == QueuedWrite::Failed) {
            return false;
        }
        if (!liveQuery(kPollTable[position])) {
            return false;
        }
        if (checkCancel() == Check::Stop) {
            break;
        }
        if (writeQueuedValue(false) == QueuedWrite::Failed) {
            return false;
        }
        position = (position + 1) % kPollTable.size();
    }
    // Switched off: what the user changed still goes to the box, unless the
    // worker is being stopped altogether.
    if (platform::Event::waitAny({&stop_}, std::chrono::milliseconds(0)) != 0) {
        for (;;) {
            const QueuedWrite result = writeQueuedValue(true);
            if (result == QueuedWrite::Failed) {
                return false;
            }
            if (result == QueuedWrite::None) {
                break;
            }
        }
    }
    return true;
}

} // namespace morvex::comm
