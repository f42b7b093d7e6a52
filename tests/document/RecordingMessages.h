#pragma once

#include "platform/UserMessages.h"

#include <deque>
#include <vector>

namespace morvex::test {

// Records every message box and answers from a queue (`whenEmpty`, OK
// unless set, once the queue has run out).
class RecordingMessages : public platform::UserMessages {
public:
    platform::UserAnswer show(const platform::UserMessage& message) override
    {
        shown.push_back(message);
        if (answers.empty()) {
            return whenEmpty;
        }
        const platform::UserAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void beep() override { ++beeps; }

    std::vector<platform::UserMessage> shown;
    std::deque<platform::UserAnswer> answers;
    platform::UserAnswer whenEmpty = platform::UserAnswer::Ok;
    int beeps = 0;
};

} // namespace morvex::test
