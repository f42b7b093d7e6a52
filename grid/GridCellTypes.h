#pragma once

#include "grid/GridCell.h"

namespace morvex::grid {

// A whole-number value cell, 0..250 unless configured otherwise. Its editor
// checks every keystroke against the limits.
class CGridCelll250 : public CGridCell {
public:
    CGridCelll250();

    bool GetLeftMarker() const { return leftMarker_; }
    void SetLeftMarker(bool on) { leftMarker_ = on; }
    bool GetRightMarker() const { return rightMarker_; }
    void SetRightMarker(bool on) { rightMarker_ = on; }
    bool IsSigned() const { return signed_; }
    void SetSigned(bool on) { signed_ = on; }
    double GetMaximum() const { return maximum_; }
    void SetMaximum(double value) { maximum_ = value; }
    double GetMinimum() const { return minimum_; }
    void SetMinimum(double value) { minimum_ = value; }
    // The print format of the value ("%d"), used by the owning view and by
    // the stepping of the index and function grids.
    const QString& GetValueFormat() const { return valueFormat_; }
    void SetValueFormat(const QString& format) { valueFormat_ = format; }
    // The cell is never narrower or lower than this text.
    const QString& GetSample() const { return sample_; }
    void SetSample(const QString& sample) { sample_ = sample; }

    bool Draw(QPainter& painter, int row, int col, const QRect& rect, bool eraseBkgnd = true) override;
    QSize GetCellExtent() override;

protected:
    CellLook GetLook(int row, int col) const override;
    CInPlaceEdit* CreateEditor(int row, int col, const QRect& rect, EditStart start) override;

private:
    bool leftMarker_ = false;
    bool rightMarker_ = false;
    bool signed_ = false;
    double maximum_ = 250.0;
    double minimum_ = 0.0;
    QString valueFormat_ = QStringLiteral("%d");
    QString sample_ = QStringLiteral("188");
};

// A value cell with decimals ("%0.2f").
class CGridCellDouble : public CGridCelll250 {
public:
    CGridCellDouble();

    bool HasDecimals() const { return decimals_; }
    void SetDecimals(bool on) { decimals_ = on; }

protected:
    CInPlaceEdit* CreateEditor(int row, int col, const QRect& rect, EditStart start) override;

private:
    bool decimals_ = false;
};

// A free text cell with a maximum length.
class CGridCellText : public CGridCell {
public:
    CGridCellText();

    int GetMaxLength() const { return maxLength_; }
    void SetMaxLength(int length) { maxLength_ = length; }
    const QString& GetValueFormat() const { return valueFormat_; }
    void SetValueFormat(const QString& format) { valueFormat_ = format; }
    const QString& GetSample() const { return sample_; }
    void SetSample(const QString& sample) { sample_ = sample; }

    QSize GetCellExtent() override;

protected:
    CInPlaceEdit* CreateEditor(int row, int col, const QRect& rect, EditStart start) override;

private:
    int maxLength_ = 40;
    QString valueFormat_ = QStringLiteral("%s");
    QString sample_ = QStringLiteral("888");
};

// A value cell with a label drawn in its left part (the axis text of a
// curve point); the value is edited right of the label.
class CGridCellLabel : public CGridCell {
public:
    CGridCellLabel();

    virtual void SetLabelText(const QString& text);
    const QString& GetLabelText() const { return labelText_; }
    // The label's extent; the width is also where the value part starts.
    int GetLabelWidth() const { return labelWidth_; }
    void SetLabelWidth(int width) { labelWidth_ = width < 0 ? 0 : width; }
    int GetLabelHeight() const { return labelHeight_; }

    bool IsSigned() const { return signed_; }
    void SetSigned(bool on) { signed_ = on; }
    double GetMaximum() const { return maximum_; }
    void SetMaximum(double value) { maximum_ = value; }
    double GetMinimum() const { return minimum_; }
    void SetMinimum(double value) { minimum_ = value; }
    const QString& GetValueFormat() const { return valueFormat_; }
    void SetValueFormat(const QString& format) { valueFormat_ = format; }
    const QString& GetSample() const { return sample_; }
    void SetSample(const QString& sample) { sample_ = sample; }
    bool GetLeftMarker() const { return leftMarker_; }
    void SetLeftMarker(bool on) { leftMarker_ = on; }
    bool GetRightMarker() const { return rightMarker_; }
    void SetRightMarker(bool on) { rightMarker_ = on; }

    bool Draw(QPainter& painter, int row, int col, const QRect& rect, bool eraseBkgnd = true) override;
    QSize GetCellExtent() override;
    // Extent of the value part alone (text or sample, padded).
    QSize GetValueExtent() const;

protected:
    CellLook GetLook(int row, int col) const override;
    CInPlaceEdit* CreateEditor(int row, int col, const QRect& rect, EditStart start) override;

private:
    bool signed_ = false;
    double maximum_ = 250.0;
    double minimum_ = 0.0;
    QString valueFormat_ = QStringLiteral("%d");
    QString sample_ = QStringLiteral("188");
    QString labelText_;
    int labelWidth_ = 0;
    int labelHeight_ = 0;
    bool leftMarker_ = false;
    bool rightMarker_ = false;
};

} // namespace morvex::grid
