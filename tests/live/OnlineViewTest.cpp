// The online values column as the port worker feeds it: notifications
// posted to its port target, handled on the UI thread.
#include "live/OnlineView.h"
#include "comm/PortCodes.h"
#include "document/AppCore.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "live/OnlineCtrl.h"
#include "platform/Encoding.h"
#include "tests/document/RecordingMessages.h"

#include <QTest>

#include <memory>

using namespace morvex;
using morvex::live::COnlineCtrl;
using morvex::live::COnlineView;
using morvex::live::OnlineViewContext;
using LiveDisplay = morvex::live::Display;

namespace {

intptr_t liveValue(int command, uint16_t raw)
{
    return static_cast<intptr_t>(command | raw << 16);
}

} // namespace

class OnlineViewTest : public QObject {
    Q_OBJECT

private:
    void post(uint32_t code, intptr_t lParam = 0) { view->PortTarget().post(comm::WM_PORT_NOTIFY, code, lParam); }
    QString text(LiveDisplay display) { return view->Control(display).ValueText(); }
    QString unitArea(LiveDisplay display) { return view->Control(display).UnitAreaText(); }
    QString unit(Channel channel)
    {
        return QString::fromStdString(platform::cp1252ToUtf8(core.labels().unit(channel)));
    }

    CAppCore core;
    std::unique_ptr<CMorvexDoc> doc;
    test::RecordingMessages messages;
    std::unique_ptr<COnlineView> view;

private slots:
    void init()
    {
        std::string message;
        QVERIFY2(core.Start(MORVEX_PROGRAM_DIR, "en", message), message.c_str());
        doc = std::make_unique<CMorvexDoc>(core.adapt(), core.limits(), core.info(), core.paths().premapFile());
        doc->OnNewDocument();
        OnlineViewContext context;
        context.doc = doc.get();
        context.limits = &core.limits();
        context.labels = &core.labels();
        context.adapt = &core.adapt();
        context.messages = &messages;
        view = std::make_unique<COnlineView>(context);
        view->resize(view->sizeHint());
        view->show();
    }

    void cleanup()
    {
        view.reset();
        doc.reset();
    }

    void layoutShowsTwelveDisplays()
    {
        for (int k = 0; k < morvex::live::kDisplayCount; ++k) {
            const auto display = static_cast<LiveDisplay>(k);
            QCOMPARE(view->Control(display).isVisible(), display != LiveDisplay::Co);
            QCOMPARE(text(display), QString("-"));
        }
        const QRect rev = view->Control(LiveDisplay::Rev).geometry();
        const QRect injP = view->Control(LiveDisplay::InjP).geometry();
        const QRect injT = view->Control(LiveDisplay::InjT).geometry();
        QCOMPARE(rev.width(), view->LayoutSize().width());
        QCOMPARE(injP.width() + injT.width(), rev.width());
        QCOMPARE(injP.top(), injT.top());
        QVERIFY(injP.top() >= view->Control(LiveDisplay::Tps).geometry().bottom() + COnlineView::kSeparatorHeight);
        QVERIFY(rev.height() > injP.height()); // the big font
        QVERIFY(view->sizeHint().width() >= view->LayoutSize().width());
    }

    void revAboveTheBoxLimitBlinksUntilBackInRange()
    {
        // The box's own limit word: 2304 raw is 6000 rpm.
        uint8_t* settings = doc->GetBoxData(box::TAB_SFD1);
        settings[2] = 2304 >> 8;
        settings[3] = 2304 & 0xFF;
        COnlineCtrl& rev = view->Control(LiveDisplay::Rev);
        const QString over = QString::fromStdString(core.limits().record(Limit::Revolutions).maximumErrorText);

        // Offline nothing is checked.
        post(comm::PT_LIVE_VALUE, liveValue(130, 1728)); // 8000 rpm
        QTRY_COMPARE(text(LiveDisplay::Rev), QLocale().toString(8000));
        QVERIFY(!rev.State().Blinking());

        post(comm::PT_ONLINE_STARTED);
        post(comm::PT_LIVE_VALUE, liveValue(130, 1728));
        QTRY_COMPARE(unitArea(LiveDisplay::Rev), over);
        QCOMPARE(rev.BlinkTimer().interval(), COnlineCtrl::kBlinkMilliseconds);
        QVERIFY(rev.BlinkTimer().isActive());
        QTRY_VERIFY(rev.ShowingErrorColours());
        QTRY_VERIFY(!rev.ShowingErrorColours());
        QTRY_VERIFY(rev.ShowingErrorColours());
        QCOMPARE(unitArea(LiveDisplay::Rev), over);
        QVERIFY(!view->Control(LiveDisplay::Tps).State().Blinking());

        post(comm::PT_LIVE_VALUE, liveValue(130, 2765)); // 4999.6 rpm, cut to 4990
        QTRY_COMPARE(text(LiveDisplay::Rev), QLocale().toString(4990));
        QVERIFY(!rev.BlinkTimer().isActive());
        QVERIFY(!rev.ShowingErrorColours());
        QCOMPARE(unitArea(LiveDisplay::Rev), unit(Channel::Revolutions));

        // Leaving online mode ends every check.
        post(comm::PT_LIVE_VALUE, liveValue(130, 1728));
        QTRY_VERIFY(rev.State().Blinking());
        post(comm::PT_ONLINE_ENDED);
        QTRY_VERIFY(!rev.State().Blinking());
        QVERIFY(!rev.BlinkTimer().isActive());
    }

    void injectionTimeFailureMarksTheDerivedDisplays()
    {
        uint8_t* settings = doc->GetBoxData(box::TAB_SFD1);
        settings[0] = 10;
        settings[1] = 20;
        post(comm::PT_ONLINE_STARTED);
        post(comm::PT_LIVE_VALUE, liveValue(130, 2304)); // 6000 rpm
        post(comm::PT_LIVE_VALUE, liveValue(139, 4608)); // 5000 us
        QTRY_COMPARE(text(LiveDisplay::InjP), QString("25.0"));
        QCOMPARE(text(LiveDisplay::InjT), QString("5.00"));
        QCOMPARE(text(LiveDisplay::Fc), QString("5.0"));

        post(comm::PT_LIVE_FAILED, liveValue(139, 0));
        for (LiveDisplay display : {LiveDisplay::InjT, LiveDisplay::InjP, LiveDisplay::Fc}) {
            QTRY_COMPARE(unitArea(display), QString("Transfer"));
            QVERIFY(view->Control(display).State().MessageShown());
            QVERIFY(view->Control(display).BlinkTimer().isActive());
        }
        QVERIFY(!view->Control(LiveDisplay::Rev).State().MessageShown());

        post(comm::PT_LIVE_VALUE, liveValue(139, 2304)); // 2500 us
        QTRY_COMPARE(text(LiveDisplay::InjP), QString("12.5"));
        QCOMPARE(text(LiveDisplay::InjT), QString("2.50"));
        QCOMPARE(text(LiveDisplay::Fc), QString("2.5"));
        QCOMPARE(unitArea(LiveDisplay::InjT), unit(Channel::InjectionTime));
        QCOMPARE(unitArea(LiveDisplay::InjP), unit(Channel::InjectionPercent));
        QCOMPARE(unitArea(LiveDisplay::Fc), unit(Channel::FuelConsumption));
        for (LiveDisplay display : {LiveDisplay::InjT, LiveDisplay::InjP, LiveDisplay::Fc}) {
            QVERIFY(!view->Control(display).State().Blinking());
        }
    }

    void burstsReachTheScreenOnce()
    {
        const int before = view->FlushCount();
        for (uint16_t raw = 1000; raw < 1050; ++raw) {
            post(comm::PT_LIVE_VALUE, liveValue(131, raw));
        }
        post(comm::PT_LIVE_VALUE, liveValue(137, 0xFFFF));
        QTRY_COMPARE(text(LiveDisplay::Tps), QString("41.1")); // 1049 * 100 / 2550
        QCOMPARE(view->FlushCount(), before + 1);
    }
};

QTEST_MAIN(OnlineViewTest)
#include "OnlineViewTest.moc"
