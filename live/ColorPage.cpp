#include "live/ColorPage.h"

#include "live/OnlineCtrl.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace morvex::live {
namespace {

constexpr int kControlColumnWidth = 150;
constexpr int kPreviewColumnWidth = 120;
constexpr const char* kPreviewText = "0,123456789";

} // namespace

CPPColor::CPPColor(const std::vector<QString>& captions, const OnlineLook& look, QWidget* parent)
    : QWidget(parent), look_(look), list_(new QTableWidget(kRows, 2, this)),
      default_(new QPushButton(tr("&Default Colors"), this)), text_(new QPushButton(tr("&Text Color..."), this)),
      back_(new QPushButton(tr("&Background Color..."), this))
{
    list_->setHorizontalHeaderLabels({tr("Control"), tr("Preview")});
    list_->setColumnWidth(0, kControlColumnWidth);
    list_->setColumnWidth(1, kPreviewColumnWidth);
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    for (int row = 0; row < kRows; ++row) {
        const auto k = static_cast<std::size_t>(row);
        list_->setItem(row, 0, new QTableWidgetItem(k < captions.size() ? captions[k] : QString()));
        list_->setItem(row, 1, new QTableWidgetItem(QString::fromLatin1(kPreviewText)));
        RefreshPreview(row);
    }

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(default_);
    buttons->addWidget(text_);
    buttons->addWidget(back_);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    // A selection change refreshes the buttons a moment later, once a
    // drag over the rows has settled.
    selectionTimer_.setSingleShot(true);
    selectionTimer_.setInterval(kSelectionDelayMs);
    connect(&selectionTimer_, &QTimer::timeout, this, &CPPColor::RefreshButtons);
    connect(list_, &QTableWidget::itemSelectionChanged, &selectionTimer_, qOverload<>(&QTimer::start));
    connect(default_, &QPushButton::clicked, this, [this] {
        for (const int row : SelectedRows()) {
            look_.text[static_cast<std::size_t>(row)] = kDefaultColor;
            look_.back[static_cast<std::size_t>(row)] = kDefaultColor;
            RefreshPreview(row);
        }
    });
    connect(text_, &QPushButton::clicked, this, [this] { ChooseColour(Which::Text); });
    connect(back_, &QPushButton::clicked, this, [this] { ChooseColour(Which::Back); });
    RefreshButtons();
}

std::vector<int> CPPColor::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CPPColor::RefreshButtons()
{
    const bool any = !SelectedRows().empty();
    default_->setEnabled(any);
    text_->setEnabled(any);
    back_->setEnabled(any);
}

void CPPColor::RefreshPreview(int row)
{
    const auto k = static_cast<std::size_t>(row);
    QTableWidgetItem* item = list_->item(row, 1);
    item->setForeground(colourOf(look_.text[k], palette().color(QPalette::WindowText)));
    item->setBackground(colourOf(look_.back[k], palette().color(QPalette::Window)));
}

void CPPColor::ChooseColour(Which which)
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || colourDialog_ != nullptr) {
        return;
    }
    const auto first = static_cast<std::size_t>(rows.front());
    const QColor current = which == Which::Text
                               ? colourOf(look_.text[first], palette().color(QPalette::WindowText))
                               : colourOf(look_.back[first], palette().color(QPalette::Window));
    for (std::size_t i = 0; i < look_.custom.size(); ++i) {
        QColorDialog::setCustomColor(static_cast<int>(i), colourOf(look_.custom[i], Qt::white));
    }
    colourDialog_ = new QColorDialog(current, this);
    colourDialog_->setOption(QColorDialog::DontUseNativeDialog);
    colourDialog_->setWindowTitle(which == Which::Text ? tr("Text Color") : tr("Background Color"));
    colourDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(colourDialog_, &QColorDialog::finished, this, [this, which](int result) {
        for (std::size_t i = 0; i < look_.custom.size(); ++i) {
            const ColorRef custom = colorRefOf(QColorDialog::customColor(static_cast<int>(i)));
            customChanged_ = customChanged_ || custom != look_.custom[i];
            look_.custom[i] = custom;
        }
        if (result == QDialog::Accepted) {
            SetColour(which, colorRefOf(colourDialog_->selectedColor()));
        }
        colourDialog_ = nullptr;
    });
    colourDialog_->open();
}

void CPPColor::SetColour(Which which, ColorRef colour)
{
    for (const int row : SelectedRows()) {
        (which == Which::Text ? look_.text : look_.back)[static_cast<std::size_t>(row)] = colour;
        RefreshPreview(row);
    }
}

COptionPropSheet::COptionPropSheet(const std::vector<QString>& captions, const OnlineLook& look, QWidget* parent)
    : QDialog(parent), page_(new CPPColor(captions, look))
{
    setWindowTitle(tr("Color"));
    auto* tabs = new QTabWidget(this);
    tabs->addTab(page_, tr("Color"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

} // namespace morvex::live
