#pragma once

#include "document/Labels.h"
#include "grid/GridDefs.h"
#include "platform/QueuedMessageTarget.h"
#include "views/GridIds.h"
#include "views/ViewContext.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QLabel;

namespace morvex::grid {
class CValueGridCtrl;
}

namespace morvex::views {

class PartnerChart;

// A caption drawn bottom to top, left of a grid.
class CLBToRTStatic : public QWidget {
    Q_OBJECT
public:
    explicit CLBToRTStatic(QWidget* parent = nullptr);
    void setText(const QString& text);
    const QString& text() const { return text_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

// Document update hints.
inline constexpr int kHintAll = 0;
inline constexpr int kHintHeaders = 1;
inline constexpr int kHintTables = 2;

// A table view: one grid of the view's flavour with a caption above (the
// column axis) and one left of it (the row axis), the shared grid font, and
// Ctrl+arrow keys for the partner chart.
class CZamoGridView : public QWidget, public grid::GridNotifyTarget {
    Q_OBJECT
public:
    explicit CZamoGridView(const ViewContext& context, GridFlavour flavour = GridFlavour::Value,
                           QWidget* parent = nullptr);
    ~CZamoGridView() override;

    grid::CValueGridCtrl& Grid() { return *grid_; }
    void SetPartnerChart(PartnerChart* chart) { partner_ = chart; }
    PartnerChart* GetPartnerChart() const { return partner_; }

    // Where the port worker's reports for this view's jobs go; they arrive
    // on the UI thread as OnBoxEvent.
    platform::MessageTarget& PortTarget() { return portTarget_; }
    virtual void OnBoxEvent(uint32_t /*code*/, intptr_t /*lParam*/) {}

    // Editing off while a transfer or online mode runs (the focus cell and
    // the selection are kept for later), on again afterwards.
    virtual void EnableGridEditing(bool enable);

    virtual const uint8_t* GetDisplayedTable() const { return displayedTable_; }
    virtual QSize GetIdealSize() const;
    // The width Adjust Pane gives the view, the grid's full height.
    QSize sizeHint() const override;
    virtual void OnGridFontChanged(const QFont& font);
    // The document changed (hint 0 all, 1 headers, 2 tables).
    virtual void OnUpdate(int hint);

    // A compare: the cells of the shown table whose bytes `other` holds
    // differently are marked (null: none) until the next edit or transfer.
    void MarkDifferences(std::shared_ptr<const CMorvexDoc> other);
    int MarkedDifferences() const { return static_cast<int>(marked_.size()); }
    static constexpr grid::ColorRef kDifferenceBack = grid::Rgb(255, 160, 64);

    // Adjust Pane: asks the pane for the width this view needs.
    void AdjustPane();
    QString ColumnCaption() const;
    QString RowCaption() const;

    int GridNotify(int code, int row, int column) override;

signals:
    // The pane should give the grid column this width (Adjust Pane).
    void idealWidthChanged(int width);
    // An edit changed the document (the title shows it unsaved).
    void documentEdited();

protected:
    void SetCaptions(const QString& column, const QString& row);
    // Marks the shown grid's cells that differ from the compared document
    // (again after the view shows another grid).
    void ApplyDifferenceMarks();
    // The cells of the shown grid whose stored values `other` holds
    // differently; views without box tables have none.
    virtual std::vector<grid::CCellID> DifferingCells(const CMorvexDoc& /*other*/) const { return {}; }
    // The background a data cell rests on: the compare mark, else the
    // grid's default (kColorDefault). A view with lasting marks of its own
    // adds them here, so passing marks (the live trail) give them back.
    virtual grid::ColorRef RestingBack(const grid::CCellID& cell) const;
    // Gives the cell the background it should show now (not redrawn);
    // views with marks of their own on top (the live cell) override it.
    virtual void RestoreCellBack(const grid::CCellID& cell);
    // "<grid>: <axis label> <axis unit>" above (throttle) and left of the
    // grid (revolutions).
    void SetAxisCaptions(const QString& gridName);
    // Texts of the labels file, shown as UTF-8.
    QString GridLabelText(GridLabel label) const;
    QString AxisText(Channel channel) const;
    // The width the pane should give this view (ideal width plus a scroll
    // bar when the height does not fit).
    int AdjustedWidth() const;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void LayoutChildren(int width, int height);
    int CaptionHeight() const { return captionHeight_; }
    // The chart's column of a grid column.
    virtual int ChartColumnOf(int column) const { return column - 1; }
    // The steps every table view takes when a transfer starts (editing off,
    // the chart animates) and when one ends (editing on again, the chart
    // still).
    void TransferStarted();
    void TransferEnded();

    ViewContext context_;
    grid::CValueGridCtrl* grid_;
    CLBToRTStatic* rowCaption_;
    QLabel* columnCaption_;
    PartnerChart* partner_ = nullptr;
    const uint8_t* displayedTable_ = nullptr;
    grid::CCellID rememberedFocus_{1, 1};
    grid::CCellRange rememberedSelection_{1, 1, 1, 1};
    int captionHeight_ = 0;
    bool adjustQueued_ = false;

private:
    platform::QueuedMessageTarget portTarget_;
    std::shared_ptr<const CMorvexDoc> compared_;
    std::vector<grid::CCellID> marked_;
};

} // namespace morvex::views
