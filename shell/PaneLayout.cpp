#include "shell/PaneLayout.h"

#include "shell/FrameRules.h"
#include "shell/PaneHeader.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include <cstring>

namespace morvex::shell {
namespace {

QWidget* placeholder(const QString& what)
{
    auto* label = new QLabel(what + QStringLiteral("\n\n(not available in this version)"));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::StyledPanel);
    label->setObjectName(QStringLiteral("placeholder"));
    // The text does not hold its pane open: on a small screen the grid
    // beside a placeholder chart keeps its width first.
    label->setMinimumWidth(1);
    return label;
}

void replaceWidget(QSplitter* splitter, int index, QWidget* widget)
{
    QWidget* old = splitter->widget(index);
    splitter->replaceWidget(index, widget);
    delete old;
}

constexpr int kMinimumColumn = 30;

// Column 0 of a two-column splitter gets `width`, column 1 the rest. Column
// 1 carries the stretch, so the width of column 0 also holds when the
// splitter has no size yet (before the window's first layout) and when the
// window grows or shrinks later; column 1 is never collapsed by this.
void setLeadingWidth(QSplitter* splitter, int width)
{
    const QList<int> sizes = splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    splitter->setSizes({width, std::max(total - width, 1)});
}

} // namespace

PaneLayout::PaneLayout(QWidget* parent) : QStackedWidget(parent)
{
    main_ = new QSplitter(Qt::Horizontal);
    main_->setObjectName(QStringLiteral("mainSplitter"));
    main_->setChildrenCollapsible(true);

    onlineColumn_ = new QWidget;
    auto* column = new QVBoxLayout(onlineColumn_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    header_ = new CPaneHeader(tr("Online Values"), cmd::kOnlineValues, cmd::kAdjustPane);
    connect(header_, &CPaneHeader::command, this, &PaneLayout::command);
    onlineView_ = placeholder(tr("Online Values"));
    onlineView_->setFocusPolicy(Qt::ClickFocus);
    // A click on the header makes the column the active pane; the header
    // shows its band while the keyboard is in the column.
    connect(header_, &CPaneHeader::activated, this, [this] { onlineView_->setFocus(Qt::MouseFocusReason); });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        header_->setActive(now != nullptr && (now == onlineColumn_ || onlineColumn_->isAncestorOf(now)));
    });
    column->addWidget(header_);
    column->addWidget(onlineView_, 1);
    main_->addWidget(onlineColumn_);
    // A view's width depends on the pane's height (a scroll bar): the
    // column measures again whenever it is resized while it follows it.
    onlineColumn_->installEventFilter(this);
    connect(main_, &QSplitter::splitterMoved, this, [this] { columnNatural_ = false; });

    tables_ = new QStackedWidget;
    for (int i = 0; i < 5; ++i) {
        const QString name = QString::fromStdString(paneShortName(kFirstPane + i));
        auto* pane = new QSplitter(Qt::Horizontal);
        pane->setObjectName(QStringLiteral("pane%1").arg(kFirstPane + i));
        pane->addWidget(placeholder(name + tr(" table")));
        pane->addWidget(placeholder(name + tr(" chart")));
        pane->setChildrenCollapsible(true);
        pane->setStretchFactor(1, 1);
        tablePanes_[static_cast<std::size_t>(i)] = pane;
        tables_->addWidget(pane);
    }
    main_->addWidget(tables_);
    main_->setStretchFactor(1, 1);
    addWidget(main_);

    diagnostic_ = placeholder(tr("Diagnostic"));
    addWidget(diagnostic_);
    setCurrentWidget(main_);
}

QSplitter* PaneLayout::tablePane(int view) const
{
    if (view < kFirstPane || view > kIndexPane) {
        return nullptr;
    }
    return tablePanes_[static_cast<std::size_t>(view - kFirstPane)];
}

void PaneLayout::setTableViews(int view, QWidget* grid, QWidget* chart)
{
    if (QSplitter* pane = tablePane(view)) {
        if (grid != nullptr) {
            replaceWidget(pane, 0, grid);
        }
        if (chart != nullptr) {
            replaceWidget(pane, 1, chart);
            // The chart column takes what the window gains or loses; the
            // grid keeps its width.
            pane->setStretchFactor(0, 0);
            pane->setStretchFactor(1, 1);
        }
    }
}

void PaneLayout::setOnlineValuesView(QWidget* view)
{
    auto* column = static_cast<QVBoxLayout*>(onlineColumn_->layout());
    // The layout hands back the item it held the old view in.
    delete column->replaceWidget(onlineView_, view);
    delete onlineView_;
    onlineView_ = view;
}

void PaneLayout::setDiagnosticView(QWidget* view)
{
    const bool shown = currentWidget() == diagnostic_;
    removeWidget(diagnostic_);
    delete diagnostic_;
    diagnostic_ = view;
    addWidget(diagnostic_);
    if (shown) {
        setCurrentWidget(diagnostic_);
    }
}

QWidget* PaneLayout::gridOf(int view) const
{
    QSplitter* pane = tablePane(view);
    return pane != nullptr ? pane->widget(0) : nullptr;
}

QWidget* PaneLayout::chartOf(int view) const
{
    QSplitter* pane = tablePane(view);
    return pane != nullptr ? pane->widget(1) : nullptr;
}

QWidget* PaneLayout::diagnosticView() const
{
    return diagnostic_;
}

void PaneLayout::focusActivePane()
{
    QWidget* view = active_ == kDiagnosticPane ? diagnostic_ : gridOf(active_);
    if (view != nullptr && (view->focusProxy() != nullptr || view->focusPolicy() != Qt::NoFocus)) {
        view->setFocus(Qt::OtherFocusReason);
    }
}

void PaneLayout::showPane(int view)
{
    if (view == active_ || view < kFirstPane || view > kDiagnosticPane) {
        return;
    }
    active_ = view;
    if (view == kDiagnosticPane) {
        setCurrentWidget(diagnostic_);
        return;
    }
    tables_->setCurrentWidget(tablePane(view));
    setCurrentWidget(main_);
}

bool PaneLayout::onlineValuesShown() const
{
    return main_->sizes().value(0) > 0;
}

void PaneLayout::adjustOnlineValues()
{
    columnNatural_ = true;
    setLeadingWidth(main_, std::max(onlineView_->sizeHint().width(), header_->sizeHint().width()));
}

bool PaneLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == onlineColumn_ && event->type() == QEvent::Resize && columnNatural_) {
        // After this resize has been handled: the splitter is not changed
        // from inside its own layout pass.
        QMetaObject::invokeMethod(
            this,
            [this] {
                const int wanted = std::max(onlineView_->sizeHint().width(), header_->sizeHint().width());
                if (columnNatural_ && onlineValuesShown() && main_->sizes().value(0) != wanted) {
                    setLeadingWidth(main_, wanted);
                }
            },
            Qt::QueuedConnection);
    }
    return QStackedWidget::eventFilter(watched, event);
}

void PaneLayout::toggleOnlineValues()
{
    if (!onlineValuesShown()) {
        adjustOnlineValues();
        return;
    }
    if (onlineColumn_->isAncestorOf(QApplication::focusWidget())) {
        focusActivePane();
    }
    columnNatural_ = false;
    setLeadingWidth(main_, 0);
}

void PaneLayout::setGridWidth(int view, int width)
{
    if (QSplitter* pane = tablePane(view); pane != nullptr && width > 0) {
        setLeadingWidth(pane, width);
    }
}

bool PaneLayout::tableWindowShown() const
{
    const QSplitter* pane = tablePane(active_);
    return pane != nullptr && pane->sizes().value(0) > 0;
}

void PaneLayout::toggleTableWindow()
{
    QSplitter* pane = tablePane(active_);
    if (pane == nullptr) {
        return;
    }
    if (pane->sizes().value(0) > 0) {
        setLeadingWidth(pane, 0);
    } else {
        setLeadingWidth(pane, pane->widget(0)->sizeHint().width());
    }
}

void PaneLayout::storeRecord(SplitterRecord& record) const
{
    record.width = columnNatural_ && onlineValuesShown() ? -1 : main_->sizes().value(0);
    record.minimum = kMinimumColumn;
}

void PaneLayout::applyRecord(const SplitterRecord& record)
{
    if (record.width < 0) {
        adjustOnlineValues();
        return;
    }
    columnNatural_ = false;
    setLeadingWidth(main_, record.width);
}

void PaneLayout::switchMode(bool online)
{
    if (online == online_) {
        return;
    }
    storeRecord(records_[online_ ? 1 : 0]);
    online_ = online;
    applyRecord(records_[online_ ? 1 : 0]);
}

QByteArray PaneLayout::splitterSizes() const
{
    std::array<SplitterRecord, 2> records = records_;
    storeRecord(records[online_ ? 1 : 0]);
    QByteArray bytes(sizeof(records), '\0');
    std::memcpy(bytes.data(), records.data(), sizeof(records));
    return bytes;
}

bool PaneLayout::restoreSplitterSizes(const QByteArray& bytes)
{
    static_assert(sizeof(records_) == 32);
    if (bytes.size() != static_cast<qsizetype>(sizeof(records_))) {
        applyRecord(records_[online_ ? 1 : 0]);
        return false;
    }
    std::memcpy(records_.data(), bytes.constData(), sizeof(records_));
    applyRecord(records_[online_ ? 1 : 0]);
    return true;
}

} // namespace morvex::shell
