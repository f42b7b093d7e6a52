#include "live/DiagnosticView.h"

#include "document/Labels.h"
#include "live/DiagnosticCtrl.h"
#include "live/DiagnosticHost.h"
#include "live/DiagnosticRules.h"
#include "platform/Encoding.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include <chrono>

namespace morvex::live {
namespace {

// Wide enough for the panel's title on every window manager.
constexpr int kPanelMinimumWidth = 260;

QString label(const CLabels& labels, DiagnosticLabel d)
{
    return QString::fromStdString(platform::cp1252ToUtf8(labels.diagnostic(d)));
}

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CDiagnosticView::CDiagnosticView(const DiagnosticViewContext& context, QWidget* parent)
    : QWidget(parent), context_(context), header_(new QLabel(tr("Diagnostic"), this)), list_(new QListWidget(this)),
      browser_(new CDiagnosticCtrl(context.pageDir, this))
{
    setObjectName(QStringLiteral("diagnosticView"));
    if (!context_.clock) {
        context_.clock = steadyMs;
    }
    header_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    header_->setMargin(2);

    list_->setObjectName(QStringLiteral("diagnosticTopics"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    int widest = 0;
    for (const DiagnosticTopic& topic : kTopics) {
        const QString caption = label(*context_.labels, topic.caption);
        list_->addItem(caption);
        widest = std::max(widest, list_->fontMetrics().horizontalAdvance(caption));
    }
    const int frame = list_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, list_);
    const int scrollBar = list_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list_);
    list_->setFixedWidth(widest * 6 / 5 + 2 * frame + scrollBar);
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(list_);
    row->addWidget(browser_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(header_);
    layout->addLayout(row, 1);
    setFocusProxy(list_);

    // The setting -1 takes the browser's own level; any other is applied.
    int& setting = *context_.zoomSetting;
    if (setting == -1) {
        setting = initialZoom_;
    }
    zoom_ = validZoomLevel(setting);
    browser_->applyZoom(zoomFactor(zoom_));

    connect(list_, &QListWidget::currentRowChanged, this, &CDiagnosticView::selectTopic);
    connect(browser_, &CDiagnosticCtrl::viewKey, this, [this](int key) {
        if (key != Qt::Key_Escape) {
            runTopic();
        }
    });
    connect(browser_, &CDiagnosticCtrl::nextControl, list_, [this] { list_->setFocus(Qt::TabFocusReason); });
    list_->setCurrentRow(0);
    browser_->navigate(topicPage(0));
}

CDiagnosticView::~CDiagnosticView()
{
    // A page's zoom can outlive its view in the browser engine: leave it
    // as it was found.
    if (zoom_ != initialZoom_) {
        browser_->applyZoom(zoomFactor(initialZoom_));
    }
}

QUrl CDiagnosticView::topicPage(int index) const
{
    return QUrl(QString::fromStdString(
        pageAddress(context_.pageDir / kTopics.at(static_cast<std::size_t>(index)).page)));
}

void CDiagnosticView::selectTopic(int index)
{
    if (index < 0 || index >= kTopicCount || panel_ != nullptr) {
        return;
    }
    current_ = index;
    resultShown_ = false;
    browser_->navigate(topicPage(index));
}

void CDiagnosticView::runTopic()
{
    if (panel_ != nullptr) {
        return;
    }
    if (resultShown_) {
        browser_->navigate(topicPage(current_));
        resultShown_ = false;
        return;
    }
    const DiagnosticTopic& topic = kTopics.at(static_cast<std::size_t>(current_));
    const CLabels& labels = *context_.labels;
    PanelTexts texts;
    texts.start = platform::cp1252ToUtf8(labels.diagnostic(DiagnosticLabel::DiagStartText));
    texts.info = platform::cp1252ToUtf8(labels.diagnostic(DiagnosticLabel::DiagInfoText));
    texts.end = platform::cp1252ToUtf8(labels.diagnostic(DiagnosticLabel::DiagCancelText));
    panel_ = new CDiagnosticInfo(topic.command, label(labels, topic.caption).toStdString(), texts, *context_.host,
                                 context_.clock, this);
    panel_->setAttribute(Qt::WA_DeleteOnClose);
    // At the top of the topic list, which the test runs for: as wide as the
    // list (or as its title needs), as high as its contents.
    const QSize size(std::max({panel_->sizeHint().width(), list_->width(), kPanelMinimumWidth}),
                     panel_->sizeHint().height());
    panel_->setGeometry(QRect(list_->mapToGlobal(QPoint(0, 0)), size));
    connect(panel_, &QDialog::finished, this, &CDiagnosticView::panelClosed);
    panel_->open();
}

void CDiagnosticView::panelClosed(int result)
{
    const DiagnosticTopic& topic = kTopics.at(static_cast<std::size_t>(current_));
    DiagnosticHost& host = *context_.host;
    if (result == QDialog::Accepted) {
        if (topic.resultPage != nullptr) {
            browser_->navigate(QUrl(QString::fromStdString(
                resultAddress(context_.pageDir, current_, host.DiagnosticTexts(), host.Port(), host.Baud()))));
            resultShown_ = true;
        }
    } else {
        browser_->navigate(
            QUrl(QString::fromStdString(communicationErrorAddress(context_.pageDir, host.Port(), host.Baud()))));
        resultShown_ = true;
    }
    if (panel_ != nullptr) {
        panel_->deleteLater();
        panel_ = nullptr;
    }
    list_->setFocus();
}

void CDiagnosticView::setZoomLevel(int level)
{
    zoom_ = validZoomLevel(level);
    *context_.zoomSetting = zoom_;
    browser_->applyZoom(zoomFactor(zoom_));
}

void CDiagnosticView::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    list_->setFocus();
}

bool CDiagnosticView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runTopic();
            return true;
        }
    }
    // A click beside the items gives the list the keyboard and keeps the
    // selection.
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (list_->itemAt(mouse->position().toPoint()) == nullptr) {
            list_->setFocus(Qt::MouseFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace morvex::live
