#include "shell/QtUserMessages.h"

#include "shell/FrameRules.h"

#include <QApplication>
#include <QMessageBox>

namespace morvex::shell {

platform::UserAnswer QtUserMessages::show(const platform::UserMessage& message)
{
    using platform::UserMessage;
    if (message.beep) {
        QApplication::beep();
    }
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromLatin1(kAppTitle));
    box.setText(QString::fromStdString(message.text));
    switch (message.icon) {
    case UserMessage::Icon::None: break;
    case UserMessage::Icon::Information: box.setIcon(QMessageBox::Information); break;
    case UserMessage::Icon::Question: box.setIcon(QMessageBox::Question); break;
    case UserMessage::Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case UserMessage::Icon::Stop: box.setIcon(QMessageBox::Critical); break;
    }
    switch (message.buttons) {
    case UserMessage::Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case UserMessage::Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case UserMessage::Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case UserMessage::Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    if (message.systemModal) {
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return platform::UserAnswer::Yes;
    case QMessageBox::No: return platform::UserAnswer::No;
    case QMessageBox::Cancel: return platform::UserAnswer::Cancel;
    default: return platform::UserAnswer::Ok;
    }
}

void QtUserMessages::beep()
{
    QApplication::beep();
}

} // namespace morvex::shell
