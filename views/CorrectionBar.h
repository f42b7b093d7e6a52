#pragma once

#include <QFrame>

class QLabel;
class QPushButton;

namespace morvex::views {

// The strip under the fuel map while a correction proposal is previewed:
// what the proposal does, Accept and Reject; after Accept, the reset of
// the recorded data of the changed cells and Close. Enter presses the
// focused button, Escape rejects (or closes).
class CCorrectionBar : public QFrame {
    Q_OBJECT
public:
    enum class Mode { Preview, Accepted };

    explicit CCorrectionBar(QWidget* parent = nullptr);

    void ShowPreview(const QString& summary);
    void ShowAccepted(const QString& summary, bool canResetRecords);
    Mode mode() const { return mode_; }
    QString text() const;
    QPushButton* firstButton() const { return first_; }
    QPushButton* secondButton() const { return second_; }

signals:
    void accepted();
    void rejected();
    void resetRecordsClicked();
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void First();
    void Second();

    Mode mode_ = Mode::Preview;
    QLabel* text_;
    QPushButton* first_;
    QPushButton* second_;
};

} // namespace morvex::views
