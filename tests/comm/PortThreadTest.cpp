#include "FakeBox.h"
#include "RecordingTarget.h"

#include "comm/Operation.h"
#include "comm/PortCodes.h"
#include "comm/PortThread.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <thread>

namespace morvex::test {
namespace {

using namespace comm;

class PortThread : public ::testing::Test {
protected:
    PortThread()
    {
        auto line = std::make_unique<FakeBox>();
        box = line.get();
        worker = std::make_unique<CPortThread>(std::move(line), frame);
        worker->Configure("fake", {}, {});
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<uint8_t>(i * 7 % 251);
        }
    }
    ~PortThread() override
    {
        if (worker) {
            worker->Cancel();
            worker->Join();
        }
    }

    TransferJob fuelJob(uint8_t command)
    {
        return {command, &view, 501, image.data(), nullptr, 0, 256, 512, variant::FuelMap};
    }

    std::array<uint8_t, 0x28C0> image{};
    // Every target outlives the worker (declared before it), so a failed
    // assertion cannot leave the worker posting into destroyed objects.
    RecordingTarget frame;
    RecordingTarget view;
    RecordingTarget record;
    RecordingTarget map;
    FakeBox* box = nullptr; // owned by the worker
    std::unique_ptr<CPortThread> worker;
};

TEST_F(PortThread, SendsAWholeMapAndReportsEveryValue)
{
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE)}));
    ASSERT_TRUE(frame.waitFor(PT_WRITE_DONE));
    EXPECT_EQ(frame.count(PT_VALUE_WRITTEN), 512u);
    EXPECT_EQ(view.count(PT_VALUE_WRITTEN), 512u);
    EXPECT_EQ(view.count(PT_WRITE_DONE), 1u);
    EXPECT_EQ(frame.count(PT_ABORTED), 0u);
    // The view was asked synchronously before anything went out.
    ASSERT_FALSE(view.all().empty());
    EXPECT_TRUE(view.all().front().sent);
    EXPECT_EQ(view.all().front().wParam, PT_SEND_STARTED);
    // Rows 16..31 of both maps at line addresses 0..511.
    EXPECT_EQ(box->memory[0], image[256]);
    EXPECT_EQ(box->memory[255], image[511]);
    EXPECT_EQ(box->memory[256], image[768]);
    EXPECT_EQ(box->memory[511], image[1023]);
    EXPECT_EQ(box->writes.size(), 512u);
    EXPECT_TRUE(worker->Stop());
    EXPECT_FALSE(worker->PortOpen());
    EXPECT_EQ(frame.count(PT_THREAD_ENDED), 1u);
}

TEST_F(PortThread, FailedValueIsReportedPurgedAndRetried)
{
    box->wrongEchoes = 2;
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE)}));
    ASSERT_TRUE(frame.waitFor(PT_WRITE_DONE));
    EXPECT_EQ(frame.params(PT_WRITE_FAILED), (std::vector<intptr_t>{PTERR_CONFIRM, PTERR_CONFIRM}));
    EXPECT_EQ(view.params(PT_WRITE_FAILED), (std::vector<intptr_t>{0, 0})); // the value index
    EXPECT_EQ(box->purges, 2);
    EXPECT_EQ(box->writes.size(), 512u);
    EXPECT_EQ(box->memory[0], image[256]);
}

TEST_F(PortThread, ReceiveStoresIntoTheImage)
{
    for (std::size_t i = 0; i < 512; ++i) {
        box->memory[i] = static_cast<uint8_t>(200 - i % 200);
    }
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Receive, {fuelJob(CMD_READ)}));
    ASSERT_TRUE(frame.waitFor(PT_READ_DONE));
    EXPECT_EQ(frame.count(PT_VALUE_READ), 512u);
    EXPECT_EQ(image[256], box->memory[0]);
    EXPECT_EQ(image[1023], box->memory[511]);
    EXPECT_EQ(image[0], 0); // rows 0..15 are not part of the box
}

TEST_F(PortThread, ViewCanRefuseAndNothingIsSent)
{
    view.answer = 1;
    ASSERT_TRUE(worker->Create());
    EXPECT_FALSE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE)}));
    EXPECT_EQ(box->bytesSeen, 0);
    EXPECT_EQ(frame.count(PT_SEND_STARTED), 0u);
}

TEST_F(PortThread, OccupiedPortIsReported)
{
    box->refuseOpen = true;
    ASSERT_TRUE(worker->Create());
    EXPECT_FALSE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE)}));
    const auto messages = frame.all();
    const auto error =
        std::find_if(messages.begin(), messages.end(), [](const Message& m) { return m.message == WM_PORT_ERROR; });
    ASSERT_NE(error, messages.end());
    EXPECT_EQ(error->wParam, PTERR_OPEN);
    EXPECT_EQ(error->lParam, EBUSY);
}

TEST_F(PortThread, CancelEndsASilentTransfer)
{
    box->silent = true;
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE), fuelJob(CMD_WRITE)}));
    ASSERT_TRUE(frame.waitFor(PT_WRITE_FAILED));
    ASSERT_FALSE(frame.params(PT_WRITE_FAILED).empty());
    EXPECT_EQ(frame.params(PT_WRITE_FAILED).front(), PTERR_READ);
    worker->Cancel();
    ASSERT_TRUE(frame.waitFor(PT_ABORTED));
    EXPECT_EQ(frame.params(PT_ABORTED), (std::vector<intptr_t>{PTERR_CANCELED}));
    EXPECT_EQ(view.count(PT_ABORTED), 2u); // both jobs' owners
    EXPECT_EQ(worker->LastReason(), PTERR_CANCELED);
    EXPECT_TRUE(worker->Stop());
}

TEST_F(PortThread, ASecondListWaitsForTheFirst)
{
    box->silent = true;
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE)}));
    EXPECT_FALSE(worker->StartJobs(CPortThread::Kind::Receive, {fuelJob(CMD_READ)}));
    worker->Cancel();
    ASSERT_TRUE(frame.waitFor(PT_ABORTED));
    EXPECT_EQ(frame.count(PT_RECEIVE_STARTED), 0u);
}

TEST_F(PortThread, StopEndsARunningListPromptly)
{
    box->silent = true;
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE)}));
    ASSERT_TRUE(frame.waitFor(PT_WRITE_FAILED));
    EXPECT_TRUE(worker->Stop());
    EXPECT_EQ(frame.params(PT_ABORTED), (std::vector<intptr_t>{PTERR_CANCELED}));
    EXPECT_FALSE(worker->PortOpen());
}

TEST_F(PortThread, JobListReportsNextJobAndDone)
{
    ASSERT_TRUE(worker->Create());
    InfoBytes info;
    info.timeStamp = {1, 2, 3, 4, 5, 6, 7, 8};
    TransferJob stamp{CMD_WRITE, &view, 503, nullptr, nullptr, 0, 0, 8, variant::TimeStamp};
    stamp.info = &info;
    TransferJob ignition{CMD_WRITE, &view, 503, image.data() + 0x6C0, image.data() + 0x680,
                         512,       256,   514, variant::IgnitionMap};
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Send, {stamp, ignition}));
    ASSERT_TRUE(frame.waitFor(PT_WRITE_DONE));
    EXPECT_EQ(frame.params(PT_NEXT_JOB), (std::vector<intptr_t>{503}));
    EXPECT_EQ(frame.count(PT_VALUE_WRITTEN), 8u + 514);
    EXPECT_EQ(box->memory[1664], 1);
    EXPECT_EQ(box->memory[1671], 8);
    EXPECT_EQ(box->memory[1200], image[0x680]);
    EXPECT_EQ(box->memory[1201], image[0x681]);
    EXPECT_EQ(box->memory[1023], image[0x8C0 + 511]);
}

TEST_F(PortThread, NamesReadAs255AreEmpty)
{
    std::fill(box->memory.begin() + 1280, box->memory.begin() + 1408, uint8_t{255});
    box->memory[1280] = 'L';
    NameBytes names{};
    names.fill('x');
    TransferJob index{CMD_READ, &view, 505, image.data() + 0xAC0, nullptr, 0, 0, 208, variant::IndexTables};
    index.names = &names;
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Receive, {index}));
    ASSERT_TRUE(frame.waitFor(PT_READ_DONE));
    EXPECT_EQ(names[0], 'L');
    EXPECT_EQ(names[1], 0);
    EXPECT_EQ(names[127], 0);
}

TEST_F(PortThread, OnlineQueriesAndQueuedWrites)
{
    std::vector<TransferJob> jobs{
        {CMD_ONLINE, &view, 141, nullptr, nullptr, 0, 0, 0, variant::NotWalked},
        {CMD_CARRIER, &record, 504, nullptr, nullptr, 0, 0, 0, variant::NotWalked},
        {CMD_READ, &map, 501, nullptr, nullptr, 0, 0, 0, variant::FuelMap},
    };
    // Changing the same cell twice before the worker writes it leaves one
    // queued entry with the last value.
    ASSERT_TRUE(worker->QueueValue({140, 1024, 37, 30}));
    ASSERT_TRUE(worker->QueueValue({140, 1024, 38, 37}));
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Online, jobs));
    ASSERT_TRUE(frame.waitFor(PT_LIVE_VALUE));
    ASSERT_TRUE(worker->QueueValue({140, 1030, 5, 4}));
    while (view.count(PT_LIVE_VALUE) < 40) {
        ASSERT_TRUE(view.waitFor(PT_LIVE_VALUE));
        std::this_thread::yield();
    }
    worker->Cancel();
    ASSERT_TRUE(frame.waitFor(PT_ONLINE_ENDED));
    EXPECT_EQ(box->memory[1024], 38);
    EXPECT_EQ(box->memory[1030], 5);
    EXPECT_EQ(std::count_if(box->writes.begin(), box->writes.end(), [](const auto& w) { return w.first == 1024; }), 1);
    // The live values: command / raw to the online view, command / cell to the maps.
    const auto live = view.params(PT_LIVE_VALUE);
    EXPECT_EQ(live[0], 130 | ((256 + 130) << 16));
    EXPECT_EQ(map.params(PT_LIVE_VALUE)[0], 130 | (17 << 16));
    EXPECT_EQ(record.params(PT_LIVE_VALUE)[0], 150 | ((256 + 130) << 16));
    EXPECT_EQ(record.params(PT_LIVE_VALUE)[1], 130 | (17 << 16));
    EXPECT_TRUE(worker->TakePendingValues().empty());
}

TEST_F(PortThread, SwitchingOffWritesWhatIsStillQueued)
{
    box->silent = true; // every query fails, the loop goes on
    std::vector<TransferJob> jobs{{CMD_ONLINE, &view, 141, nullptr, nullptr, 0, 0, 0, variant::NotWalked}};
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Online, jobs));
    ASSERT_TRUE(frame.waitFor(PT_LIVE_FAILED));
    EXPECT_EQ(frame.params(PT_LIVE_FAILED).front(), PTERR_READ);
    EXPECT_GE(view.count(PT_LIVE_FAILED), 1u);
    // The queued write fails on the silent line: online mode ends by failure
    // and the value stays for the frame's warning.
    ASSERT_TRUE(worker->QueueValue({140, 1100, 9, 8}));
    ASSERT_TRUE(frame.waitFor(PT_ABORTED));
    EXPECT_EQ(frame.params(PT_ABORTED), (std::vector<intptr_t>{PTERR_READ}));
    const auto pending = worker->TakePendingValues();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].lineAddress, 1100);
}

// Whatever the transfer, the shown count ends exactly at its total.
TEST_F(PortThread, EveryPlanEndsAtItsProgressTotal)
{
    TransferBuffers buffers;
    struct Case {
        const char* name;
        TransferPlan plan;
    };
    const std::vector<Case> cases{
        {"info send", planInfo(true, &view, buffers, 45000.0)},
        {"info receive", planInfo(false, &view, buffers, 0.0)},
        {"box version", planDiagnostic(158, false, &view, buffers)},
        {"diagnostic command", planDiagnostic(159, false, &view, buffers)},
        {"reply 159", planDiagnostic(159, true, &view, buffers)},
        {"reply 161", planDiagnostic(161, true, &view, buffers)},
        {"reply 162", planDiagnostic(162, true, &view, buffers)},
    };
    ASSERT_TRUE(worker->Create());
    std::size_t ends = 0;
    const auto run = [&](const TransferPlan& plan) {
        // The worker posts the end of a list just before it turns idle.
        bool started = false;
        for (int tries = 0; !started && tries < 100000; ++tries) {
            started = worker->StartJobs(plan.kind, plan.jobs);
            std::this_thread::yield();
        }
        ASSERT_TRUE(started);
        ASSERT_TRUE(frame.waitForTotal({PT_READ_DONE, PT_WRITE_DONE, PT_ABORTED}, ++ends));
        ASSERT_EQ(frame.count(PT_ABORTED), 0u);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint8_t command = c.plan.jobs.front().command;
        if (command == 159 || command == 161) {
            run(planDiagnostic(command, false, &view, buffers)); // the reply follows its command
        }
        const std::size_t start = frame.count(PT_VALUE_READ) + frame.count(PT_VALUE_WRITTEN);
        run(c.plan);
        const std::size_t steps = frame.count(PT_VALUE_READ) + frame.count(PT_VALUE_WRITTEN) - start;
        EXPECT_EQ(steps, static_cast<std::size_t>(c.plan.progressTotal));
    }
}

std::size_t portErrors(const RecordingTarget& target, uint32_t code)
{
    const auto all = target.all();
    return static_cast<std::size_t>(std::count_if(
        all.begin(), all.end(), [&](const Message& m) { return m.message == WM_PORT_ERROR && m.wParam == code; }));
}

// A device that goes away in the middle (a pulled USB adapter) ends the
// operation once: one port error with the cause, one abort, the port
// closed; no retry storm.
TEST_F(PortThread, AVanishedDeviceEndsEachKindOfOperationOnce)
{
    struct Case {
        const char* name;
        CPortThread::Kind kind;
        uint8_t command;
    };
    for (const Case& c :
         {Case{"send", CPortThread::Kind::Send, CMD_WRITE}, Case{"receive", CPortThread::Kind::Receive, CMD_READ},
          Case{"online", CPortThread::Kind::Online, CMD_ONLINE}}) {
        SCOPED_TRACE(c.name);
        RecordingTarget events;
        RecordingTarget owner;
        auto line = std::make_unique<FakeBox>();
        FakeBox& fake = *line;
        fake.vanishAfterBytes = 300;
        CPortThread w(std::move(line), events);
        w.Configure("fake", {}, {});
        std::vector<TransferJob> jobs;
        if (c.command == CMD_ONLINE) {
            jobs.push_back({CMD_ONLINE, &owner, 141, nullptr, nullptr, 0, 0, 0, variant::NotWalked});
        } else {
            jobs.push_back({c.command, &owner, 501, image.data(), nullptr, 0, 256, 512, variant::FuelMap});
        }
        ASSERT_TRUE(w.Create());
        ASSERT_TRUE(w.StartJobs(c.kind, jobs));
        ASSERT_TRUE(events.waitFor(PT_ABORTED));
        ASSERT_TRUE(w.Stop());
        EXPECT_EQ(portErrors(events, PTERR_LINE), 1u);
        EXPECT_EQ(portErrors(events, PTERR_PURGE), 0u);
        const auto errors = events.all();
        const auto lineError =
            std::find_if(errors.begin(), errors.end(), [](const Message& m) { return m.message == WM_PORT_ERROR; });
        ASSERT_NE(lineError, errors.end());
        EXPECT_EQ(lineError->lParam, ENODEV);
        EXPECT_EQ(events.count(PT_ABORTED), 1u);
        EXPECT_LE(events.count(PT_WRITE_FAILED) + events.count(PT_READ_FAILED) + events.count(PT_LIVE_FAILED), 1u);
        EXPECT_LT(fake.calls.load(), 2 * 300 + 10)
            << "the worker went on using a vanished device"; // a read and a write per byte
        EXPECT_FALSE(w.PortOpen());
    }
}

// Buffers that cannot be purged after a failed value leave every later
// echo in doubt: the transfer ends with one port error instead of
// retrying for ever.
TEST_F(PortThread, APurgeThatFailsEndsTheTransferOnce)
{
    box->wrongEchoes = 1000;
    box->purgeFails = true;
    ASSERT_TRUE(worker->Create());
    ASSERT_TRUE(worker->StartJobs(CPortThread::Kind::Send, {fuelJob(CMD_WRITE)}));
    ASSERT_TRUE(frame.waitFor(PT_ABORTED));
    ASSERT_TRUE(worker->Stop());
    EXPECT_EQ(portErrors(frame, PTERR_LINE), 1u);
    EXPECT_EQ(frame.params(PT_ABORTED), (std::vector<intptr_t>{PTERR_CONFIRM}));
    EXPECT_EQ(frame.count(PT_WRITE_FAILED), 1u);
}

} // namespace
} // namespace morvex::test
