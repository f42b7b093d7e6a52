#pragma once

#include "live/OnlineLook.h"

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include <array>
#include <vector>

class QColorDialog;
class QPushButton;
class QTableWidget;

namespace morvex::live {

// The colour page: one row per shown display with a preview in its
// colours; the buttons act on every selected row.
class CPPColor : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRows = 12; // CO is never shown, so it has no row
    static constexpr int kSelectionDelayMs = 25;

    CPPColor(const std::vector<QString>& captions, const OnlineLook& look, QWidget* parent = nullptr);

    const OnlineLook& Look() const { return look_; }
    bool CustomColoursChanged() const { return customChanged_; }

    QTableWidget& List() const { return *list_; }
    QPushButton& DefaultButton() const { return *default_; }
    QPushButton& TextButton() const { return *text_; }
    QPushButton& BackButton() const { return *back_; }
    // The colour dialog while it is open (null otherwise).
    QColorDialog* OpenColourDialog() const { return colourDialog_; }

private:
    enum class Which { Text, Back };
    void RefreshButtons();
    void RefreshPreview(int row);
    std::vector<int> SelectedRows() const;
    void ChooseColour(Which which);
    void SetColour(Which which, ColorRef colour);

    OnlineLook look_;
    QTableWidget* list_;
    QPushButton* default_;
    QPushButton* text_;
    QPushButton* back_;
    QColorDialog* colourDialog_ = nullptr;
    QTimer selectionTimer_;
    bool customChanged_ = false;
};

// The options sheet holding the colour page, with OK and Cancel.
class COptionPropSheet : public QDialog {
    Q_OBJECT
public:
    COptionPropSheet(const std::vector<QString>& captions, const OnlineLook& look, QWidget* parent = nullptr);
    CPPColor& Page() const { return *page_; }

private:
    CPPColor* page_;
};

} // namespace morvex::live
