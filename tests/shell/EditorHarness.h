#pragma once

// One editor as `morvex` builds it, on a program folder of its own: the
// application started from a settings file, the start-up document, the
// main window shown and active. Message boxes are recorded and answered.
#include "ProgramFolder.h"
#include "shell/MainFrame.h"
#include "shell/MorvexApp.h"
#include "shell/PortController.h"
#include "shell/SimulatedBox.h"
#include "shell/ZamoStatusbar.h"
#include "tests/document/RecordingMessages.h"

#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

namespace testing_support {

struct Editor {
    explicit Editor(const std::string& settings = {})
    {
        folder.write("Morvex.ini", settings);
        // Restore points go to the scratch folder, never to the user's.
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((folder.path() / "user-data").string()));
        morvex::shell::CMorvexApp::Options o;
        o.programDir = folder.path();
        o.userConfigDir = folder.path() / "user-config";
        started = app.InitInstance(o, messages);
        if (started) {
            app.OpenStartupDocument();
            frame = std::make_unique<morvex::shell::CMainFrame>(app, messages);
            frame->setUrlOpener([this](const QUrl& url) {
                opened.push_back(url);
                return openSucceeds;
            });
            frame->resize(1000, 700);
            frame->show();
            // Shortcuts reach the active window only.
            frame->activateWindow();
            active = QTest::qWaitForWindowActive(frame.get());
        }
    }
    ~Editor()
    {
        frame.reset();
        app.ExitInstance();
    }

    QString transferText() const { return frame->statusbar().paneText(morvex::shell::CZamoStatusbar::TransferText); }
    QString linkText() const { return frame->statusbar().paneText(morvex::shell::CZamoStatusbar::LinkState); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(frame.get(), k, m); }

    // The built-in simulated box on the selected port; false when it did
    // not come up.
    bool startSimulatedBox()
    {
        QSignalSpy ready(&frame->ports(), &morvex::shell::PortController::simulatedBoxReady);
        frame->ports().StartSimulatedBox();
        return ready.wait(10000) && ready.first().first().toBool();
    }
    // One control command to the simulator; its answer (empty: none).
    QString control(const QString& line)
    {
        morvex::shell::SimulatedBox* box = frame->ports().simulatedBox();
        if (box == nullptr) {
            return {};
        }
        QSignalSpy answered(box, &morvex::shell::SimulatedBox::controlAnswered);
        if (!box->sendControl(line) || !answered.wait(5000)) {
            return {};
        }
        return answered.first().first().toString();
    }
    // `count` bytes of box memory from line address `address`.
    std::vector<int> peek(int address, int count = 1)
    {
        const QStringList words = control(QStringLiteral("peek %1 %2").arg(address).arg(count)).split(' ');
        std::vector<int> bytes;
        for (int i = 1; i < words.size() && words[0] == QStringLiteral("OK"); ++i) {
            bytes.push_back(words[i].toInt());
        }
        return bytes;
    }

    ScratchProgramFolder folder;
    morvex::test::RecordingMessages messages;
    morvex::shell::CMorvexApp app;
    bool started = false;
    bool active = false;
    std::unique_ptr<morvex::shell::CMainFrame> frame;
    std::vector<QUrl> opened;
    bool openSucceeds = true;
};

} // namespace testing_support
