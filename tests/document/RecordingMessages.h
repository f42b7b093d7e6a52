#pragma once

#include "platform/UserMessages.h"

#include <deque>
#include <vector>

namespace morvex::test {

// Records every message box and answers from a queue (OK when empty).
class RecordingMessages : public platform::UserMessages {
public:
    platform::UserAnswer show(const platform::UserMessage& message) override
    {
        shown.push_back(message);
        if (answers.empty()) {
            return platform::UserAnswer::Ok;
        }
        const platform::UserAnswer a = answers.front();
        answers.pop_front();
        return a;
    }

    std::vector<platform::UserMessage> shown;
    std::deque<platform::UserAnswer> answers;
};

} // namespace morvex::test
