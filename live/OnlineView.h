#pragma once

#include "live/OnlineLook.h"
#include "live/OnlineValues.h"
#include "platform/QueuedMessageTarget.h"

#include <QFont>
#include <QScrollArea>
#include <QTimer>

#include <array>
#include <vector>

class QFrame;

namespace platform {
class UserMessages;
}

namespace morvex {
class CMorvexDoc;
class CLabels;
class CLimits;
class LambdaSensors;
struct AdaptFunctions;
} // namespace morvex

namespace morvex::live {

class COnlineCtrl;

// What the online values column gets from the application. Limits, labels
// and the conversion library are required; without a document the fuel
// bytes and the box's rpm limit count as 0.
struct OnlineViewContext {
    CMorvexDoc* doc = nullptr; // the box settings the conversions read
    const CLimits* limits = nullptr;
    const CLabels* labels = nullptr;
    const AdaptFunctions* adapt = nullptr;
    const LambdaSensors* sensors = nullptr; // the lambda sensor chosen in the Data Record menu
    platform::UserMessages* messages = nullptr;
};

// The online values column: the engine's live values in big digital
// displays, REV and TPS on top at full width, the others in pairs below.
class COnlineView : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kFlushMilliseconds = 40;
    static constexpr int kSeparatorHeight = 7;

    explicit COnlineView(const OnlineViewContext& context, QWidget* parent = nullptr);
    ~COnlineView() override;

    // Where the port worker's reports for the online job go; they arrive on
    // the UI thread as OnBoxEvent.
    platform::MessageTarget& PortTarget() { return portTarget_; }
    void OnBoxEvent(uint32_t code, intptr_t lParam);
    // The lambda sensor choice changed: new limits and units for both lambda
    // displays and the kept values converted again.
    void OnLambdaSensorChanged();

    // The value font of the small displays; REV and TPS get it 1.5 times
    // as high. The column is laid out again (LayoutChanged).
    void SetValueFont(const QFont& font);
    QFont ValueFont() const { return smallFont_; }
    void SetColours(const std::array<ColorRef, kDisplayCount>& text, const std::array<ColorRef, kDisplayCount>& back);
    // While a font or colour dialog is open offline every display shows a
    // sample value, range checked, so the choice can be judged; End puts
    // the previous texts back.
    void BeginPreview();
    void EndPreview();
    bool InPreview() const { return !previewTexts_.empty(); }

    // The width the column needs (Adjust Pane): the layout, plus a scroll
    // bar when the layout is taller than the pane.
    QSize sizeHint() const override;
    QSize LayoutSize() const { return layoutSize_; }

    COnlineCtrl& Control(Display display) { return *controls_[index(display)]; }
    bool Online() const { return online_; }
    // The last REV (rpm) and injection time (microseconds) received, -1 when
    // lost, for views that show them elsewhere.
    double LastRevolutions() const { return values_.LastRevolutions(); }
    double LastInjectionTime() const { return values_.LastInjectionTime(); }
    // Display updates applied to the screen so far (one batch per tick).
    int FlushCount() const { return flushCount_; }

signals:
    // The layout size changed: the column may want another width.
    void LayoutChanged();
    // Font (1214) and Color (1215) from the view's context menu.
    void command(int id);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ApplyMargins();
    void Queue(std::vector<DisplayUpdate> updates);
    void Flush();
    void Apply(const DisplayUpdate& update);
    void Layout();
    BoxSettings ReadBoxSettings() const;

    OnlineViewContext context_;
    OnlineValues values_;
    QWidget* canvas_;
    std::array<COnlineCtrl*, kDisplayCount> controls_{};
    std::array<QFrame*, 3> separators_{};
    QFont smallFont_;
    QFont bigFont_;
    QSize layoutSize_;
    std::vector<DisplayUpdate> pending_;
    QTimer flushTimer_;
    int flushCount_ = 0;
    std::vector<QString> previewTexts_;
    bool online_ = false;
    platform::QueuedMessageTarget portTarget_;
};

} // namespace morvex::live
