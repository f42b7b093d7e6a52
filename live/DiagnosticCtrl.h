#pragma once

#include <QUrl>
#include <QWebEngineView>

#include <filesystem>

class QWebEngineLoadingInfo;

namespace morvex::live {

// The browser of the diagnostic pane. Pages load without a history to go
// back in. A page that cannot be loaded is replaced by the 404 page once:
// when the 404 page itself fails, a plain text says so instead, so that a
// broken installation cannot loop. Enter and Esc go to the view, Tab moves
// on to the view's next control, and Shift or Ctrl with the paging and
// arrow keys are swallowed.
class CDiagnosticCtrl : public QWebEngineView {
    Q_OBJECT
public:
    explicit CDiagnosticCtrl(std::filesystem::path pageDir, QWidget* parent = nullptr);

    // Before the QApplication exists: the engine shares the GUI's OpenGL
    // contexts, and run as root (containers, test machines) its renderer
    // cannot use the sandbox, which would refuse to start.
    static void prepareApplication();

    void navigate(const QUrl& url);
    // The address last asked for (the page shown once it has loaded).
    const QUrl& requested() const { return requested_; }
    int redirects() const { return redirects_; }
    void applyZoom(double factor);

    enum class KeyUse { Page, View, NextControl, Swallow };
    static KeyUse keyUse(int key, Qt::KeyboardModifiers modifiers);

signals:
    // Enter or Esc pressed in the page.
    void viewKey(int key);
    void nextControl();
    // A page finished loading (ok: it is shown).
    void pageLoaded(const QUrl& url, bool ok);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onLoading(const QWebEngineLoadingInfo& info);
    void watchChildren();

    std::filesystem::path pageDir_;
    QUrl requested_;
    QUrl notFound_;
    bool redirectPending_ = false;
    int redirects_ = 0;
    double zoom_ = 1.0;
};

} // namespace morvex::live
