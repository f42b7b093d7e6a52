#include "grid/InPlaceEdit.h"

#include "grid/GridCtrl.h"
#include "grid/GridFormat.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace morvex::grid {

namespace {

constexpr char16_t kBackspace = 8;
constexpr char16_t kDeleteMark = 0x7F; // Delete, which types nothing
constexpr char16_t kPasteChar = 0x16;  // Ctrl+V
constexpr char16_t kCutChar = 0x18;    // Ctrl+X

bool IsNavigationKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right ||
           key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

} // namespace

QChar TypedChar(const QKeyEvent& event)
{
    const int key = event.key();
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (key == Qt::Key_Backspace) {
        return QChar(kBackspace);
    }
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return QChar(static_cast<char16_t>(key - Qt::Key_A + 1));
    }
    const QString text = event.text();
    if (text.isEmpty() || key == Qt::Key_Delete) {
        return {};
    }
    return text.front();
}

CInPlaceEdit::CInPlaceEdit(CGridCtrl& grid, const QRect& rect, unsigned format, int row, int col, const QString& text,
                           EditStart start)
    : QLineEdit(grid.viewport()), grid_(grid), row_(row), col_(col), initialText_(text),
      exitOnArrows_(start == EditStart::TypedKey)
{
    setFrame(false);
    setAlignment(Qt::Alignment(static_cast<int>(format & Qt::AlignHorizontal_Mask)) | Qt::AlignVCenter);
    // Pasting and dropping would bypass the keystroke checks; the grid's
    // own clipboard commands go through its owner instead.
    setContextMenuPolicy(Qt::NoContextMenu);
    setDragEnabled(false);
    setAcceptDrops(false);
    setText(text);
    setGeometry(rect);
    if (start == EditStart::TypedKey) {
        selectAll();
    } else {
        deselect();
        setCursorPosition(static_cast<int>(text.size()));
    }
}

CInPlaceEdit::~CInPlaceEdit() = default;

void CInPlaceEdit::EndEdit()
{
    Finish(0, Qt::NoModifier);
}

void CInPlaceEdit::Finish(int key, Qt::KeyboardModifiers modifiers)
{
    if (ending_) {
        return;
    }
    ending_ = true;
    lastKey_ = key;
    lastModifiers_ = modifiers;
    grid_.OnEditorFinished(this);
}

void CInPlaceEdit::PassCharToGrid(QChar ch, Qt::KeyboardModifiers modifiers)
{
    Finish(ch.unicode(), modifiers);
    grid_.OnEditorChar(ch, modifiers);
}

void CInPlaceEdit::Beep()
{
    grid_.Beep();
}

bool CInPlaceEdit::focusNextPrevChild(bool)
{
    return false; // Tab ends the edit instead of leaving the widget
}

void CInPlaceEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Switching to another application or opening a popup keeps the edit.
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        EndEdit();
    }
}

void CInPlaceEdit::keyPressEvent(QKeyEvent* event)
{
    if (!ending_) {
        HandleKey(event);
    }
    // Every key is the editor's: one passed on would come back through the
    // grid, which hands keys to its editor.
    event->accept();
}

void CInPlaceEdit::HandleKey(QKeyEvent* event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (event->matches(QKeySequence::Paste)) {
        OnChar(QChar(kPasteChar), event);
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        OnChar(QChar(kCutChar), event);
        return;
    }
    switch (key) {
    case Qt::Key_Escape:
        setText(initialText_);
        Finish(Qt::Key_Escape, mods);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter: Finish(Qt::Key_Return, mods); return;
    case Qt::Key_Tab: Finish(Qt::Key_Tab, mods); return;
    case Qt::Key_Backtab: Finish(Qt::Key_Tab, mods | Qt::ShiftModifier); return;
    case Qt::Key_F2:
        exitOnArrows_ = !exitOnArrows_;
        if (exitOnArrows_) {
            selectAll();
        } else {
            deselect();
            setCursorPosition(static_cast<int>(text().size()));
        }
        return;
    case Qt::Key_Delete: OnDeleteKey(event); return;
    default: break;
    }
    if (IsNavigationKey(key)) {
        if (exitOnArrows_ || (mods & Qt::ControlModifier)) {
            Finish(key, mods);
        } else if (key == Qt::Key_Left || key == Qt::Key_Right) {
            QLineEdit::keyPressEvent(event);
        }
        return;
    }
    const QChar ch = TypedChar(*event);
    if (!ch.isNull()) {
        OnChar(ch, event);
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CInPlaceEdit::OnChar(QChar, QKeyEvent* event)
{
    QLineEdit::keyPressEvent(event);
    GrowToText();
}

void CInPlaceEdit::OnDeleteKey(QKeyEvent* event)
{
    QLineEdit::keyPressEvent(event);
}

void CInPlaceEdit::GrowToText()
{
    const QFontMetrics metrics(font());
    const QMargins margins = textMargins();
    // 4: the line edit's own padding around the text.
    const int wanted = metrics.horizontalAdvance(text() + QStringLiteral("  ")) + margins.left() + margins.right() + 4;
    if (wanted <= width()) {
        return;
    }
    const QWidget* area = parentWidget();
    const int right = area != nullptr ? area->width() : x() + wanted;
    const int newWidth = std::min(wanted, right - x());
    if (newWidth > width()) {
        resize(newWidth, height());
    }
}

CInPlaceEdit::Snapshot CInPlaceEdit::Take() const
{
    Snapshot snapshot;
    snapshot.text = text();
    snapshot.cursor = cursorPosition();
    if (hasSelectedText()) {
        snapshot.selStart = selectionStart();
        snapshot.selLength = static_cast<int>(selectedText().size());
    }
    return snapshot;
}

void CInPlaceEdit::Restore(const Snapshot& snapshot)
{
    setText(snapshot.text);
    if (snapshot.selLength > 0) {
        if (snapshot.cursor == snapshot.selStart) {
            setSelection(snapshot.selStart + snapshot.selLength, -snapshot.selLength);
        } else {
            setSelection(snapshot.selStart, snapshot.selLength);
        }
    } else {
        setCursorPosition(snapshot.cursor);
    }
}

void CNumericInPlaceEdit::OnChar(QChar ch, QKeyEvent* event)
{
    const char16_t c = ch.unicode();
    const bool sign = c == u'+' || c == u'-';
    if (c == u'*' || c == u'_' || (sign && !signed_)) {
        PassCharToGrid(ch, event->modifiers());
        return;
    }
    const bool digit = c >= u'0' && c <= u'9';
    if (!digit && c >= 9 && !sign && !IsExtraChar(ch)) {
        Beep();
        return;
    }
    ApplyKey(ch, event);
}

void CNumericInPlaceEdit::OnDeleteKey(QKeyEvent* event)
{
    // Checked like a typed key: Delete must not leave a value out of range.
    ApplyKey(QChar(kDeleteMark), event);
}

void CNumericInPlaceEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // Composed input would bypass the keystroke checks.
    if (!event->commitString().isEmpty()) {
        Beep();
    }
    event->accept();
}

void CNumericInPlaceEdit::ApplyKey(QChar ch, QKeyEvent* event)
{
    const Snapshot before = Take();
    QLineEdit::keyPressEvent(event);
    const char16_t c = ch.unicode();
    if (c < 9 && c != kBackspace && text() == before.text) {
        return; // copy, select all: nothing typed, caret and selection stay
    }
    if (!AcceptText(ch, before)) {
        Beep();
        Restore(before);
        return;
    }
    GrowToText();
}

bool CNumericInPlaceEdit::IsExtraChar(QChar) const
{
    return false;
}

bool CNumericInPlaceEdit::CheckSigns(const QString& text, bool& negate) const
{
    negate = false;
    int count = 0;
    qsizetype position = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')) {
            ++count;
            position = i;
        }
    }
    if (count == 0) {
        return true;
    }
    if (!signed_ || count > 1) {
        return false;
    }
    if (position == 0) {
        return true;
    }
    if (position == text.size() - 1 && text[position] == QLatin1Char('-')) {
        negate = true;
        return true;
    }
    return false;
}

bool CNumericInPlaceEdit::InRange(double value) const
{
    if (value > maximum_) {
        return false;
    }
    // A number short of a positive minimum can still grow into range with
    // further digits; the owner limits the value when the edit ends.
    if (value < minimum_ && !(minimum_ > 0.0 && value >= 0.0)) {
        return false;
    }
    return true;
}

bool CNumericInPlaceEdit::AcceptText(QChar ch, const Snapshot& before)
{
    const QString current = text();
    bool negate = false;
    if (!CheckSigns(current, negate)) {
        return false;
    }
    double value = ParseLeadingInt(current);
    if (!InRange(value)) {
        return false;
    }
    if (current.isEmpty() || current == QLatin1String("-")) {
        return true;
    }
    if (negate) {
        value = -value;
    }
    const QString printed = FormatValue(format_, value);
    setText(printed);
    const int caret = ch.unicode() == kDeleteMark ? before.Start() : before.Start() + 1;
    setCursorPosition(std::clamp(caret, 0, static_cast<int>(printed.size())));
    return true;
}

CDoubleInPlaceEdit::CDoubleInPlaceEdit(CGridCtrl& grid, const QRect& rect, unsigned format, int row, int col,
                                       const QString& text, EditStart start)
    : CNumericInPlaceEdit(grid, rect, format, row, col, text, start)
{
    SetValueFormat(QStringLiteral("%0.2f"));
}

void CDoubleInPlaceEdit::keyPressEvent(QKeyEvent* event)
{
    const bool keypadSeparator = (event->modifiers() & Qt::KeypadModifier) &&
                                 (event->key() == Qt::Key_Comma || event->key() == Qt::Key_Period);
    // Typed where the rewritten text already has its separator ("1|.00"
    // after a "1"), the separator steps over it, so that "1.05" can be
    // typed from left to right.
    if (decimals_ && (keypadSeparator || event->text() == QString(kDecimalSeparator)) && !hasSelectedText() &&
        text().indexOf(kDecimalSeparator) == cursorPosition()) {
        setCursorPosition(cursorPosition() + 1);
        event->accept();
        return;
    }
    // The keypad's decimal key types the program's separator whatever the
    // keyboard layout says.
    if (keypadSeparator) {
        QKeyEvent separator(event->type(), Qt::Key_Period, event->modifiers(), QString(kDecimalSeparator));
        CNumericInPlaceEdit::keyPressEvent(&separator);
        event->accept();
        return;
    }
    CNumericInPlaceEdit::keyPressEvent(event);
}

bool CDoubleInPlaceEdit::IsExtraChar(QChar ch) const
{
    return decimals_ && ch == kDecimalSeparator;
}

bool CDoubleInPlaceEdit::AcceptText(QChar ch, const Snapshot& before)
{
    const QString current = text();
    bool negate = false;
    if (!CheckSigns(current, negate)) {
        return false;
    }
    if (current.count(kDecimalSeparator) > 1) {
        return false;
    }
    double value = ParseLeadingDouble(current);
    if (!InRange(value)) {
        return false;
    }
    if (negate) {
        value = -value;
    }
    const QString printed = FormatValue(GetValueFormat(), value);
    setText(printed);
    int caret = before.Start() + 1;
    if (ch == kDecimalSeparator) {
        const qsizetype separator = printed.indexOf(kDecimalSeparator);
        caret = separator >= 0 ? static_cast<int>(separator) + 1 : caret;
    } else if (ch.unicode() == kBackspace) {
        caret = before.Start() - 1;
    } else if (ch.unicode() == kDeleteMark) {
        caret = before.Start();
    }
    setCursorPosition(std::clamp(caret, 0, static_cast<int>(printed.size())));
    return true;
}

CTextInPlaceEdit::CTextInPlaceEdit(CGridCtrl& grid, const QRect& rect, unsigned format, int row, int col,
                                   const QString& text, EditStart start)
    : CInPlaceEdit(grid, rect, format, row, col, text, start)
{
}

void CTextInPlaceEdit::OnChar(QChar, QKeyEvent* event)
{
    const Snapshot before = Take();
    QLineEdit::keyPressEvent(event);
    if (text().size() > maxLength_) {
        Beep();
        Restore(before);
        return;
    }
    GrowToText();
}

void CTextInPlaceEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const Snapshot before = Take();
    QLineEdit::inputMethodEvent(event);
    if (text().size() > maxLength_) {
        Beep();
        Restore(before);
        return;
    }
    GrowToText();
}

} // namespace morvex::grid
