#include "views/ZamoGridView.h"

#include "comm/PortCodes.h"
#include "grid/GridCellTypes.h"
#include "grid/ValueGridCtrl.h"
#include "platform/Encoding.h"
#include "views/PartnerChart.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

namespace morvex::views {

CLBToRTStatic::CLBToRTStatic(QWidget* parent) : QWidget(parent) {}

void CLBToRTStatic::setText(const QString& text)
{
    if (text != text_) {
        text_ = text;
        update();
    }
}

void CLBToRTStatic::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.translate(0, height());
    p.rotate(-90);
    p.setPen(palette().windowText().color());
    p.drawText(QRect(0, 0, height(), width()), Qt::AlignCenter, text_);
}

namespace {

grid::CValueGridCtrl* createGrid(GridFlavour flavour, QWidget* parent)
{
    switch (flavour) {
    case GridFlavour::Function: return new grid::CFunctionGridCtrl(parent);
    case GridFlavour::Index: return new grid::CIndexGridCtrl(parent);
    case GridFlavour::Recording: return new grid::CRecordingGridCtrl(parent);
    case GridFlavour::Value: break;
    }
    return new grid::CValueGridCtrl(parent);
}

QString fromLabels(const std::string& text)
{
    return QString::fromStdString(platform::cp1252ToUtf8(text));
}

} // namespace

CZamoGridView::CZamoGridView(const ViewContext& context, GridFlavour flavour, QWidget* parent)
    : QWidget(parent), context_(context), grid_(createGrid(flavour, this)), rowCaption_(new CLBToRTStatic(this)),
      columnCaption_(new QLabel(this)), portTarget_(
                                            [this](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
                                                if (message == comm::WM_PORT_NOTIFY) {
                                                    OnBoxEvent(static_cast<uint32_t>(wParam), lParam);
                                                }
                                                return 0;
                                            },
                                            this)
{
    grid_->SetControlId(kGridControlId);
    grid_->SetNotifyTarget(this);
    grid_->SetDefaultCellType<grid::CGridCelll250>();
    grid_->GetDefaultCell(false, false)->SetFormat(grid::kFormatRight);
    grid_->SetRowCount(33);
    grid_->SetColumnCount(17);
    grid_->SetFixedRowCount(1);
    grid_->SetFixedColumnCount(1);
    grid_->SetGridFont(context_.gridFont);
    grid_->SetSelectedRange(1, 1, 1, 1);
    grid_->SetFocusCell(1, 1);
    grid_->installEventFilter(this);
    columnCaption_->setAlignment(Qt::AlignCenter);
    columnCaption_->setFont(context_.captionFont);
    rowCaption_->setFont(context_.captionFont);
    captionHeight_ = QFontMetrics(context_.captionFont).height() + 4;
    setFocusProxy(grid_);
}

CZamoGridView::~CZamoGridView()
{
    grid_->SetNotifyTarget(nullptr);
}

QString CZamoGridView::ColumnCaption() const
{
    return columnCaption_->text();
}

QString CZamoGridView::RowCaption() const
{
    return rowCaption_->text();
}

void CZamoGridView::SetCaptions(const QString& column, const QString& row)
{
    columnCaption_->setText(column);
    rowCaption_->setText(row);
}

QString CZamoGridView::GridLabelText(GridLabel label) const
{
    return context_.labels != nullptr ? fromLabels(context_.labels->grid(label)) : QString();
}

QString CZamoGridView::AxisText(Channel channel) const
{
    if (context_.labels == nullptr) {
        return {};
    }
    return fromLabels(context_.labels->label(channel)) + QStringLiteral(" ") +
           fromLabels(context_.labels->unit(channel));
}

void CZamoGridView::SetAxisCaptions(const QString& gridName)
{
    SetCaptions(gridName + QStringLiteral(": ") + AxisText(Channel::ThrottlePosition),
                gridName + QStringLiteral(": ") + AxisText(Channel::Revolutions));
}

int CZamoGridView::GridNotify(int code, int row, int column)
{
    if (code == grid::GRID_NOTIFY_SEL_CHANGED && partner_ != nullptr) {
        partner_->SelectCell(row - 1, column - 1);
    }
    return 0;
}

QSize CZamoGridView::GetIdealSize() const
{
    return {grid_->GetVirtualWidth() + captionHeight_ + 2, grid_->GetVirtualHeight() + captionHeight_ + 2};
}

int CZamoGridView::AdjustedWidth() const
{
    const QSize ideal = GetIdealSize();
    int width = ideal.width();
    if (height() < ideal.height()) {
        width += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    }
    return width;
}

QSize CZamoGridView::sizeHint() const
{
    return {AdjustedWidth(), GetIdealSize().height()};
}

void CZamoGridView::AdjustPane()
{
    emit idealWidthChanged(AdjustedWidth());
}

void CZamoGridView::OnGridFontChanged(const QFont& font)
{
    context_.gridFont = font;
    grid_->SetGridFont(font);
    grid_->AutoSize();
    emit idealWidthChanged(AdjustedWidth());
}

void CZamoGridView::MarkDifferences(std::shared_ptr<const CMorvexDoc> other)
{
    compared_ = std::move(other);
    ApplyDifferenceMarks();
}

void CZamoGridView::ApplyDifferenceMarks()
{
    std::vector<grid::CCellID> before;
    before.swap(marked_);
    if (compared_ != nullptr && context_.doc != nullptr) {
        marked_ = DifferingCells(*compared_);
    }
    for (const std::vector<grid::CCellID>* cells : {&before, &marked_}) {
        for (const grid::CCellID& cell : *cells) {
            RestoreCellBack(cell);
            grid_->RedrawCell(cell);
        }
    }
}

grid::ColorRef CZamoGridView::RestingBack(const grid::CCellID& cell) const
{
    return std::find(marked_.begin(), marked_.end(), cell) != marked_.end() ? kDifferenceBack : grid::kColorDefault;
}

void CZamoGridView::RestoreCellBack(const grid::CCellID& cell)
{
    grid_->SetItemBkColour(cell.row, cell.col, RestingBack(cell));
}

void CZamoGridView::OnUpdate(int)
{
    update();
}

void CZamoGridView::LayoutChildren(int w, int h)
{
    const int c = captionHeight_;
    grid_->setGeometry(c, c, w - c, h - c);
    columnCaption_->setGeometry(0, 0, w, c);
    rowCaption_->setGeometry(0, c, c, h - c);
}

void CZamoGridView::resizeEvent(QResizeEvent*)
{
    LayoutChildren(width(), height());
    // Never wider than the grid needs (a scroll bar included when the height
    // does not fit): the pane then gives the rest to the chart. Queued, as
    // the pane is in the middle of its own layout now.
    if (!adjustQueued_ && AdjustedWidth() < width()) {
        adjustQueued_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                adjustQueued_ = false;
                if (AdjustedWidth() < width()) {
                    AdjustPane();
                }
            },
            Qt::QueuedConnection);
    }
}

void CZamoGridView::focusInEvent(QFocusEvent*)
{
    grid_->setFocus();
}

bool CZamoGridView::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+arrow keys (and Ctrl+numeric pad) turn the partner chart.
    if (watched == grid_ && event->type() == QEvent::KeyPress && partner_ != nullptr) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool ctrl = (key->modifiers() & Qt::ControlModifier) != 0;
        const int k = key->key();
        const bool arrow = k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down;
        const bool pad = (key->modifiers() & Qt::KeypadModifier) != 0 && k != Qt::Key_5 &&
                         ((k >= Qt::Key_1 && k <= Qt::Key_9) || arrow || k == Qt::Key_Home || k == Qt::Key_End ||
                          k == Qt::Key_PageUp || k == Qt::Key_PageDown);
        if (ctrl && (arrow || pad)) {
            partner_->TurnKey(k);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CZamoGridView::EnableGridEditing(bool enable)
{
    if (!enable) {
        const grid::CCellID focus = grid_->GetFocusCell();
        if (grid_->IsValid(focus)) {
            rememberedFocus_ = focus;
            if (grid_->IsEditing()) {
                grid_->EndEditing();
            }
        }
        rememberedSelection_ = grid_->GetSelectedCellRange();
        grid_->SetSelectedRange(grid::CCellRange());
        grid_->SetFocusCell(-1, -1);
        grid_->SetEditable(false);
        grid_->SetInputEnabled(false);
        grid_->SetTrackFocusCell(false);
        grid_->SetFrameFocusCell(false);
        return;
    }
    grid_->SetEditable(true);
    grid_->SetInputEnabled(true);
    grid_->SetTrackFocusCell(true);
    grid_->SetFrameFocusCell(true);
    grid_->SetSelectedRange(rememberedSelection_);
    grid_->SetFocusCell(rememberedFocus_);
    if (partner_ != nullptr) {
        partner_->SelectCell(rememberedFocus_.row - 1, ChartColumnOf(rememberedFocus_.col));
    }
    grid_->SetLockedStepping(false);
}

void CZamoGridView::TransferStarted()
{
    EnableGridEditing(false);
    if (partner_ != nullptr) {
        partner_->TransferProgress(1, 0);
    }
}

void CZamoGridView::TransferEnded()
{
    EnableGridEditing(true);
    if (partner_ != nullptr) {
        partner_->TransferProgress(0, 0);
    }
    grid_->viewport()->update();
}

} // namespace morvex::views
