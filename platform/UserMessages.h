#pragma once

#include <string>

namespace platform {

// A message box as the program asks for it. Texts are UTF-8.
struct UserMessage {
    enum class Icon { None, Information, Question, Exclamation, Stop };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };

    std::string text;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    bool systemModal = false; // brought to the front over every window
    bool beep = false;        // a beep before the box (limit messages)
};

enum class UserAnswer { Ok, Cancel, Yes, No };

// The one way the program shows message boxes: the GUI shows real dialogs,
// the command-line tool prints, tests record and answer.
class UserMessages {
public:
    virtual ~UserMessages() = default;
    virtual UserAnswer show(const UserMessage& message) = 0;
    // A beep without a box: a limit hit where a modal box must not appear
    // (the grid is stepped while the box is being polled).
    virtual void beep() {}
};

} // namespace platform
