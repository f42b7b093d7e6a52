#include "live/DiagnosticCtrl.h"

#include "live/DiagnosticRules.h"
#include "platform/Log.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineSettings>

#include <unistd.h>

namespace morvex::live {
namespace {

const platform::LogCategory& log()
{
    static const platform::LogCategory category("morvex.diagnostic");
    return category;
}

// A load that a newer navigation replaced reports this; it is no failure.
constexpr int kAborted = -3;
constexpr int kRedirectDelayMs = 1;

} // namespace

void CDiagnosticCtrl::prepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

CDiagnosticCtrl::CDiagnosticCtrl(std::filesystem::path pageDir, QWidget* parent)
    : QWebEngineView(parent), pageDir_(std::move(pageDir)),
      notFound_(QUrl(QString::fromStdString(pageAddress(pageDir_ / kNotFoundPage))))
{
    setObjectName(QStringLiteral("diagnosticBrowser"));
    setFocusPolicy(Qt::StrongFocus);
    // The browser's own error page would stand for the 404 page.
    settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    // The pages are local files and need nothing from elsewhere.
    settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    connect(page(), &QWebEnginePage::loadingChanged, this, &CDiagnosticCtrl::onLoading);
    watchChildren();
}

void CDiagnosticCtrl::navigate(const QUrl& url)
{
    requested_ = url;
    load(url);
}

void CDiagnosticCtrl::applyZoom(double factor)
{
    zoom_ = factor;
    setZoomFactor(factor);
}

void CDiagnosticCtrl::onLoading(const QWebEngineLoadingInfo& info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        if (info.url().adjusted(QUrl::RemoveQuery) == notFound_) {
            redirectPending_ = false;
        }
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        // Pages come without history; the zoom stays what the user chose.
        history()->clear();
        setZoomFactor(zoom_);
        emit pageLoaded(info.url(), true);
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus: break;
    default: return;
    }
    if (info.errorCode() == kAborted || !info.url().matches(requested_, QUrl::RemoveQuery) || redirectPending_) {
        return;
    }
    log().warning("page not loaded: " + info.url().toString().toStdString() + " (" +
                  info.errorString().toStdString() + ")");
    emit pageLoaded(info.url(), false);
    if (info.url().adjusted(QUrl::RemoveQuery) == notFound_) {
        // The 404 page is missing too: say so in plain words, once.
        setHtml(QStringLiteral("<p>The diagnostic pages are missing or damaged: %1 cannot be shown. Please install "
                               "the program again.</p>")
                    .arg(info.url().toLocalFile().toHtmlEscaped()));
        return;
    }
    redirectPending_ = true;
    ++redirects_;
    const QUrl target(QString::fromStdString(
        notFoundAddress(pageDir_, info.url().toString(QUrl::FullyEncoded).toStdString(), info.errorCode())));
    // Not from inside the failure report: the browser is still in it.
    QTimer::singleShot(kRedirectDelayMs, this, [this, target] { navigate(target); });
}

CDiagnosticCtrl::KeyUse CDiagnosticCtrl::keyUse(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: return KeyUse::View;
    case Qt::Key_Tab: return KeyUse::NextControl;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        // The browser would select or jump in ways the panes do not use.
        return (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) ? KeyUse::Swallow : KeyUse::Page;
    default: return KeyUse::Page;
    }
}

bool CDiagnosticCtrl::event(QEvent* event)
{
    // The page's keys arrive at a render widget the browser creates later.
    if (event->type() == QEvent::ChildPolished) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) {
            child->removeEventFilter(this);
            child->installEventFilter(this);
        }
    }
    return QWebEngineView::event(event);
}

void CDiagnosticCtrl::watchChildren()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->removeEventFilter(this);
        child->installEventFilter(this);
    }
}

bool CDiagnosticCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return QWebEngineView::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const KeyUse use = keyUse(key->key(), key->modifiers());
    if (use == KeyUse::Page) {
        return QWebEngineView::eventFilter(watched, event);
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Taken here, so that no window shortcut (Esc cancels a transfer)
        // fires instead.
        event->accept();
        return true;
    }
    if (use == KeyUse::View) {
        emit viewKey(key->key());
    } else if (use == KeyUse::NextControl) {
        emit nextControl();
    }
    return true;
}

} // namespace morvex::live
