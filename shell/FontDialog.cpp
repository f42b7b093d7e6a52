#include "shell/FontDialog.h"

#include <QDialogButtonBox>
#include <QPushButton>

namespace morvex::shell {

CFontDialog::CFontDialog(const QFont& initial, Apply apply, std::optional<QPoint>& place, QWidget* parent)
    : QFontDialog(initial, parent), applyFont_(std::move(apply)), place_(place)
{
    setOption(QFontDialog::DontUseNativeDialog);
    if (auto* buttons = findChild<QDialogButtonBox*>()) {
        apply_ = buttons->addButton(QDialogButtonBox::Apply);
        apply_->setEnabled(false);
        connect(this, &QFontDialog::currentFontChanged, apply_, [this] { apply_->setEnabled(true); });
        connect(apply_, &QPushButton::clicked, this, [this, buttons] {
            applyFont_(currentFont());
            apply_->setEnabled(false);
            if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) {
                ok->setFocus();
            }
        });
    }
    if (place_) {
        move(*place_);
    }
}

void CFontDialog::done(int result)
{
    place_ = pos();
    QFontDialog::done(result);
    if (result == QDialog::Accepted) {
        applyFont_(selectedFont());
    }
}

CFontDialog* CFontDialog::Show(const QFont& initial, Apply apply, std::optional<QPoint>& place, QWidget* parent)
{
    auto* dialog = new CFontDialog(initial, std::move(apply), place, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

} // namespace morvex::shell
