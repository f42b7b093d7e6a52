#pragma once

#include <QFontDialog>
#include <QPoint>

#include <functional>
#include <optional>

class QPushButton;

namespace morvex::shell {

// The font dialog of the Format menu: an Apply button that is enabled once
// the choice changed, applies the font and hands the focus to OK. It opens
// where it was last closed during this run.
class CFontDialog : public QFontDialog {
    Q_OBJECT
public:
    using Apply = std::function<void(const QFont&)>;

    // `apply` is called by Apply and by OK; `place` is the position kept
    // between openings (shared by the dialogs of one kind).
    CFontDialog(const QFont& initial, Apply apply, std::optional<QPoint>& place, QWidget* parent);

    QPushButton* ApplyButton() const { return apply_; }

    // Opens without blocking the caller; the dialog deletes itself.
    static CFontDialog* Show(const QFont& initial, Apply apply, std::optional<QPoint>& place, QWidget* parent);

protected:
    void done(int result) override;

private:
    Apply applyFont_;
    std::optional<QPoint>& place_;
    QPushButton* apply_ = nullptr;
};

} // namespace morvex::shell
