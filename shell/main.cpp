#include "shell/MainFrame.h"
#include "shell/MorvexApp.h"
#include "shell/PortController.h"
#include "shell/QtUserMessages.h"
#include "shell/WebEngineCheck.h"
#include "live/DiagnosticCtrl.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>

#include <filesystem>

int main(int argc, char* argv[])
{
    morvex::live::CDiagnosticCtrl::prepareApplication();
    QApplication qapp(argc, argv);
    morvex::shell::nameApplication();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Editor for the Zamo-Box"));
    parser.addHelpOption();
    const QCommandLineOption simulated(QStringLiteral("simulated-box"),
                                       QStringLiteral("Start a simulated box and use it for communication."));
    parser.addOption(simulated);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A data file (*.M60) to open."));
    parser.process(qapp);

    morvex::shell::CMorvexApp app;
    morvex::shell::QtUserMessages messages;
    morvex::shell::CMorvexApp::Options options;
    options.programDir = std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    options.userConfigDir = morvex::shell::defaultUserConfigDir();
    if (!parser.positionalArguments().isEmpty()) {
        options.file = std::filesystem::path(parser.positionalArguments().front().toStdString());
    }
    if (!app.InitInstance(options, messages)) {
        return 1;
    }
    // The diagnostic pages need a working web engine; without one the
    // editor still starts.
    const auto webEngine = morvex::shell::probeWebEngine(
        morvex::shell::kWebEngineLibrary, QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath).toStdString());
    if (const auto warning = morvex::shell::webEngineMessage(webEngine)) {
        messages.show(*warning);
    }

    int result = 0;
    {
        morvex::shell::CMainFrame frame(app, messages);
        messages.setParent(&frame);
        frame.StartUp();
        if (parser.isSet(simulated)) {
            frame.ports().StartSimulatedBox();
        }
        result = QApplication::exec();
        messages.setParent(nullptr);
    }
    app.ExitInstance();
    return result;
}
