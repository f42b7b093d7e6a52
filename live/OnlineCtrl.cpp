#include "live/OnlineCtrl.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace morvex::live {

namespace {

constexpr int kCaptionId = 1001;
constexpr int kUnitId = 1002;
constexpr int kDisplayId = 1003;

QMargins marginsAt(const std::array<int, 12>& m, std::size_t group)
{
    return {m[group * 4], m[group * 4 + 1], m[group * 4 + 2], m[group * 4 + 3]};
}

QString toQt(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

CDisplayCtrl::CDisplayCtrl(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
}

void CDisplayCtrl::SetText(const QString& text)
{
    if (text != text_) {
        text_ = text;
        update();
    }
}

void CDisplayCtrl::SetColours(const QColor& text, const QColor& back)
{
    if (text != textColour_ || back != backColour_) {
        textColour_ = text;
        backColour_ = back;
        update();
    }
}

void CDisplayCtrl::paintEvent(QPaintEvent* event)
{
    // Qt's backing store already double-buffers: the background and the
    // digits reach the screen together.
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), backColour_);
        painter.setPen(textColour_);
        painter.setFont(font());
        painter.drawText(contentsRect().marginsRemoved(inner_), Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip,
                         text_);
    }
    QFrame::paintEvent(event);
}

COnlineCtrl::COnlineCtrl(int id, QWidget* parent)
    : QWidget(parent), caption_(new QLabel(this)), unit_(new QLabel(this)), display_(new CDisplayCtrl(this))
{
    setObjectName(QString::number(id));
    caption_->setObjectName(QString::number(kCaptionId));
    unit_->setObjectName(QString::number(kUnitId));
    display_->setObjectName(QString::number(kDisplayId));
    unit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    unit_->setAutoFillBackground(true);
    display_->SetText(QString::fromStdString(state_.Text()));
    blink_.setInterval(kBlinkMilliseconds);
    connect(&blink_, &QTimer::timeout, this, [this] {
        state_.ToggleBlink();
        ShowUnitArea();
    });
    SetMargins(margins_);
    ShowUnitArea();
}

void COnlineCtrl::SetCaption(const QString& caption)
{
    caption_->setText(caption);
}

void COnlineCtrl::SetUnit(const QString& unit)
{
    state_.SetUnit(unit.toStdString());
    ShowUnitArea();
}

void COnlineCtrl::SetSizingSample(const QString& sample)
{
    sample_ = sample;
}

void COnlineCtrl::SetValueFont(const QFont& font)
{
    display_->setFont(font);
    PlaceChildren();
}

QString COnlineCtrl::Caption() const
{
    return caption_->text();
}

QFont COnlineCtrl::ValueFont() const
{
    return display_->font();
}

void COnlineCtrl::SetTextColour(ColorRef colour)
{
    textColour_ = colour;
    ShowUnitArea();
}

void COnlineCtrl::SetBackColour(ColorRef colour)
{
    backColour_ = colour;
    ShowUnitArea();
}

void COnlineCtrl::SetErrorColours(const QColor& text, const QColor& back)
{
    errorText_ = text;
    errorBack_ = back;
    ShowUnitArea();
}

void COnlineCtrl::SetMargins(const std::array<int, 12>& margins)
{
    margins_ = margins;
    display_->SetInnerMargins(marginsAt(margins_, 2));
    PlaceChildren();
}

void COnlineCtrl::SetRange(double minimum, double maximum, const QString& underText, const QString& overText)
{
    state_.SetRange(minimum, maximum, underText.toStdString(), overText.toStdString());
    StateChanged();
}

void COnlineCtrl::EnableRangeChecking(bool on)
{
    state_.EnableRangeChecking(on);
    StateChanged();
}

void COnlineCtrl::SetValue(const QString& text, std::optional<double> value)
{
    state_.SetValue(text.toStdString(), value);
    display_->SetText(text);
    StateChanged();
}

void COnlineCtrl::SetMessage(const QString& text)
{
    state_.SetMessage(text.toStdString());
    StateChanged();
}

void COnlineCtrl::EndMessage()
{
    if (state_.MessageShown()) {
        state_.EndMessage();
        StateChanged();
    }
}

QString COnlineCtrl::ValueText() const
{
    return display_->Text();
}

QString COnlineCtrl::UnitAreaText() const
{
    return toQt(state_.UnitAreaText());
}

void COnlineCtrl::StateChanged()
{
    if (state_.Blinking()) {
        if (!blink_.isActive()) {
            blink_.start();
        }
    } else {
        blink_.stop();
    }
    ShowUnitArea();
}

QColor COnlineCtrl::NormalText() const
{
    return colourOf(textColour_, palette().color(QPalette::WindowText));
}

QColor COnlineCtrl::NormalBack() const
{
    return colourOf(backColour_, palette().color(QPalette::Window));
}

void COnlineCtrl::ShowUnitArea()
{
    // Values arrive many times a second; only a change of colour or text
    // costs a repaint.
    const bool error = state_.ErrorColours();
    const QColor text = error ? errorText_ : NormalText();
    const QColor back = error ? errorBack_ : NormalBack();
    QPalette colours = unit_->palette();
    if (colours.color(QPalette::WindowText) != text || colours.color(QPalette::Window) != back) {
        colours.setColor(QPalette::WindowText, text);
        colours.setColor(QPalette::Window, back);
        unit_->setPalette(colours);
    }
    const QString unitText = toQt(state_.UnitAreaText());
    if (unit_->text() != unitText) {
        unit_->setText(unitText);
        PlaceChildren();
    }
    QPalette captionColours = caption_->palette();
    if (captionColours.color(QPalette::WindowText) != NormalText()) {
        captionColours.setColor(QPalette::WindowText, NormalText());
        caption_->setPalette(captionColours);
    }
    display_->SetColours(NormalText(), NormalBack());
}

QSize COnlineCtrl::PreferredSize() const
{
    const QMargins label = marginsAt(margins_, 0);
    const QMargins outer = marginsAt(margins_, 1);
    const QMargins inner = marginsAt(margins_, 2);
    const QFontMetrics captionMetrics(caption_->font());
    // The unit area holds the unit and the transfer message; a longer range
    // text covers the caption while it blinks (PlaceChildren), so the
    // column need not be as wide as the longest error text.
    const int unitWidth = std::max(captionMetrics.horizontalAdvance(toQt(state_.Unit())),
                                   captionMetrics.horizontalAdvance(QString::fromLatin1(kTransferText)));
    const int labelRow = captionMetrics.height() + label.top() + label.bottom();
    const int labelWidth =
        label.left() + captionMetrics.horizontalAdvance(caption_->text()) + label.right() + unitWidth + label.right();

    const QFontMetrics valueMetrics(display_->font());
    const int frame = 2 * display_->frameWidth();
    const int valueWidth = valueMetrics.horizontalAdvance(sample_) + inner.left() + inner.right() + frame;
    const int valueHeight = valueMetrics.height() + inner.top() + inner.bottom() + frame;
    return {std::max(labelWidth, outer.left() + valueWidth + outer.right()),
            labelRow + outer.top() + valueHeight + outer.bottom()};
}

void COnlineCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceChildren();
}

void COnlineCtrl::PlaceChildren()
{
    const QMargins label = marginsAt(margins_, 0);
    const QMargins outer = marginsAt(margins_, 1);
    const int rowHeight = QFontMetrics(caption_->font()).height();
    const int half = width() / 2;
    caption_->setGeometry(label.left(), label.top(), half - label.left(), rowHeight);
    // A text wider than the right half (an error text) grows to the left
    // over the caption, as far as the row goes.
    const int right = width() - label.right();
    const int needed = QFontMetrics(unit_->font()).horizontalAdvance(unit_->text()) + label.right();
    const int left = std::clamp(right - needed, label.left(), std::max(label.left(), half));
    unit_->setGeometry(left, label.top(), right - left, rowHeight);
    const int top = label.top() + rowHeight + label.bottom() + outer.top();
    display_->setGeometry(outer.left(), top, width() - outer.left() - outer.right(),
                          std::max(0, height() - top - outer.bottom()));
}

} // namespace morvex::live
