// Saves a PNG of the main window with each pane, so that every pane can be
// reviewed without a display (runs with QT_QPA_PLATFORM=offscreen).
#include "platform/UserMessages.h"
#include "charts/ChartFactory.h"
#include "shell/AppSettings.h"
#include "shell/FrameRules.h"
#include "shell/MainFrame.h"
#include "shell/MorvexApp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// Messages are printed, never shown: nothing may wait for a click.
class PrintedMessages : public platform::UserMessages {
public:
    platform::UserAnswer show(const platform::UserMessage& m) override
    {
        std::fprintf(stderr, "message: %s\n", m.text.c_str());
        return platform::UserAnswer::Ok;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication qapp(argc, argv);
    morvex::shell::nameApplication();
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: morvex-screenshot OUTPUT-FOLDER [PROGRAM-FOLDER]\n");
        return 2;
    }
    const QString out = args.at(1);
    QDir().mkpath(out);
    morvex::shell::CMorvexApp::Options options;
    options.programDir = args.size() == 3 ? args.at(2).toStdString() : std::string(MORVEX_PROGRAM_DIR);
    // The shots never touch the user's or the installation's settings.
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "morvex-screenshot";
    options.userConfigDir = scratch;
    options.file = options.programDir / "DATA" / "Demo.M60";

    PrintedMessages messages;
    morvex::shell::CMorvexApp app;
    if (!app.InitInstance(options, messages)) {
        return 1;
    }
    app.settings().recentFiles.clear();
    int saved = 0;
    {
        morvex::shell::CMainFrame frame(app, messages);
        // Started as `morvex` starts: the window at the size the screen (or
        // a window manager) gives it, laid out by the event loop, never sized
        // here first.
        frame.StartUp();
        QElapsedTimer waited;
        waited.start();
        while (!(frame.windowHandle() != nullptr && frame.windowHandle()->isExposed()) && waited.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        QApplication::processEvents();
        for (int view = morvex::shell::kFirstPane; view <= morvex::shell::kDiagnosticPane; ++view) {
            frame.ShowPane(view);
            QApplication::processEvents();
            std::string name = morvex::shell::paneShortName(view);
            std::replace(name.begin(), name.end(), ' ', '-');
            const QString file =
                QDir(out).filePath(QStringLiteral("pane-%1-%2.png").arg(view).arg(QString::fromStdString(name)));
            // The charts draw in windows of their own: a plain grab leaves them out.
            if (morvex::charts::GrabWithCharts(frame).save(file)) {
                std::printf("%s\n", file.toLocal8Bit().constData());
                ++saved;
            }
        }
    }
    return saved == 6 ? 0 : 1;
}
