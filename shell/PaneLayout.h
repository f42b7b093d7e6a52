#pragma once

#include <QByteArray>
#include <QStackedWidget>

#include <array>
#include <cstdint>

class QSplitter;

namespace morvex::shell {

class CPaneHeader;

// Width and minimum width of the online values column for one mode; -1 (as
// stored, all bytes 0xFF) when none was stored or when the column keeps the
// width its view asks for.
struct SplitterRecord {
    int32_t width = -1;
    int32_t minimum = -1;
    int32_t unused1 = -1;
    int32_t unused2 = -1;
};

// The panes of the main window: the online values column beside one of the
// five table panes (grid beside chart), or the diagnostic page in place of
// both. Panes whose views are not built yet show a plain placeholder.
class PaneLayout : public QStackedWidget {
    Q_OBJECT
public:
    explicit PaneLayout(QWidget* parent = nullptr);

    // Puts a view into its place (the placeholder is deleted).
    void setTableViews(int view, QWidget* grid, QWidget* chart);
    void setOnlineValuesView(QWidget* view);
    void setDiagnosticView(QWidget* view);

    // Shows pane 501..506; nothing when it is already shown.
    void showPane(int view);
    int activePane() const { return active_; }
    QWidget* gridOf(int view) const;
    QWidget* chartOf(int view) const;
    QWidget* diagnosticView() const;
    // Gives the keyboard to the active pane's view (a table view hands it
    // to its grid); a placeholder does not take it.
    void focusActivePane();
    CPaneHeader* onlineValuesHeader() const { return header_; }
    QSplitter* mainSplitter() const { return main_; }

    bool onlineValuesShown() const;
    // Ctrl+F3: hides a shown column, else gives it its natural width.
    void toggleOnlineValues();
    // 532: the column takes the width its view asks for.
    void adjustOnlineValues();
    // Adjust Pane of a table pane: its grid column gets `width`.
    void setGridWidth(int view, int width);
    bool tableWindowShown() const;
    // Ctrl+F4: the grid column of the active table pane.
    void toggleTableWindow();

    // Online and offline mode keep their own column width.
    void switchMode(bool online);
    QByteArray splitterSizes() const;
    // Only a record of exactly 32 bytes is taken.
    bool restoreSplitterSizes(const QByteArray& bytes);

signals:
    void command(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSplitter* tablePane(int view) const;
    void applyRecord(const SplitterRecord& record);
    void storeRecord(SplitterRecord& record) const;

    QSplitter* main_;
    QWidget* onlineColumn_;
    CPaneHeader* header_;
    QWidget* onlineView_;
    QStackedWidget* tables_;
    std::array<QSplitter*, 5> tablePanes_{};
    QWidget* diagnostic_;
    int active_ = 501;
    bool online_ = false;
    // The column follows its view's width (Adjust Pane, or no width
    // stored) until the user drags the splitter.
    bool columnNatural_ = false;
    std::array<SplitterRecord, 2> records_{};
};

} // namespace morvex::shell
