#pragma once

#include "live/OnlineLook.h"

#include <QObject>
#include <QPoint>

#include <optional>

class QWidget;

namespace platform {
class MessageTarget;
}

namespace morvex::live {
class COnlineView;
struct OnlineViewContext;
} // namespace morvex::live

namespace morvex::shell {

struct AppSettings;
class PaneLayout;

// The online values column: puts the view into its place, gives it the
// user's font and colours, and runs the Font and Color dialogs for it.
class OnlineValuesPane : public QObject {
    Q_OBJECT
public:
    static constexpr int kFontCommand = 1214;
    static constexpr int kColorCommand = 1215;

    OnlineValuesPane(const live::OnlineViewContext& context, AppSettings& settings, PaneLayout& panes,
                     QWidget* dialogParent);

    live::COnlineView& view() const { return *view_; }
    platform::MessageTarget& portTarget() const;
    // Whether the keyboard is in the column: then Font is the column's.
    bool hasFocus() const;

    void chooseFont();
    void chooseColours();
    void applyFont(const QFont& font);
    const live::OnlineLook& look() const { return look_; }

private:
    void storeLook();

    AppSettings& settings_;
    PaneLayout& panes_;
    QWidget* dialogParent_;
    live::COnlineView* view_;
    live::OnlineLook look_;
    std::optional<QPoint> fontPlace_;
};

// When no font is stored: the view keeps the program's font 48 pixels high,
// or a smaller one where a column of that size would leave no room for a
// table grid beside it on a screen `screenWidth` wide (but it may always
// take a quarter; never below 14 pixels). Not stored: a larger screen gets
// the full size again.
void fitDefaultFont(live::COnlineView& view, int screenWidth);

} // namespace morvex::shell
