#include "shell/RestorePointsDlg.h"

#include "document/DataFile.h"
#include "document/DocDiff.h"
#include "document/MorvexDoc.h"
#include "platform/IniFile.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace morvex::shell {
namespace {

QString localTime(std::chrono::system_clock::time_point time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// "TAB_DDD_LINKS 12, TAB_DZI 1", or "identical".
QString differenceText(const std::vector<TableDifferenceCount>& counts)
{
    if (counts.empty()) {
        return QObject::tr("identical");
    }
    QStringList parts;
    for (const TableDifferenceCount& c : counts) {
        parts << QStringLiteral("%1 %2").arg(QString::fromLatin1(c.name.data(), static_cast<qsizetype>(c.name.size())))
                     .arg(c.cells);
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace

RestorePointsDlg::RestorePointsDlg(const std::filesystem::path& folder, std::vector<RestorePoint> points,
                                   const CMorvexDoc& open, QWidget* parent)
    : QDialog(parent), points_(std::move(points)), open_(open), list_(new QTreeWidget(this)),
      openButton_(nullptr),
      scratch_(std::make_unique<CMorvexDoc>(open.Adapt(), open.Limits(), scratchInfo_))
{
    setWindowTitle(tr("Restore Points"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(points_.empty() ? tr("There are no restore points in %1 yet.")
                                                     .arg(QString::fromStdString(folder.string()))
                                               : tr("Restore points in %1, newest first. The chosen one opens as "
                                                    "an unsaved document.")
                                                     .arg(QString::fromStdString(folder.string())),
                               this);
    caption->setWordWrap(true);
    layout->addWidget(caption);

    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setHeaderLabels({tr("Time"), tr("Reason"), tr("Source file"), tr("Cells differing from the open document")});
    for (const RestorePoint& p : points_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(Time, localTime(p.time));
        item->setText(Reason, QString::fromLatin1(reasonText(p.reason).data(),
                                                  static_cast<qsizetype>(reasonText(p.reason).size())));
        item->setText(Source, QString::fromStdString(p.sourceName));
        item->setText(Differences, QStringLiteral("..."));
        item->setToolTip(Time, QString::fromStdString(p.file.string()));
    }
    layout->addWidget(list_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    openButton_ = buttons->addButton(tr("&Open"), QDialogButtonBox::AcceptRole);
    openButton_->setDefault(true);
    openButton_->setEnabled(!points_.empty());
    connect(openButton_, &QPushButton::clicked, this, &RestorePointsDlg::openCurrent);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(list_, &QTreeWidget::itemActivated, this, &RestorePointsDlg::openCurrent);

    if (!points_.empty()) {
        list_->setCurrentItem(list_->topLevelItem(0));
    }
    for (int c = Time; c < Differences; ++c) {
        list_->resizeColumnToContents(c);
    }
    list_->setFocus();
    resize(900, 420);

    counter_.setInterval(0);
    connect(&counter_, &QTimer::timeout, this, &RestorePointsDlg::countNext);
    if (!points_.empty()) {
        counter_.start();
    }
}

RestorePointsDlg::~RestorePointsDlg() = default;

void RestorePointsDlg::countNext()
{
    if (counted()) {
        counter_.stop();
        return;
    }
    const std::size_t row = next_++;
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(row));
    platform::IniFile file;
    std::error_code ec;
    scratch_->DeleteContents();
    if (!file.load(points_[row].file, ec) || !ReadDataFile(file, *scratch_)) {
        item->setText(Differences, tr("cannot be read"));
        return;
    }
    if (const std::filesystem::path source = restorePointSource(file); !source.empty()) {
        item->setText(Source, QString::fromStdString(source.filename().string()));
        item->setToolTip(Source, QString::fromStdString(source.string()));
    }
    const QString text = differenceText(CountTableDifferences(open_, *scratch_));
    item->setText(Differences, text);
    item->setToolTip(Differences, text);
}

void RestorePointsDlg::openCurrent()
{
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || static_cast<std::size_t>(row) >= points_.size()) {
        return;
    }
    chosen_ = points_[static_cast<std::size_t>(row)].file;
    accept();
}

} // namespace morvex::shell
