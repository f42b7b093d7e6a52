#include "grid/ValueGridCtrl.h"

#include "grid/GridCellTypes.h"
#include "grid/GridFormat.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace morvex::grid {

namespace {

// Resets a flag when the scope ends.
class FlagScope {
public:
    FlagScope(bool& flag, bool value) : flag_(flag) { flag_ = value; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;
    ~FlagScope() { flag_ = false; }

private:
    bool& flag_;
};

// +1 / -1 for the plus and minus keys of the keypad and the main keyboard
// ("=+" and "-_" on layouts where plus needs Shift), 0 for other keys.
int LockedStepDirection(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Plus: return 1;
    case Qt::Key_Equal: return (event.modifiers() & Qt::KeypadModifier) ? 0 : 1;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return -1;
    default: return 0;
    }
}

} // namespace

bool GetValueCellRules(const CGridCellBase* cell, double& minimum, double& maximum, QString& format)
{
    if (const auto* value = dynamic_cast<const CGridCelll250*>(cell)) {
        minimum = value->GetMinimum();
        maximum = value->GetMaximum();
        format = value->GetValueFormat();
        return true;
    }
    if (const auto* label = dynamic_cast<const CGridCellLabel*>(cell)) {
        minimum = label->GetMinimum();
        maximum = label->GetMaximum();
        format = label->GetValueFormat();
        return true;
    }
    return false;
}

CValueGridCtrl::CValueGridCtrl(QWidget* parent) : CGridCtrl(parent) {}

void CValueGridCtrl::SetInputEnabled(bool on)
{
    if (!on) {
        EndEditing();
    }
    inputEnabled_ = on;
}

void CValueGridCtrl::AutoSize()
{
    EndEditing();
    // One common width for all value columns, at least that of "88".
    const CGridDefaultCell* def = GetDefaultCell(false, false);
    const QSize minimum = def->PaddedExtent(def->GetTextExtent(QStringLiteral("88")));
    int common = minimum.width();
    int height = minimum.height();
    const int fixedCols = GetFixedColumnCount();
    std::vector<int> fixedWidths(static_cast<size_t>(fixedCols), 0);
    for (int r = 0; r < GetRowCount(); ++r) {
        for (int c = 0; c < GetColumnCount(); ++c) {
            if (!IsCellVisibleSize(r, c)) {
                continue;
            }
            const QSize extent = GetCell(r, c)->GetCellExtent();
            if (c < fixedCols) {
                fixedWidths[static_cast<size_t>(c)] = std::max(fixedWidths[static_cast<size_t>(c)], extent.width());
            } else {
                common = std::max(common, extent.width());
            }
            height = std::max(height, extent.height());
        }
    }
    for (int c = 0; c < GetColumnCount(); ++c) {
        if (GetColumnWidth(c) == 0) {
            continue; // hidden columns stay hidden
        }
        const int width = c < fixedCols ? fixedWidths[static_cast<size_t>(c)] : common;
        if (width > 0) {
            SetColumnWidth(c, width);
        }
    }
    for (int r = 0; r < GetRowCount(); ++r) {
        if (GetRowHeight(r) > 0) {
            SetRowHeight(r, height);
        }
    }
}

void CValueGridCtrl::PasteText(const QString& text)
{
    if (!inputEnabled_) {
        return;
    }
    FlagScope paste(pasteInProgress_, true);
    CGridCtrl::PasteText(text);
}

void CValueGridCtrl::StepSelection(int amount)
{
    std::vector<CCellID> cells = GetSelectedCells();
    const CCellID focus = GetFocusCell();
    if (cells.empty() && IsValid(focus)) {
        cells.push_back(focus);
    }
    StepCells(cells, amount, GRID_NOTIFY_END_EDIT, true);
}

void CValueGridCtrl::StepFocusLocked(int amount)
{
    const CCellID focus = GetFocusCell();
    if (!IsValid(focus) || IsCellFixed(focus.row, focus.col) || !IsStepColumn(focus.col)) {
        return;
    }
    StepCells({focus}, amount, GRID_NOTIFY_LOCKED_STEP, false);
}

void CValueGridCtrl::StepCells(const std::vector<CCellID>& cells, int amount, int code, bool checkEditable)
{
    FlagScope single(singleStep_, amount == 1 || amount == -1);
    const ActionScope action(*this, "Step");
    for (const CCellID& cell : cells) {
        const std::optional<QString> text = SteppedText(cell.row, cell.col, amount);
        if (text) {
            ChangeCellText(cell.row, cell.col, *text, code, checkEditable);
        }
    }
}

std::optional<QString> CValueGridCtrl::SteppedText(int row, int col, int amount) const
{
    // A cell that prints decimals steps in its last one: "1.00" + 1 is "1.01".
    double minimum = 0.0;
    double maximum = 0.0;
    QString format;
    if (GetValueCellRules(GetCell(row, col), minimum, maximum, format)) {
        static const QRegularExpression precision(QStringLiteral("%[-+ 0#]*[0-9]*\\.([0-9]+)[fF]"));
        const QRegularExpressionMatch decimals = precision.match(format);
        if (decimals.hasMatch() && decimals.captured(1).toInt() > 0) {
            const double unit = std::pow(10.0, -decimals.captured(1).toInt());
            return FormatValue(format, ParseLeadingDouble(GetItemText(row, col)) + amount * unit);
        }
    }
    const long long value = static_cast<long long>(ParseLeadingInt(GetItemText(row, col))) + amount;
    return QString::number(value);
}

bool CValueGridCtrl::IsStepColumn(int) const
{
    return true;
}

bool CValueGridCtrl::IsBulkEditTarget(const CCellID&, const CCellID&) const
{
    return true;
}

void CValueGridCtrl::OnLockedKey(QKeyEvent*) {}

void CValueGridCtrl::DrawMiddleRowSeparator(QPainter& painter)
{
    // Below the last row of the upper half, when the value rows split evenly.
    const int rows = GetRowCount() - GetFixedRowCount();
    if (rows > 0 && rows % 2 == 0) {
        DrawRowSeparator(painter, GetFixedRowCount() + rows / 2 - 1);
    }
}

QString CValueGridCtrl::ClearedText(int, int) const
{
    return QStringLiteral("0");
}

void CValueGridCtrl::OnEndInPlaceEdit(int row, int col, const QString& text, int lastKey,
                                      Qt::KeyboardModifiers modifiers)
{
    if (lastKey == Qt::Key_Return && (modifiers & Qt::ShiftModifier)) {
        const CCellID edited(row, col);
        for (const CCellID& cell : GetSelectedCells()) {
            if (!(cell == edited) && IsBulkEditTarget(edited, cell) && GetItemText(cell.row, cell.col) != text) {
                SetItemTextNotify(cell.row, cell.col, text);
            }
        }
    }
    SetItemTextNotify(row, col, text);
}

void CValueGridCtrl::OnChar(QChar ch, Qt::KeyboardModifiers modifiers, QKeyEvent* event)
{
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    int amount = 0;
    switch (ch.unicode()) {
    case u'+': amount = shift ? 10 : 1; break;
    case u'-': amount = shift ? -10 : -1; break;
    case u'*': amount = 10; break;
    case u'_': amount = -10; break;
    default: break;
    }
    const CCellID focus = GetFocusCell();
    if (amount != 0 && inputEnabled_ && !IsEditing() && IsValid(focus) && IsStepColumn(focus.col)) {
        if (IsCellEditable(focus.row, focus.col)) {
            StepSelection(amount * step_);
        }
        return;
    }
    CGridCtrl::OnChar(ch, modifiers, event);
}

void CValueGridCtrl::keyPressEvent(QKeyEvent* event)
{
    if (inputEnabled_) {
        CGridCtrl::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!lockedStepping_) {
        return;
    }
    if (const int direction = LockedStepDirection(*event); direction != 0) {
        const int factor = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
        StepFocusLocked(direction * factor * step_);
        return;
    }
    OnLockedKey(event);
}

void CValueGridCtrl::mousePressEvent(QMouseEvent* event)
{
    if (!inputEnabled_) {
        event->accept();
        return;
    }
    CGridCtrl::mousePressEvent(event);
}

void CValueGridCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (!inputEnabled_) {
        event->accept();
        return;
    }
    CGridCtrl::mouseReleaseEvent(event);
}

void CValueGridCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!inputEnabled_) {
        event->accept();
        return;
    }
    CGridCtrl::mouseDoubleClickEvent(event);
}

// ---- CFunctionGridCtrl ----------------------------------------------------

namespace {

constexpr int kRevLimitHighRow = 31;
constexpr int kRevLimitHighCol = 5;

bool IsRevLimitHighByte(int row, int col)
{
    return row == kRevLimitHighRow && col == kRevLimitHighCol;
}

} // namespace

CFunctionGridCtrl::CFunctionGridCtrl(QWidget* parent) : CValueGridCtrl(parent) {}

void CFunctionGridCtrl::OnCountsChanged()
{
    CValueGridCtrl::OnCountsChanged();
    SyncLabelWidths();
}

void CFunctionGridCtrl::SyncLabelWidths()
{
    const auto half = static_cast<unsigned>(std::max(0, GetDefaultCell(false, false)->GetWidth() / 2));
    labelWidths_.resize(static_cast<size_t>(std::max(GetColumnCount(), 0)), half);
}

unsigned CFunctionGridCtrl::GetLabelWidth(int col) const
{
    return col >= 0 && static_cast<size_t>(col) < labelWidths_.size() ? labelWidths_[static_cast<size_t>(col)] : 0;
}

void CFunctionGridCtrl::SetLabelWidth(int col, unsigned width)
{
    if (col >= 0 && static_cast<size_t>(col) < labelWidths_.size()) {
        labelWidths_[static_cast<size_t>(col)] = width;
    }
}

void CFunctionGridCtrl::AutoSize()
{
    CGridCtrl::AutoSize(); // label cells measure their labels here
    for (int c = 0; c < GetColumnCount(); ++c) {
        if (GetColumnWidth(c) == 0) {
            continue;
        }
        int widest = 0;
        bool labels = false;
        for (int r = 0; r < GetRowCount(); ++r) {
            if (const auto* label = dynamic_cast<const CGridCellLabel*>(GetCell(r, c));
                label != nullptr && IsCellVisibleSize(r, c)) {
                labels = true;
                widest = std::max(widest, label->GetLabelWidth());
            }
        }
        if (!labels) {
            continue;
        }
        SetLabelWidth(c, static_cast<unsigned>(widest));
        int width = 0;
        for (int r = 0; r < GetRowCount(); ++r) {
            auto* label = dynamic_cast<CGridCellLabel*>(GetCell(r, c));
            if (label != nullptr) {
                label->SetLabelWidth(widest);
            }
            if (!IsCellVisibleSize(r, c)) {
                continue;
            }
            width = std::max(width, label != nullptr ? label->GetValueExtent().width() + widest
                                                     : GetCell(r, c)->GetCellExtent().width());
        }
        SetColumnWidth(c, std::max(width, 1));
    }
}

std::optional<QString> CFunctionGridCtrl::SteppedText(int row, int col, int amount) const
{
    if (IsRevLimitHighByte(row, col)) {
        return std::nullopt;
    }
    double minimum = 0.0;
    double maximum = 0.0;
    QString format = QStringLiteral("%d");
    double value = ParseLeadingDouble(GetItemText(row, col)) + amount;
    if (GetValueCellRules(GetCell(row, col), minimum, maximum, format)) {
        value = std::max(minimum, std::min(value, maximum));
    }
    return FormatValue(format, value);
}

bool CFunctionGridCtrl::IsBulkEditTarget(const CCellID& edited, const CCellID& cell) const
{
    return cell.col == edited.col && !IsRevLimitHighByte(cell.row, cell.col);
}

void CFunctionGridCtrl::OnLockedKey(QKeyEvent* event)
{
    if (GridNotifyTarget* target = GetNotifyTarget()) {
        target->GridKeyDown(event->key(), event->modifiers());
    }
}

void CFunctionGridCtrl::DrawSeparators(QPainter& painter)
{
    DrawMiddleRowSeparator(painter);
    const int cols = GetColumnCount() - GetFixedColumnCount();
    if (cols > 0 && cols % 2 == 0) {
        DrawColumnSeparator(painter, GetFixedColumnCount() + cols / 2 - 1);
    }
}

// ---- CIndexGridCtrl -------------------------------------------------------

namespace {

constexpr int kRevolutionsColumn = 1;
constexpr int kLambdaColumn = 7;
constexpr int kFirstTextColumn = 8;
// Revolutions step by 25 below this and by 50 from it on.
constexpr double kRevolutionsFineLimit = 12000.0;

} // namespace

CIndexGridCtrl::CIndexGridCtrl(QWidget* parent) : CValueGridCtrl(parent) {}

void CIndexGridCtrl::AutoSize()
{
    CGridCtrl::AutoSize();
}

std::optional<QString> CIndexGridCtrl::SteppedText(int row, int col, int amount) const
{
    if (!IsStepColumn(col)) {
        return std::nullopt;
    }
    const double value = ParseLeadingDouble(GetItemText(row, col));
    double delta = amount;
    if (col == kRevolutionsColumn) {
        // Downward steps use the fine step up to and including the limit.
        const bool fine = amount > 0 ? value < kRevolutionsFineLimit : value <= kRevolutionsFineLimit;
        delta = amount * (fine ? 25.0 : 50.0);
    } else if (col == kLambdaColumn) {
        delta = amount * 0.01;
    }
    double minimum = 0.0;
    double maximum = 0.0;
    QString format = col == kLambdaColumn ? QStringLiteral("%0.2f") : QStringLiteral("%d");
    GetValueCellRules(GetCell(row, col), minimum, maximum, format);
    return FormatValue(format, value + delta);
}

bool CIndexGridCtrl::IsStepColumn(int col) const
{
    return col < kFirstTextColumn;
}

bool CIndexGridCtrl::IsBulkEditTarget(const CCellID& edited, const CCellID& cell) const
{
    return cell.col == edited.col;
}

QString CIndexGridCtrl::ClearedText(int, int col) const
{
    if (col == kLambdaColumn) {
        return QStringLiteral("0.00");
    }
    if (col == 8 || col == 9) {
        return {};
    }
    return QStringLiteral("0");
}

void CIndexGridCtrl::DrawSeparators(QPainter& painter)
{
    DrawMiddleRowSeparator(painter);
    DrawColumnSeparator(painter, 2);
    DrawColumnSeparator(painter, 5);
}

// ---- CRecordingGridCtrl ---------------------------------------------------

CRecordingGridCtrl::CRecordingGridCtrl(QWidget* parent) : CValueGridCtrl(parent) {}

void CRecordingGridCtrl::SetSeparatorColumns(int first, int second)
{
    separator1_ = first;
    separator2_ = second;
    viewport()->update();
}

void CRecordingGridCtrl::AutoSize()
{
    CGridCtrl::AutoSize();
}

void CRecordingGridCtrl::DrawSeparators(QPainter& painter)
{
    DrawMiddleRowSeparator(painter);
    DrawColumnSeparator(painter, separator1_);
    DrawColumnSeparator(painter, separator2_);
}

} // namespace morvex::grid
