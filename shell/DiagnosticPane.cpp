#include "shell/DiagnosticPane.h"

#include "live/DiagnosticRules.h"
#include "live/DiagnosticView.h"
#include "shell/CommController.h"
#include "shell/FrameRules.h"
#include "shell/MorvexApp.h"
#include "shell/PaneLayout.h"
#include "shell/WebEngineCheck.h"

#include <QAction>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QOpenGLContext>

#include <unistd.h>

namespace morvex::shell {
namespace {

// Largest first, as the menu lists them; the index is the zoom level.
constexpr std::array<const char*, live::kZoomLevels> kFontCaptions = {
    "Smalle&st Font", "&Small Font", "&Medium Font", "L&arge Font", "&Largest Font"};

// The pane's plain text where the pages cannot be shown.
QWidget* notice(const QString& text)
{
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("diagnosticUnavailable"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setMargin(24);
    return label;
}

QWidget* missingEngineNotice(const WebEngineInfo& info)
{
    return notice(
        QObject::tr("The diagnostic pages cannot be shown: they need Qt WebEngine (version %1), and %2.\n\n"
                    "Install the packages libqt6webenginewidgets6 and libqt6webenginecore6-bin, then start the "
                    "program again. Everything else works without them.")
            .arg(QString::fromStdString(info.version),
                 info.processFound ? QObject::tr("its library could not be loaded")
                                   : QObject::tr("its helper program QtWebEngineProcess was not found")));
}

// The web engine draws through OpenGL and ends the whole program when
// none can be had (no driver, or a display without GL): then the pane
// says so instead.
bool openGlAvailable()
{
    QOpenGLContext context;
    return context.create();
}

QWidget* noOpenGlNotice()
{
    return notice(
        QObject::tr("The diagnostic pages cannot be shown: the web view that draws them needs OpenGL, and this "
                    "display offers none.\n\nCheck the graphics driver (Mesa's software renderer is enough), then "
                    "start the program again. Everything else works without it."));
}

WebEngineInfo probe()
{
    // The engine looks for its helper where this variable says, if it is set.
    const QByteArray helper = qgetenv("QTWEBENGINEPROCESS_PATH");
    WebEngineInfo info = probeWebEngine(kWebEngineLibrary,
                                        QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath).toStdString());
    if (!helper.isEmpty()) {
        info.processFound = ::access(helper.constData(), X_OK) == 0;
    }
    return info;
}

} // namespace

DiagnosticPane::DiagnosticPane(CMorvexApp& app, CommController& comm, PaneLayout& panes, QWidget* frame)
    : QObject(frame), comm_(comm)
{
    const WebEngineInfo info = probe();
    if (!info.usable()) {
        panes.setDiagnosticView(missingEngineNotice(info));
        return;
    }
    if (!openGlAvailable()) {
        panes.setDiagnosticView(noOpenGlNotice());
        return;
    }
    live::DiagnosticViewContext context;
    context.labels = &app.core().labels();
    context.pageDir = app.core().paths().diag;
    context.zoomSetting = &app.settings().ieFontSize;
    context.host = this;
    view_ = new live::CDiagnosticView(context);
    panes.setDiagnosticView(view_);
}

DiagnosticPane::~DiagnosticPane() = default;

bool DiagnosticPane::webEngineUsable()
{
    return probe().usable() && openGlAvailable();
}

void DiagnosticPane::addFontsMenu(QMenu* menu)
{
    fontsMenu_ = menu->addMenu(tr("Diagnostic &Fonts"));
    for (int level = live::kZoomLevels - 1; level >= 0; --level) {
        auto* a = new QAction(tr(kFontCaptions.at(static_cast<std::size_t>(level))), this);
        a->setData(live::kFirstZoomCommand + level);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, level] {
            if (view_ != nullptr) {
                view_->setZoomLevel(level);
            }
            updateCommandStates(kDiagnosticPane);
        });
        fontsMenu_->addAction(a);
        fonts_.at(static_cast<std::size_t>(level)) = a;
    }
}

void DiagnosticPane::updateCommandStates(int activePane)
{
    if (fontsMenu_ == nullptr) {
        return;
    }
    // The view's commands: greyed wherever the view is not shown.
    const bool enabled = activePane == kDiagnosticPane && view_ != nullptr;
    fontsMenu_->setEnabled(enabled);
    for (int level = 0; level < live::kZoomLevels; ++level) {
        QAction* a = fonts_.at(static_cast<std::size_t>(level));
        a->setEnabled(enabled);
        a->setChecked(view_ != nullptr && view_->zoomLevel() == level);
    }
}

bool DiagnosticPane::StartDiagnostic(uint8_t command, bool reply, platform::MessageTarget& owner)
{
    return comm_.StartDiagnostic(command, reply, owner);
}

bool DiagnosticPane::DiagnosticLinkClosing() const
{
    return comm_.operationRunning();
}

void DiagnosticPane::CancelDiagnostic()
{
    comm_.Cancel();
}

int32_t DiagnosticPane::DiagnosticProgressTotal() const
{
    return comm_.ProgressTotal();
}

std::array<std::string, 4> DiagnosticPane::DiagnosticTexts() const
{
    return comm_.diagnosticTexts().texts;
}

int DiagnosticPane::Port() const
{
    return comm_.port();
}

uint32_t DiagnosticPane::Baud() const
{
    return comm_.serialSettings().baud;
}

} // namespace morvex::shell
