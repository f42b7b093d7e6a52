#include "shell/OnlineValuesPane.h"

#include "live/ColorPage.h"
#include "live/OnlineCtrl.h"
#include "live/OnlineView.h"
#include "platform/Encoding.h"
#include "shell/AppSettings.h"
#include "shell/FontDialog.h"
#include "shell/PaneLayout.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace morvex::shell {
namespace {

constexpr int kSmallestDefaultPixels = 14;
// What a screen keeps beside the column by default: a table grid at its
// natural width with the default grid font.
constexpr int kRoomForTheMap = 600;

QFont fontOf(const live::LogFont& record)
{
    QFont font = QApplication::font();
    if (const std::string face = record.Face(); !face.empty()) {
        font.setFamily(QString::fromStdString(platform::cp1252ToUtf8(face)));
    }
    // A negative height is the character height, a positive one the cell
    // height; both read as the pixel size here.
    if (record.height != 0) {
        font.setPixelSize(std::abs(record.height));
    }
    if (record.weight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(record.weight, 100, 900)));
    }
    font.setItalic(record.italic != 0);
    font.setUnderline(record.underline != 0);
    font.setStrikeOut(record.strikeOut != 0);
    return font;
}

live::LogFont logFontOf(const QFont& font)
{
    live::LogFont record;
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    record.height = -pixels;
    record.weight = font.weight();
    record.italic = font.italic() ? 1 : 0;
    record.underline = font.underline() ? 1 : 0;
    record.strikeOut = font.strikeOut() ? 1 : 0;
    record.SetFace(platform::utf8ToCp1252(font.family().toStdString()));
    return record;
}

live::OnlineLook::Stored storedOf(const AppSettings& s)
{
    return {s.onlineValuesFont, s.textColors, s.backColors, s.customColors};
}

} // namespace

void fitDefaultFont(live::COnlineView& view, int screenWidth)
{
    const int limit = std::max(screenWidth / 4, screenWidth - kRoomForTheMap);
    QFont font = view.ValueFont();
    int pixels = font.pixelSize();
    int width = view.LayoutSize().width();
    if (pixels <= 0 || width <= limit) {
        return;
    }
    // The column grows almost in proportion with the font: start from the
    // proportional size and step down while that still narrows it.
    pixels = std::max(kSmallestDefaultPixels, pixels * limit / width);
    for (;;) {
        font.setPixelSize(pixels);
        view.SetValueFont(font);
        const int now = view.LayoutSize().width();
        if (now <= limit || pixels <= kSmallestDefaultPixels || now >= width) {
            return;
        }
        width = now;
        pixels = std::max(kSmallestDefaultPixels, pixels - 2);
    }
}

OnlineValuesPane::OnlineValuesPane(const live::OnlineViewContext& context, AppSettings& settings, PaneLayout& panes,
                                   QWidget* dialogParent)
    : QObject(dialogParent), settings_(settings), panes_(panes), dialogParent_(dialogParent),
      view_(new live::COnlineView(context)), look_(live::OnlineLook::FromStored(storedOf(settings)))
{
    if (look_.font) {
        view_->SetValueFont(fontOf(*look_.font));
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        fitDefaultFont(*view_, screen->availableGeometry().width());
    }
    view_->SetColours(look_.text, look_.back);
    panes_.setOnlineValuesView(view_);
    connect(view_, &live::COnlineView::command, this, [this](int id) {
        if (id == kFontCommand) {
            chooseFont();
        } else if (id == kColorCommand) {
            chooseColours();
        }
    });
}

platform::MessageTarget& OnlineValuesPane::portTarget() const
{
    return view_->PortTarget();
}

bool OnlineValuesPane::hasFocus() const
{
    const QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == view_ || view_->isAncestorOf(focus));
}

void OnlineValuesPane::applyFont(const QFont& font)
{
    const live::LogFont record = logFontOf(font);
    if (look_.font && *look_.font == record) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    look_.font = record;
    view_->SetValueFont(fontOf(record));
    if (panes_.onlineValuesShown()) {
        panes_.adjustOnlineValues();
    }
    storeLook();
    QApplication::restoreOverrideCursor();
}

void OnlineValuesPane::chooseFont()
{
    view_->BeginPreview();
    CFontDialog* dialog = CFontDialog::Show(
        view_->ValueFont(), [this](const QFont& font) { applyFont(font); }, fontPlace_, dialogParent_);
    connect(dialog, &QDialog::finished, view_, &live::COnlineView::EndPreview);
}

void OnlineValuesPane::chooseColours()
{
    std::vector<QString> captions;
    for (int k = 0; k < live::CPPColor::kRows; ++k) {
        captions.push_back(view_->Control(static_cast<live::Display>(k)).Caption());
    }
    view_->BeginPreview();
    auto* sheet = new live::COptionPropSheet(captions, look_, dialogParent_);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this, sheet](int result) {
        const live::OnlineLook& chosen = sheet->Page().Look();
        if (sheet->Page().CustomColoursChanged()) {
            look_.custom = chosen.custom;
        }
        if (result == QDialog::Accepted) {
            look_.text = chosen.text;
            look_.back = chosen.back;
            view_->SetColours(look_.text, look_.back);
        }
        storeLook();
        view_->EndPreview();
    });
    sheet->open();
}

void OnlineValuesPane::storeLook()
{
    const live::OnlineLook::Stored stored = look_.ToStored();
    settings_.onlineValuesFont = stored.font;
    settings_.textColors = stored.text;
    settings_.backColors = stored.back;
    settings_.customColors = stored.custom;
}

} // namespace morvex::shell
