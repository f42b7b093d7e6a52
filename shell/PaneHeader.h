#pragma once

#include <QWidget>

class QToolButton;

namespace morvex::shell {

// The caption band over a pane (the online values column): a click makes
// its pane active, a double-click runs the second command, the small close
// button runs the close command.
class CPaneHeader : public QWidget {
    Q_OBJECT
public:
    CPaneHeader(const QString& caption, int closeCommand, int secondCommand, QWidget* parent = nullptr);

    void setActive(bool active);
    bool isActive() const { return active_; }
    QSize sizeHint() const override;

signals:
    void command(int id);
    void activated();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QString caption_;
    int closeCommand_;
    int secondCommand_;
    bool active_ = false;
    QToolButton* close_ = nullptr;
};

} // namespace morvex::shell
