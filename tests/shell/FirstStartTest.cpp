// The editor started as a new user starts it: a program folder without a
// settings file, the real start-up path, the window shown at the size the
// window manager gives it (never sized by the test), then the keyboard only.
//
// ctest runs this twice: `first_start_tests` on the bare display of the
// suite (no window manager: the window opens at the size it gives itself),
// and `first_start_wm_tests` through with-window-manager.sh on a 1280 x 1024
// display that openbox manages, which maximises the window as a desktop does.
#include "ProgramFolder.h"
#include "SilentLine.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "grid/ValueGridCtrl.h"
#include "live/OnlineView.h"
#include "platform/SerialLine.h"
#include "shell/CommController.h"
#include "shell/MainFrame.h"
#include "shell/MorvexApp.h"
#include "shell/OnlineValuesPane.h"
#include "shell/PaneHeader.h"
#include "shell/PaneLayout.h"
#include "tests/document/RecordingMessages.h"
#include "views/CylinderMap.h"
#include "views/FuelmapView.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <cstring>

#include <memory>

#ifdef MORVEX_HAVE_XCB
#include <xcb/xcb.h>
#endif

using namespace morvex::shell;
using morvex::grid::CCellID;
using testing_support::ScratchProgramFolder;
using testing_support::SilentLine;

namespace {

// What with-window-manager.sh says about the display: "openbox" when a
// window manager runs on it, "missing" when none could be started; unset on
// the bare display.
QString windowManager()
{
    return qEnvironmentVariable("MORVEX_TEST_WM");
}

bool windowManagerRuns()
{
    return windowManager() == QStringLiteral("openbox");
}


#ifdef MORVEX_HAVE_XCB
xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return a;
}
#endif

// The title as the window manager reads it (_NET_WM_NAME); empty off X11.
QString windowManagerTitle(QWindow* window)
{
#ifdef MORVEX_HAVE_XCB
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return {};
    }
    xcb_connection_t* c = x11->connection();
    const xcb_get_property_cookie_t cookie = xcb_get_property(c, 0, static_cast<xcb_window_t>(window->winId()),
                                                              atom(c, "_NET_WM_NAME"), atom(c, "UTF8_STRING"), 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(c, cookie, nullptr);
    QString title;
    if (reply != nullptr) {
        title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                  xcb_get_property_value_length(reply));
    }
    std::free(reply);
    return title;
#else
    Q_UNUSED(window);
    return {};
#endif
}

// One start of the editor on `folder`, as `morvex` starts: no size from
// the test, the real start-up path, then whatever the window manager does.
struct UserStart {
    explicit UserStart(const ScratchProgramFolder& folder)
    {
        CMorvexApp::Options o;
        o.programDir = folder.path();
        o.userConfigDir = folder.path() / "user-config";
        started = app.InitInstance(o, messages);
        if (!started) {
            return;
        }
        frame = std::make_unique<CMainFrame>(app, messages);
        frame->StartUp();
    }
    ~UserStart()
    {
        frame.reset();
        app.ExitInstance();
    }

    // The window is on the screen at the size the user gets: maximised by
    // the window manager, or at its own size on a bare display; the user
    // types into it once it is active.
    bool shown()
    {
        if (!started || !QTest::qWaitForWindowExposed(frame.get()) || !QTest::qWaitForWindowActive(frame.get())) {
            return false;
        }
        if (windowManagerRuns()) {
            const QRect available = frame->screen()->availableGeometry();
            // The window manager maximises after mapping: wait for it.
            return QTest::qWaitFor([&] { return frame->frameGeometry().width() >= available.width() - 2; }, 5000);
        }
        return true;
    }

    QWindow* window() const { return frame->windowHandle(); }
    morvex::views::CFuelmapView& view() const { return frame->fuelmapView(); }
    morvex::grid::CValueGridCtrl& grid() const { return view().Grid(); }

    // Keys as the keyboard sends them: to the window, which hands them to
    // its focus widget (or to a shortcut).
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) const { QTest::keyClick(window(), k, m); }
    void type(const char* digits) const
    {
        for (const char* c = digits; *c != '\0'; ++c) {
            QTest::keyClick(window(), *c);
        }
        key(Qt::Key_Return);
    }
    // The left fuel map byte of the document under the grid cell.
    int leftByte(CCellID cell) const
    {
        return app.doc().GetBoxData(morvex::box::TAB_DDD_LINKS)[morvex::views::positionOf(cell.row, cell.col)];
    }

    morvex::test::RecordingMessages messages;
    mutable CMorvexApp app;
    bool started = false;
    std::unique_ptr<CMainFrame> frame;
};

// The fuel map grid is on the screen beside the online values column: the
// column at the width Adjust Pane gives it, the grid at its natural width
// with all 16 columns visible.
void verifyMapBesideTheOnlineValues(UserStart& s)
{
    QSplitter* main = s.frame->panes().mainSplitter();
    // The column settles at the width its view asks for once the window
    // manager's resizes are through (the view needs a scroll bar or not).
    const auto natural = [&] {
        return std::max(s.frame->panes().onlineValuesHeader()->sizeHint().width(),
                        s.frame->onlineValues().view().sizeHint().width());
    };
    QTRY_COMPARE_WITH_TIMEOUT(main->sizes().value(0), natural(), 2000);
    const QList<int> sizes = main->sizes();
    QVERIFY2(sizes.value(0) > 0, "the online values column is shown");
    QVERIFY2(sizes.value(1) > 0, "the table pane has width");
    // The column's own width: Adjust Pane (the header's double-click) does
    // not change it.
    s.frame->panes().adjustOnlineValues();
    QCOMPARE(main->sizes().value(0), sizes.value(0));
    // The map beside it is what counts (below); the column never takes the
    // larger part of the window.
    QVERIFY2(sizes.value(0) < s.frame->width() / 2,
             qPrintable(QStringLiteral("column %1 of %2").arg(sizes.value(0)).arg(s.frame->width())));

    morvex::views::CFuelmapView& view = s.view();
    QVERIFY(view.isVisible());
    const QRect onWindow(view.mapTo(s.frame.get(), QPoint(0, 0)), view.size());
    QVERIFY2(s.frame->rect().contains(onWindow), "the fuel map lies inside the window");
    const QSize ideal = view.GetIdealSize();
    const int scrollBar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QVERIFY2(view.width() >= ideal.width() && view.width() <= ideal.width() + scrollBar,
             qPrintable(QStringLiteral("grid width %1, natural %2").arg(view.width()).arg(ideal.width())));
    // The grid's scroll range follows its last resize.
    QTRY_VERIFY2_WITH_TIMEOUT(
        s.grid().horizontalScrollBar()->maximum() == 0,
        qPrintable(QStringLiteral("all 16 columns are visible: grid view %1 x %2, natural %3 x %4, window %5 x %6")
                       .arg(view.width())
                       .arg(view.height())
                       .arg(ideal.width())
                       .arg(ideal.height())
                       .arg(s.frame->width())
                       .arg(s.frame->height())),
        2000);
}

} // namespace

class FirstStartTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // As `morvex` names itself.
        nameApplication();
        if (windowManager() == QStringLiteral("missing")) {
            QSKIP("openbox (or Xvfb) is not installed: the start on a desktop whose window manager maximises the "
                  "window is not tested here (the bare display case is first_start_tests)");
        }
    }

    void firstStartShowsTheFuelMapBesideTheOnlineValues()
    {
        ScratchProgramFolder folder;
        UserStart s(folder);
        QVERIFY(s.shown());
        QCOMPARE(s.frame->activePane(), kFirstPane);
        verifyMapBesideTheOnlineValues(s);

        // Ctrl+F3 and Ctrl+F4 hide the online values column and the grid
        // column; again, and both are back at their own widths.
        s.key(Qt::Key_F3, Qt::ControlModifier);
        QCOMPARE(s.frame->panes().mainSplitter()->sizes().value(0), 0);
        QVERIFY(!s.frame->action(cmd::kOnlineValues)->isChecked());
        s.key(Qt::Key_F4, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!s.view().isVisible() || s.view().width() == 0, 2000);
        QVERIFY(!s.frame->action(cmd::kTableWindow)->isChecked());
        s.key(Qt::Key_F4, Qt::ControlModifier);
        s.key(Qt::Key_F3, Qt::ControlModifier);
        QVERIFY(s.frame->action(cmd::kOnlineValues)->isChecked() && s.frame->action(cmd::kTableWindow)->isChecked());
        verifyMapBesideTheOnlineValues(s);

        // Online and back: each mode keeps its own column width, and the
        // map stays beside it in both.
        s.frame->comm().setLineFactory([] { return std::make_unique<SilentLine>(); });
        s.key(Qt::Key_F3);
        QVERIFY(s.frame->comm().online());
        verifyMapBesideTheOnlineValues(s);
        s.key(Qt::Key_F3);
        QTRY_VERIFY_WITH_TIMEOUT(!s.frame->comm().running(), 10000);
        verifyMapBesideTheOnlineValues(s);
    }

    void withoutAWindowManagerTheWindowTakesAGoodShareOfTheScreen()
    {
        if (windowManagerRuns()) {
            QSKIP("a window manager runs on this display");
        }
        ScratchProgramFolder folder;
        UserStart s(folder);
        QVERIFY(s.shown());
        const QRect available = s.frame->screen()->availableGeometry();
        QVERIFY2(s.frame->width() >= available.width() / 2 && s.frame->height() >= available.height() / 2,
                 qPrintable(QStringLiteral("%1 x %2").arg(s.frame->width()).arg(s.frame->height())));
        QVERIFY(available.contains(s.frame->frameGeometry()));
    }

    void digitsTypedRightAfterStartLandInTheFocusCell()
    {
        ScratchProgramFolder folder;
        UserStart s(folder);
        QVERIFY(s.shown());
        const CCellID cell = s.grid().GetFocusCell();
        QVERIFY(s.grid().IsValid(cell));
        s.type("55");
        QCOMPARE(s.leftByte(cell), 55);
        QVERIFY(s.frame->isWindowModified());
    }

    void theWindowManagerShowsTheTitleAndNothingAfterIt()
    {
        ScratchProgramFolder folder;
        UserStart s(folder);
        QVERIFY(s.shown());
        if (QGuiApplication::platformName() != QStringLiteral("xcb") || windowManagerTitle(s.window()).isEmpty()) {
            QSKIP("the window title is read from the X server");
        }
        QCOMPARE(windowManagerTitle(s.window()), QStringLiteral("Zorvane Morvex 02-2008 [Fuel Map] - Untitled"));
        s.type("55");
        s.key(Qt::Key_F8);
        QTRY_COMPARE_WITH_TIMEOUT(windowManagerTitle(s.window()),
                                  QStringLiteral("Zorvane Morvex 02-2008 [Function] - Untitled*"), 2000);
    }

    void arrowKeysMoveTheFocusCellAfterNextAndPreviousGrid()
    {
        ScratchProgramFolder folder;
        UserStart s(folder);
        QVERIFY(s.shown());
        const CCellID start = s.grid().GetFocusCell();
        s.key(Qt::Key_F10);
        QCOMPARE(s.view().ActiveGrid(), 1212);
        s.key(Qt::Key_F9);
        QCOMPARE(s.view().ActiveGrid(), 1211);
        s.key(Qt::Key_Right);
        const CCellID right(start.row, start.col + 1);
        QCOMPARE(s.grid().GetFocusCell(), right);
        s.type("55");
        QCOMPARE(s.leftByte(right), 55);
        QVERIFY(s.leftByte(start) != 55);
    }

    void theGridKeepsTheKeyboardAcrossPaneSwitchesAndDialogs()
    {
        ScratchProgramFolder folder;
        UserStart s(folder);
        QVERIFY(s.shown());
        const CCellID cell = s.grid().GetFocusCell();
        int value = 10;
        auto typeAndCheck = [&](const char* after) {
            ++value;
            s.type(QByteArray::number(value).constData());
            QVERIFY2(s.leftByte(cell) == value, after);
        };

        s.key(Qt::Key_2, Qt::ControlModifier);
        s.key(Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(s.frame->activePane(), kFirstPane);
        typeAndCheck("Ctrl+2, Ctrl+1");

        for (int i = 0; i < 6; ++i) {
            s.key(Qt::Key_F8);
        }
        QCOMPARE(s.frame->activePane(), kFirstPane);
        typeAndCheck("F8 round the panes");

        s.key(Qt::Key_6, Qt::ControlModifier);
        s.key(Qt::Key_F7);
        s.key(Qt::Key_F8);
        s.key(Qt::Key_F8);
        QCOMPARE(s.frame->activePane(), kFirstPane);
        typeAndCheck("back from the Diagnostic pane");

        // Ctrl+I opens the info dialog; Esc closes it.
        bool dialogSeen = false;
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget(); dialog != nullptr && dialog->isVisible()) {
                dialogSeen = true;
                closer.stop();
                QTest::keyClick(dialog, Qt::Key_Escape);
            }
        });
        closer.start();
        s.key(Qt::Key_I, Qt::ControlModifier);
        QVERIFY(dialogSeen);
        QVERIFY(QTest::qWaitForWindowActive(s.frame.get()));
        typeAndCheck("after closing the info dialog");
    }

    void secondStartWithTheStoredSettingsShowsTheMapToo()
    {
        ScratchProgramFolder folder;
        {
            UserStart first(folder);
            QVERIFY(first.shown());
            QVERIFY(first.frame->close());
        }
        QVERIFY(!folder.read("Morvex.ini").empty());
        UserStart second(folder);
        QVERIFY(second.shown());
        verifyMapBesideTheOnlineValues(second);
        const CCellID cell = second.grid().GetFocusCell();
        second.type("77");
        QCOMPARE(second.leftByte(cell), 77);
    }
};

QTEST_MAIN(FirstStartTest)
#include "FirstStartTest.moc"
