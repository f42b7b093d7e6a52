#pragma once

#include "grid/GridDefs.h"

#include <QLineEdit>

namespace morvex::grid {

class CGridCtrl;

// The single-line editor laid over a cell while it is edited. It keeps the
// text it started with and the key that ended it; the grid takes the text
// when editing ends and destroys the editor.
class CInPlaceEdit : public QLineEdit {
    Q_OBJECT

public:
    CInPlaceEdit(CGridCtrl& grid, const QRect& rect, unsigned format, int row, int col, const QString& text,
                 EditStart start);
    ~CInPlaceEdit() override;

    int GetRow() const { return row_; }
    int GetCol() const { return col_; }
    const QString& GetInitialText() const { return initialText_; }
    // The key that ended editing (Qt::Key_Return, Qt::Key_Tab, an arrow,
    // the stepping character ...), 0 when focus loss ended it.
    int GetLastKey() const { return lastKey_; }
    Qt::KeyboardModifiers GetLastModifiers() const { return lastModifiers_; }
    bool ExitsOnArrows() const { return exitOnArrows_; }
    bool IsEnding() const { return ending_; }

    // Ends editing with the current text, as focus loss does.
    void EndEdit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

    // A key that types a character (after Esc, Enter, Tab and the
    // navigation keys have been dealt with).
    virtual void OnChar(QChar ch, QKeyEvent* event);
    // Delete: a key that changes the text without typing anything.
    virtual void OnDeleteKey(QKeyEvent* event);

    void Beep();
    // Remembers the key and hands the focus back to the grid, which ends
    // the edit.
    void Finish(int key, Qt::KeyboardModifiers modifiers);
    // Ends the edit and hands a stepping character on to the grid.
    void PassCharToGrid(QChar ch, Qt::KeyboardModifiers modifiers);
    // Widens the editor to its text plus two blanks, never past the
    // grid's right edge and never narrower than it is.
    void GrowToText();

    // Text and selection before a key, to restore a rejected key.
    struct Snapshot {
        QString text;
        int cursor = 0;
        int selStart = -1;
        int selLength = 0;
        int Start() const { return selStart >= 0 ? selStart : cursor; }
    };
    Snapshot Take() const;
    void Restore(const Snapshot& snapshot);
    void HandleKey(QKeyEvent* event);

    CGridCtrl& grid_;

private:
    int row_;
    int col_;
    QString initialText_;
    int lastKey_ = 0;
    Qt::KeyboardModifiers lastModifiers_;
    bool exitOnArrows_;
    bool ending_ = false;
};

// Whole numbers within limits, checked on every keystroke.
class CNumericInPlaceEdit : public CInPlaceEdit {
    Q_OBJECT

public:
    using CInPlaceEdit::CInPlaceEdit;

    bool IsSigned() const { return signed_; }
    void SetSigned(bool on) { signed_ = on; }
    double GetMaximum() const { return maximum_; }
    void SetMaximum(double value) { maximum_ = value; }
    double GetMinimum() const { return minimum_; }
    void SetMinimum(double value) { minimum_ = value; }
    const QString& GetValueFormat() const { return format_; }
    void SetValueFormat(const QString& format) { format_ = format; }

protected:
    void OnChar(QChar ch, QKeyEvent* event) override;
    void OnDeleteKey(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

    // Characters this editor lets the line edit apply besides digits,
    // control characters and signs.
    virtual bool IsExtraChar(QChar ch) const;
    // Checks the text after an applied key; on success rewrites it and
    // places the caret. `ch` is the typed character (0x7F for Delete).
    virtual bool AcceptText(QChar ch, const Snapshot& before);

    // Sign rules of a signed editor; false when the text holds a sign
    // that is not allowed. `negate` is set for a trailing minus.
    bool CheckSigns(const QString& text, bool& negate) const;
    bool InRange(double value) const;
    void ApplyKey(QChar ch, QKeyEvent* event);

private:
    bool signed_ = false;
    double maximum_ = 250.0;
    double minimum_ = 0.0;
    QString format_ = QStringLiteral("%d");
};

// Numbers with an optional decimal separator; the text is always printed
// with the editor's format.
class CDoubleInPlaceEdit : public CNumericInPlaceEdit {
    Q_OBJECT

public:
    CDoubleInPlaceEdit(CGridCtrl& grid, const QRect& rect, unsigned format, int row, int col, const QString& text,
                       EditStart start);

    bool HasDecimals() const { return decimals_; }
    void SetDecimals(bool on) { decimals_ = on; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool IsExtraChar(QChar ch) const override;
    bool AcceptText(QChar ch, const Snapshot& before) override;

private:
    bool decimals_ = false;
};

// Free text up to a maximum length.
class CTextInPlaceEdit : public CInPlaceEdit {
    Q_OBJECT

public:
    CTextInPlaceEdit(CGridCtrl& grid, const QRect& rect, unsigned format, int row, int col, const QString& text,
                     EditStart start);

    int GetMaxLength() const { return maxLength_; }
    void SetMaxLength(int length) { maxLength_ = length; }
    const QString& GetValueFormat() const { return format_; }
    void SetValueFormat(const QString& format) { format_ = format; }

protected:
    void OnChar(QChar ch, QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    int maxLength_ = 250;
    QString format_ = QStringLiteral("%s");
};

} // namespace morvex::grid
