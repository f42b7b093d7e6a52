#pragma once

#include "platform/UserMessages.h"

class QWidget;

namespace morvex::shell {

// Message boxes on screen. The parent is the main window once it exists.
class QtUserMessages : public platform::UserMessages {
public:
    void setParent(QWidget* parent) { parent_ = parent; }
    platform::UserAnswer show(const platform::UserMessage& message) override;
    void beep() override;

private:
    QWidget* parent_ = nullptr;
};

} // namespace morvex::shell
