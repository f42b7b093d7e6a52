#include "live/OnlineView.h"

#include "comm/PortCodes.h"
#include "document/BoxLayout.h"
#include "document/MorvexDoc.h"
#include "live/OnlineCtrl.h"
#include "platform/Encoding.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QFrame>
#include <QLocale>
#include <QScrollBar>
#include <QStyle>

#include <cmath>

namespace morvex::live {

namespace {

constexpr int kFirstSeparatorId = 1101;
constexpr int kFontCommand = 1214;
constexpr int kColorCommand = 1215;
constexpr const char* kPreviewSample = "18,888";

QString fromFile(const std::string& text)
{
    return QString::fromStdString(platform::cp1252ToUtf8(text));
}

// The value font as the program ships it: the default font 48 pixels high.
QFont defaultValueFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(48);
    return font;
}

} // namespace

COnlineView::COnlineView(const OnlineViewContext& context, QWidget* parent)
    : QScrollArea(parent), context_(context),
      values_(*context.adapt, *context.limits, *context.labels, context.sensors), canvas_(new QWidget),
      portTarget_(
          [this](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
              if (message == comm::WM_PORT_NOTIFY) {
                  OnBoxEvent(static_cast<uint32_t>(wParam), lParam);
              }
              return 0;
          },
          this)
{
    values_.SetGroupSeparator(QLocale().groupSeparator().toStdString());
    smallFont_ = defaultValueFont();
    bigFont_ = smallFont_;
    bigFont_.setPixelSize(smallFont_.pixelSize() * 3 / 2);

    for (int k = 0; k < kDisplayCount; ++k) {
        const DisplayInfo& info = displayInfo(static_cast<Display>(k));
        auto* control = new COnlineCtrl(kFirstDisplayId + k, canvas_);
        control->SetCaption(fromFile(context_.labels->label(info.channel)));
        control->SetUnit(fromFile(context_.labels->unit(info.channel)));
        const LimitRecord& limit = context_.limits->record(info.limit);
        control->SetRange(limit.minimum, limit.maximum, fromFile(limit.minimumErrorText),
                          fromFile(limit.maximumErrorText));
        control->SetSizingSample(QString::fromLatin1(info.sample));
        control->SetValueFont(static_cast<Display>(k) <= Display::Tps ? bigFont_ : smallFont_);
        controls_[static_cast<std::size_t>(k)] = control;
    }
    for (std::size_t k = 0; k < separators_.size(); ++k) {
        auto* separator = new QFrame(canvas_);
        separator->setObjectName(QString::number(kFirstSeparatorId + static_cast<int>(k)));
        separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
        separators_[k] = separator;
    }
    ApplyMargins();
    // CO is kept up to date but has no place in the column.
    Control(Display::Co).hide();
    for (const DisplayUpdate& update : values_.LambdaUpdates()) {
        Apply(update);
    }

    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(kFlushMilliseconds);
    connect(&flushTimer_, &QTimer::timeout, this, &COnlineView::Flush);

    setWidget(canvas_);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Layout();
}

COnlineView::~COnlineView() = default;

BoxSettings COnlineView::ReadBoxSettings() const
{
    BoxSettings box;
    if (context_.doc == nullptr) {
        return box;
    }
    // The first two left entries of the special function table, then the
    // box's rpm limit word (high byte first).
    const std::span<const uint8_t> bytes = std::as_const(*context_.doc).BoxSpan(box::TAB_SFD1, 4);
    if (bytes.size() < 4) {
        return box;
    }
    box.fuelA = bytes[0];
    box.fuelB = bytes[1];
    box.revolutionLimit = static_cast<uint16_t>(bytes[2] << 8 | bytes[3]);
    return box;
}

void COnlineView::OnBoxEvent(uint32_t code, intptr_t lParam)
{
    const int command = static_cast<int>(lParam & 0xFFFF);
    const auto raw = static_cast<uint16_t>((lParam >> 16) & 0xFFFF);
    switch (code) {
    case comm::PT_ONLINE_STARTED:
    case comm::PT_ONLINE_ENDED:
    case comm::PT_ABORTED:
        Flush();
        online_ = code == comm::PT_ONLINE_STARTED;
        for (COnlineCtrl* control : controls_) {
            control->EndMessage();
            control->EnableRangeChecking(online_);
        }
        break;
    case comm::PT_LIVE_VALUE: Queue(values_.OnValue(command, raw, ReadBoxSettings())); break;
    case comm::PT_LIVE_FAILED: Queue(values_.OnFailed(command, ReadBoxSettings())); break;
    default: break;
    }
}

void COnlineView::OnLambdaSensorChanged()
{
    Queue(values_.LambdaUpdates());
}

void COnlineView::Queue(std::vector<DisplayUpdate> updates)
{
    if (updates.empty()) {
        return;
    }
    pending_.insert(pending_.end(), std::make_move_iterator(updates.begin()), std::make_move_iterator(updates.end()));
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void COnlineView::Flush()
{
    flushTimer_.stop();
    if (pending_.empty()) {
        return;
    }
    ++flushCount_;
    for (const DisplayUpdate& update : pending_) {
        Apply(update);
    }
    pending_.clear();
}

void COnlineView::Apply(const DisplayUpdate& update)
{
    COnlineCtrl& control = Control(update.display);
    switch (update.kind) {
    case DisplayUpdate::Kind::Value: control.SetValue(QString::fromStdString(update.text), update.value); break;
    case DisplayUpdate::Kind::Message: control.SetMessage(QString::fromStdString(update.text)); break;
    case DisplayUpdate::Kind::EndMessage: control.EndMessage(); break;
    case DisplayUpdate::Kind::Range:
        control.SetRange(update.minimum, update.maximum, fromFile(update.underText), fromFile(update.overText));
        break;
    case DisplayUpdate::Kind::Unit: control.SetUnit(fromFile(update.text)); break;
    }
}

void COnlineView::Layout()
{
    QSize big = Control(Display::Rev).PreferredSize();
    QSize small = Control(Display::InjT).PreferredSize();
    int width = 2 * small.width();
    if (width < big.width()) {
        small.setWidth(static_cast<int>(std::lround(big.width() / 2.0)));
        width = 2 * small.width();
    }
    int y = 0;
    const auto full = [&](Display display) {
        Control(display).setGeometry(0, y, width, big.height());
        y += big.height();
    };
    const auto pair = [&](Display left, Display right) {
        Control(left).setGeometry(0, y, small.width(), small.height());
        Control(right).setGeometry(small.width(), y, small.width(), small.height());
        y += small.height();
    };
    const auto separator = [&](std::size_t k) {
        separators_[k]->setGeometry(0, y, width, kSeparatorHeight);
        y += kSeparatorHeight;
    };
    full(Display::Rev);
    full(Display::Tps);
    separator(0);
    pair(Display::InjP, Display::InjT);
    pair(Display::Fc, Display::Aps);
    separator(1);
    pair(Display::Mts, Display::Ats);
    pair(Display::LsL, Display::LsR);
    separator(2);
    pair(Display::Sup, Display::Its);
    layoutSize_ = QSize(width, y);
    canvas_->setFixedSize(layoutSize_);
    updateGeometry();
}

void COnlineView::ApplyMargins()
{
    // Offsets the limits file leaves out keep the displays' own.
    const DisplayControl& offsets = context_.limits->displayControl();
    std::array<int, 12> margins{2, 1, 1, 1, 1, 0, 1, 1, 0, -1, 1, 1};
    const std::array<const std::array<int, 4>*, 3> groups{&offsets.labelOffset, &offsets.displayOffset,
                                                          &offsets.innerDisplayOffset};
    for (std::size_t g = 0; g < groups.size(); ++g) {
        for (std::size_t i = 0; i < 4; ++i) {
            if ((*groups[g])[i] != DisplayControl::kAbsent) {
                margins[4 * g + i] = (*groups[g])[i];
            }
        }
    }
    for (COnlineCtrl* control : controls_) {
        control->SetMargins(margins);
    }
}

void COnlineView::SetValueFont(const QFont& font)
{
    smallFont_ = font;
    bigFont_ = font;
    if (font.pixelSize() > 0) {
        bigFont_.setPixelSize(static_cast<int>(std::lround(font.pixelSize() * 1.5)));
    } else {
        bigFont_.setPointSizeF(font.pointSizeF() * 1.5);
    }
    for (int k = 0; k < kDisplayCount; ++k) {
        controls_[static_cast<std::size_t>(k)]->SetValueFont(static_cast<Display>(k) <= Display::Tps ? bigFont_
                                                                                                      : smallFont_);
    }
    Layout();
    emit LayoutChanged();
}

void COnlineView::SetColours(const std::array<ColorRef, kDisplayCount>& text,
                             const std::array<ColorRef, kDisplayCount>& back)
{
    for (std::size_t k = 0; k < controls_.size(); ++k) {
        controls_[k]->SetTextColour(text[k]);
        controls_[k]->SetBackColour(back[k]);
    }
}

void COnlineView::BeginPreview()
{
    if (online_ || InPreview()) {
        return;
    }
    Flush();
    for (COnlineCtrl* control : controls_) {
        previewTexts_.push_back(control->ValueText());
        control->EnableRangeChecking(true);
        control->SetValue(QString::fromLatin1(kPreviewSample), 18888.0);
    }
}

void COnlineView::EndPreview()
{
    if (!InPreview()) {
        return;
    }
    for (std::size_t k = 0; k < controls_.size(); ++k) {
        controls_[k]->EnableRangeChecking(false);
        controls_[k]->SetValue(previewTexts_[k], std::nullopt);
    }
    previewTexts_.clear();
}

void COnlineView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(tr("&Font..."), this, [this] { emit command(kFontCommand); });
    menu.addAction(tr("&Color..."), this, [this] { emit command(kColorCommand); });
    menu.exec(event->globalPos());
}

QSize COnlineView::sizeHint() const
{
    const int frame = 2 * frameWidth();
    int width = layoutSize_.width() + frame;
    if (layoutSize_.height() > viewport()->height()) {
        width += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    }
    return {width, layoutSize_.height() + frame};
}

} // namespace morvex::live
