// The online values column in the editor: its Font and Color dialogs, the
// settings they leave for the next start, and the values a ride shows.
#include "EditorHarness.h"
#include "document/AppCore.h"
#include "live/ColorPage.h"
#include "live/OnlineCtrl.h"
#include "live/OnlineValues.h"
#include "live/OnlineView.h"
#include "shell/CommController.h"
#include "shell/FileController.h"
#include "shell/FontDialog.h"
#include "shell/FrameRules.h"
#include "shell/OnlineValuesPane.h"
#include "shell/PaneLayout.h"
#include "shell/PortController.h"
#include "shell/SimulatedBox.h"

#include <QAction>
#include <QColorDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QTableWidget>

#include <algorithm>
#include <array>
#include <map>
#include <optional>

using namespace morvex;
using morvex::live::COnlineView;
using LiveDisplay = morvex::live::Display;
using testing_support::Editor;
namespace cmd = morvex::shell::cmd;

namespace {

template <typename Dialog>
Dialog* openDialog()
{
    Dialog* dialog = nullptr;
    const bool open = QTest::qWaitFor(
        [&] {
            dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            return dialog != nullptr;
        },
        5000);
    return open ? dialog : nullptr;
}

// Every display of the column shows `text` (CO has no place in it).
bool allShow(COnlineView& view, const QString& text)
{
    for (int k = 0; k < live::kDisplayCount - 1; ++k) {
        if (view.Control(static_cast<LiveDisplay>(k)).ValueText() != text) {
            return false;
        }
    }
    return true;
}

} // namespace

class OnlineValuesPaneTest : public QObject {
    Q_OBJECT
private slots:
    // Font from the Format menu while the column has the keyboard, colours
    // of the first row only; both are there again at the next start.
    void fontAndColoursSurviveARestart()
    {
        auto first = std::make_unique<Editor>();
        QVERIFY(first->started && first->active);
        COnlineView& view = first->frame->onlineValues().view();
        const QString idle = view.Control(LiveDisplay::Rev).ValueText();

        view.setFocus();
        QVERIFY(first->frame->onlineValues().hasFocus());
        first->frame->action(cmd::kGridFont)->trigger();
        auto* fonts = openDialog<shell::CFontDialog>();
        QVERIFY(fonts != nullptr);
        // Offline the displays show a sample so the choice can be judged.
        QVERIFY(allShow(view, QStringLiteral("18,888")));
        QFont chosen = view.ValueFont();
        chosen.setPixelSize(20);
        fonts->setCurrentFont(chosen);
        QVERIFY(fonts->ApplyButton()->isEnabled());
        const int wide = view.LayoutSize().width();
        fonts->ApplyButton()->click();
        QCOMPARE(view.ValueFont().pixelSize(), 20);
        QVERIFY(view.LayoutSize().width() < wide);
        QVERIFY(!fonts->ApplyButton()->isEnabled());
        // The column takes the new width at once.
        QCOMPARE(first->frame->panes().mainSplitter()->sizes().value(0), view.sizeHint().width());
        fonts->reject();
        QCOMPARE(view.Control(LiveDisplay::Rev).ValueText(), idle);

        first->frame->action(cmd::kOnlineColors)->trigger();
        auto* sheet = openDialog<live::COptionPropSheet>();
        QVERIFY(sheet != nullptr);
        live::CPPColor& page = sheet->Page();
        QCOMPARE(page.List().rowCount(), 12);
        QCOMPARE(page.List().item(0, 0)->text(), view.Control(LiveDisplay::Rev).Caption());
        QVERIFY(!page.TextButton().isEnabled());
        page.List().selectRow(0);
        QTRY_VERIFY(page.TextButton().isEnabled());
        page.TextButton().click();
        QColorDialog* colour = page.OpenColourDialog();
        QVERIFY(colour != nullptr);
        colour->setCurrentColor(QColor(200, 10, 20));
        colour->accept();
        page.BackButton().click();
        QVERIFY(page.OpenColourDialog() != nullptr);
        page.OpenColourDialog()->setCurrentColor(QColor(0, 0, 0));
        page.OpenColourDialog()->accept();
        sheet->accept();
        QCOMPARE(view.Control(LiveDisplay::Rev).TextColour(), live::colorRef(200, 10, 20));
        // Black is a colour of its own, not "the system's".
        QCOMPARE(view.Control(LiveDisplay::Rev).BackColour(), live::colorRef(0, 0, 0));
        for (int k = 1; k < live::kDisplayCount; ++k) {
            QCOMPARE(view.Control(static_cast<LiveDisplay>(k)).TextColour(), live::kDefaultColor);
            QCOMPARE(view.Control(static_cast<LiveDisplay>(k)).BackColour(), live::kDefaultColor);
        }
        QVERIFY(first->messages.shown.empty());

        first->frame->close();
        first->frame.reset();
        first->app.ExitInstance();
        const std::string settings = first->folder.read("Morvex.ini");
        first.reset();

        Editor second(settings);
        QVERIFY(second.started);
        COnlineView& again = second.frame->onlineValues().view();
        QCOMPARE(again.ValueFont().pixelSize(), 20);
        QCOMPARE(again.Control(LiveDisplay::Rev).TextColour(), live::colorRef(200, 10, 20));
        QCOMPARE(again.Control(LiveDisplay::Rev).BackColour(), live::colorRef(0, 0, 0));
        QCOMPARE(again.Control(LiveDisplay::Tps).TextColour(), live::kDefaultColor);
    }

    // A ride against the simulated box: every display holds what the box
    // sent for its value, converted.
    void theDisplaysShowWhatTheBoxSends()
    {
        Editor e("[Misc]\r\nLastUsedBAUD=115200\r\n");
        QVERIFY(e.started);
        QVERIFY(e.frame->files().OpenFile(e.folder.path() / "DATA" / "Demo.M60"));
        QVERIFY(e.startSimulatedBox());
        const auto control = [&e](const QString& line) { return e.control(line); };
        for (const char* hold :
             {"hold rpm-index 9", "hold throttle-index 6", "hold engine-temp-index 11", "hold air-temp-index 4",
              "hold air-pressure-index 7", "hold lambda-left 450", "hold lambda-right 620", "hold injection-us 3100"}) {
            QCOMPARE(control(QString::fromLatin1(hold)), QStringLiteral("OK"));
        }
        e.key(Qt::Key_F3);
        QVERIFY(e.frame->comm().online());

        COnlineView& view = e.frame->onlineValues().view();
        // What the column must show, from the words the box sent.
        const auto raw = [&](int command) -> std::optional<uint16_t> {
            const QString answer = control(QStringLiteral("live %1").arg(command));
            if (!answer.startsWith(QStringLiteral("OK "))) {
                return std::nullopt;
            }
            return static_cast<uint16_t>(answer.mid(3).toUInt());
        };
        constexpr std::array<int, 8> kHeld{130, 131, 132, 133, 134, 135, 136, 139};
        // One round of the poll has sent each of them.
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(kHeld.begin(), kHeld.end(), [&](int c) { return raw(c).has_value(); }),
                                 10000);
        live::OnlineValues expected(e.app.core().adapt(), e.app.core().limits(), e.app.core().labels(),
                                    &e.app.sensors());
        expected.SetGroupSeparator(QLocale().groupSeparator().toStdString());
        const uint8_t* sfd = e.app.doc().GetBoxData(box::TAB_SFD1);
        const live::BoxSettings settings{sfd[0], sfd[1], static_cast<uint16_t>(sfd[2] << 8 | sfd[3])};
        std::map<LiveDisplay, QString> texts;
        for (const int command : kHeld) {
            const std::optional<uint16_t> word = raw(command);
            QVERIFY2(word.has_value(), qPrintable(QString::number(command)));
            for (const live::DisplayUpdate& u : expected.OnValue(command, *word, settings)) {
                if (u.kind == live::DisplayUpdate::Kind::Value) {
                    texts[u.display] = QString::fromStdString(u.text);
                }
            }
        }
        QCOMPARE(texts.size(), std::size_t{10}); // with INJ_P and FC from REV and INJ_T
        for (const auto& [display, text] : texts) {
            QTRY_COMPARE_WITH_TIMEOUT(view.Control(display).ValueText(), text, 5000);
        }
        // Held within their limits: no display blinks.
        for (const auto& [display, text] : texts) {
            QVERIFY(!view.Control(display).ShowingErrorColours());
        }
        e.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!e.frame->comm().running(), 10000);
        QVERIFY(e.messages.shown.empty());
    }
};

QTEST_MAIN(OnlineValuesPaneTest)
#include "OnlineValuesPaneTest.moc"
