#pragma once

#include "document/InfoRecords.h"
#include "document/RestorePoints.h"

#include <QDialog>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace morvex {
class CMorvexDoc;
}

namespace morvex::shell {

// The list of restore points, newest first: time, reason, source file and
// how many cells of each table differ from the open document. The counts
// are read one point per event-loop turn, so a long list never freezes the
// window. Enter (or a double-click) opens the chosen point, Esc closes.
class RestorePointsDlg : public QDialog {
    Q_OBJECT
public:
    enum Column { Time, Reason, Source, Differences };

    RestorePointsDlg(const std::filesystem::path& folder, std::vector<RestorePoint> points, const CMorvexDoc& open,
                     QWidget* parent = nullptr);
    ~RestorePointsDlg() override;

    // The point chosen with Open (empty before).
    std::filesystem::path chosen() const { return chosen_; }
    QTreeWidget& list() { return *list_; }
    // All differences are counted.
    bool counted() const { return next_ >= points_.size(); }

private:
    void countNext();
    void openCurrent();

    std::vector<RestorePoint> points_;
    const CMorvexDoc& open_;
    QTreeWidget* list_;
    QPushButton* openButton_;
    QTimer counter_;
    std::size_t next_ = 0;
    // One scratch document for every point read, with records of its own.
    CInfoRecords scratchInfo_;
    std::unique_ptr<CMorvexDoc> scratch_;
    std::filesystem::path chosen_;
};

} // namespace morvex::shell
