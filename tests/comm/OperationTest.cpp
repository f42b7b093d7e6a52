#include "RecordingTarget.h"

#include "comm/Operation.h"
#include "comm/PortCodes.h"
#include "document/MorvexDoc.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <cstring>

namespace morvex::test {
namespace {

using namespace comm;

// A document needs conversions and limits only for defaults; none are used here.
class Plans : public ::testing::Test {
protected:
    Plans() : doc(adapt, limits, info) { doc.DeleteContents(); }
    AdaptFunctions adapt;
    CLimits limits;
    CInfoRecords info;
    CMorvexDoc doc;
    RecordingTarget fuel, function, ignition, record, index, online;
    PaneTargets panes{&fuel, &function, &ignition, &record, &index, &online};
    TransferBuffers buffers;
};

TEST_F(Plans, SendPaneOnIgnitionSendsStampSetUpAndMap)
{
    const auto plan = planTableTransfer(OperationId::SendPane, kIgnitionView, doc, panes, buffers, 46000.5);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->jobs.size(), 2u);
    EXPECT_EQ(plan->jobs[0].variant, variant::TimeStamp);
    EXPECT_EQ(plan->jobs[0].owner, &ignition); // the stamp belongs to the active view
    EXPECT_EQ(plan->jobs[0].viewId, kIgnitionView);
    EXPECT_EQ(plan->jobs[1].data, doc.GetBoxData(box::TAB_DDZ_LINKS));
    EXPECT_EQ(plan->jobs[1].secondData, doc.GetBoxData(box::PARAMETERS));
    EXPECT_EQ(plan->progressTotal, 522);
    EXPECT_EQ(plan->returnView, kNoView);
    EXPECT_EQ(plan->kind, CPortThread::Kind::Send);
    // The send time, least significant byte first.
    double stamp = 0;
    std::memcpy(&stamp, buffers.info.timeStamp.data(), 8);
    EXPECT_DOUBLE_EQ(stamp, 46000.5);
}

TEST_F(Plans, AllDataListsAndTotals)
{
    const auto receive = planTableTransfer(OperationId::ReceiveAll, kIndexView, doc, panes, buffers, 0);
    ASSERT_TRUE(receive);
    ASSERT_EQ(receive->jobs.size(), 4u);
    EXPECT_EQ(receive->jobs[0].viewId, kFuelMapView);
    EXPECT_EQ(receive->jobs[1].viewId, kFunctionView);
    EXPECT_EQ(receive->jobs[2].viewId, kIgnitionView);
    EXPECT_EQ(receive->jobs[3].viewId, kIndexView);
    // One step per byte, per word and per two characters: the count reaches
    // the total exactly when the transfer is complete.
    EXPECT_EQ(receive->progressTotal, 512 + 112 + 514 + 208);
    EXPECT_EQ(receive->returnView, kIndexView);
    EXPECT_TRUE(receive->showFuelMapFirst);

    const auto send = planTableTransfer(OperationId::SendAll, kIndexView, doc, panes, buffers, 0);
    ASSERT_TRUE(send);
    ASSERT_EQ(send->jobs.size(), 5u);
    EXPECT_EQ(send->jobs[0].owner, &fuel);
    EXPECT_EQ(send->progressTotal, 8 + 512 + 112 + 514 + 208);
}

TEST_F(Plans, PanesWithoutTablesHaveNoTransfer)
{
    EXPECT_FALSE(planTableTransfer(OperationId::SendPane, kDataRecordView, doc, panes, buffers, 0));
    EXPECT_FALSE(planTableTransfer(OperationId::ReceivePane, kDiagnosticView, doc, panes, buffers, 0));
    const auto receive = planTableTransfer(OperationId::ReceivePane, kFunctionView, doc, panes, buffers, 0);
    ASSERT_TRUE(receive);
    ASSERT_EQ(receive->jobs.size(), 1u);
    EXPECT_EQ(receive->jobs[0].data, doc.GetBoxData(box::TAB_MTD));
}

TEST_F(Plans, NamesTravelInFourCharactersWithFixedOverrides)
{
    doc.SetText(TextTable::SFI1, 5, "TPS");
    doc.SetText(TextTable::EX2, 15, "ABCD");
    ASSERT_TRUE(namesForSending(doc, buffers.names));
    EXPECT_EQ(buffers.names[4 * 5], 'T');
    EXPECT_EQ(buffers.names[4 * 5 + 3], 0); // NUL-padded
    EXPECT_EQ(buffers.names[255], 'D');
    doc.SetText(TextTable::SFI2, 0, "TOOLONG");
    EXPECT_FALSE(namesForSending(doc, buffers.names));

    NameBytes received{};
    received.fill('Z');
    applyReceivedNames(received, doc);
    EXPECT_EQ(doc.Text(TextTable::SFI1, 0), "LTRH");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 1), "IPCS");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 2), "");
    EXPECT_EQ(doc.Text(TextTable::SFI1, 3), "RLI");
    EXPECT_EQ(doc.Text(TextTable::SFI2, 2), "IGMN");
    EXPECT_EQ(doc.Text(TextTable::SFI2, 3), "ZZZZ");
    EXPECT_EQ(doc.Text(TextTable::EX2, 16), ""); // entries 16..31 do not travel
}

TEST(OperationController, ProgressAndResult)
{
    COperationController c;
    c.Begin(OperationId::ReceiveAll, 1346, kIndexView, 1000);
    EXPECT_EQ(c.OnPortNotify(PT_RECEIVE_STARTED, 0, 1000).linkText, "RECEIVE");
    const FrameUpdate first = c.OnPortNotify(PT_VALUE_READ, 0, 1100);
    EXPECT_EQ(first.transferText, "1/1346");
    EXPECT_TRUE(first.pulse);
    EXPECT_FALSE(first.transferIsError);
    const FrameUpdate failed = c.OnPortNotify(PT_READ_FAILED, PTERR_READ, 1200);
    EXPECT_EQ(failed.transferText, "CABLE?");
    EXPECT_TRUE(failed.transferIsError);
    EXPECT_EQ(c.OnPortNotify(PT_READ_FAILED, PTERR_CONFIRM, 1200).transferText, "BAUD?");
    EXPECT_EQ(c.OnPortNotify(PT_WRITE_FAILED, PTERR_WRITE, 1200).transferText, "HARDWARE?");
    EXPECT_EQ(c.OnPortNotify(PT_NEXT_JOB, kFunctionView, 1300).switchToView, kFunctionView);
    const FrameUpdate done = c.OnPortNotify(PT_READ_DONE, 0, 13449);
    EXPECT_EQ(done.transferText, "OK (12.4 s)");
    EXPECT_EQ(done.switchToView, kIndexView);
    EXPECT_EQ(done.linkText, "OFFLINE");
    EXPECT_TRUE(done.endOperation);
    EXPECT_FALSE(done.message);
}

TEST(OperationController, AbortsAndCancels)
{
    COperationController c;
    c.Begin(OperationId::SendPane, 522, kNoView, 0);
    const FrameUpdate cancelled = c.OnPortNotify(PT_ABORTED, PTERR_CANCELED, 10);
    EXPECT_EQ(cancelled.transferText, "Canceled");
    EXPECT_FALSE(cancelled.message);
    EXPECT_FALSE(cancelled.switchToView);

    c.Begin(OperationId::SendAll, 1354, kIgnitionView, 0);
    const FrameUpdate aborted = c.OnPortNotify(PT_ABORTED, PTERR_CONFIRM, 10);
    ASSERT_TRUE(aborted.message);
    EXPECT_EQ(aborted.message->text, "Transmission aborted!\n\nReason: Confirm Error");
    EXPECT_EQ(aborted.message->icon, platform::UserMessage::Icon::Stop);
    EXPECT_EQ(aborted.transferText, "Confirm Error");
    EXPECT_EQ(aborted.switchToView, kIgnitionView);

    c.Begin(OperationId::Diagnostic, 18, kNoView, 0);
    EXPECT_FALSE(c.OnPortNotify(PT_ABORTED, PTERR_READ, 10).message);
}

TEST(OperationController, OnlineEndsOffline)
{
    COperationController c;
    c.Begin(OperationId::Online, 0, kNoView, 0);
    EXPECT_EQ(c.OnPortNotify(PT_LIVE_VALUE, 0, 5).transferText, "ONLINE");
    EXPECT_EQ(c.OnPortNotify(PT_LIVE_FAILED, PTERR_READ, 5).transferText, "CABLE?");
    EXPECT_EQ(c.OnPortNotify(PT_ONLINE_ENDED, 0, 9).transferText, "OFFLINE");
    EXPECT_EQ(c.OnPortNotify(PT_ABORTED, PTERR_CANCELED, 9).transferText, "OFFLINE");
    const FrameUpdate failed = c.OnPortNotify(PT_ABORTED, PTERR_READ, 9);
    EXPECT_EQ(failed.transferText, "Read Error");
    ASSERT_TRUE(failed.message);

    const auto warning = c.End({UpdateEntry{140, 1024, 5, 4}});
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->text.rfind("Some of the new values could not be send!\nPlease send or receive the pane data "
                                  "again to synchronoize PC and Zamo-Box!",
                                  0),
              0u);
    EXPECT_NE(warning->text.find("\n1024: 5 (4)"), std::string::npos);
    EXPECT_FALSE(c.busy());
    c.Begin(OperationId::ReceiveAll, 1, kNoView, 0);
    EXPECT_FALSE(c.End({UpdateEntry{}})); // only online mode queues values
}

TEST(OperationController, PortErrorMessagesNameTheLinuxCause)
{
    auto occupied = COperationController::PortErrorMessage(PTERR_OPEN, EBUSY, "COM3");
    ASSERT_TRUE(occupied);
    EXPECT_EQ(occupied->text, "COM3 is occupied by another programm and unavailable!\nError " + std::to_string(EBUSY) +
                                  ":\nThe serial device is in use by another program.");
    // Not being in the dialout group is no "occupied" port.
    auto denied = COperationController::PortErrorMessage(PTERR_OPEN, EACCES, "COM1");
    ASSERT_TRUE(denied);
    EXPECT_EQ(denied->text.rfind("Sorry, can't open COM1!\nNot installed?\n\nError ", 0), 0u);
    EXPECT_NE(denied->text.find("'dialout' group"), std::string::npos);
    // A hang-up is a vanished device, not a busy one.
    auto lost = COperationController::PortErrorMessage(PTERR_LINE, EIO, "COM2");
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->text.rfind("The connection to the Zamo-Box on COM2 was lost!\n", 0), 0u);
    EXPECT_EQ(lost->text.find("another program"), std::string::npos);
    EXPECT_EQ(COperationController::PortErrorMessage(PTERR_MAINWAIT, EINTR, "COM1")->text.substr(0, 15),
              "PTERR_MAINWAIT\n");
    EXPECT_FALSE(COperationController::PortErrorMessage(PTERR_OPEN, 0, "COM1"));
}

// A vanished device during online mode: one message, at the end, naming
// the cause and every value the user changed that never reached the box.
TEST(OperationController, ALostLineIsOneMessageWithTheValuesNotWritten)
{
    COperationController c;
    c.Begin(OperationId::Online, 0, kNoView, 0);
    EXPECT_EQ(c.StartText(), "ONLINE");
    EXPECT_FALSE(c.OnPortError(PTERR_LINE, ENODEV, "COM4"));
    EXPECT_FALSE(c.OnPortError(PTERR_PURGE, EIO, "COM4"));
    const FrameUpdate aborted = c.OnPortNotify(PT_ABORTED, PTERR_WRITE, 9);
    EXPECT_FALSE(aborted.message);
    EXPECT_EQ(aborted.linkText, "OFFLINE");
    EXPECT_EQ(aborted.transferText, "Write Error");
    const auto end = c.End({UpdateEntry{140, 1024, 5, 4}, UpdateEntry{140, 1030, 9, 8}});
    ASSERT_TRUE(end);
    EXPECT_EQ(end->text.rfind("The connection to the Zamo-Box on COM4 was lost!", 0), 0u);
    EXPECT_NE(end->text.find(kValuesNotSentMessage), std::string::npos);
    EXPECT_NE(end->text.find("\n1024: 5 (4)"), std::string::npos);
    EXPECT_NE(end->text.find("\n1030: 9 (8)"), std::string::npos);

    // A table transfer: one port error shown, the rest of the burst not.
    c.Begin(OperationId::ReceiveAll, 10, kNoView, 0);
    EXPECT_EQ(c.StartText(), "0/10");
    EXPECT_TRUE(c.OnPortError(PTERR_PURGE, EIO, "COM4"));
    EXPECT_FALSE(c.OnPortError(PTERR_PURGE, EIO, "COM4"));
    EXPECT_FALSE(c.End({}));
    // Outside an operation (a port that would not open) it is shown.
    EXPECT_TRUE(c.OnPortError(PTERR_OPEN, ENOENT, "COM4"));
}

TEST(OperationController, OneLineForTheTerminal)
{
    EXPECT_EQ(oneLine("Sorry, can't open x!\nNot installed?\n\nError 2:\nNo such device"),
              "Sorry, can't open x! Not installed? Error 2: No such device");
}

} // namespace
} // namespace morvex::test
