#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/messages.h"

// A message service for tests: records every box and answers questions from
// a queue (Yes when the queue is empty).
class ScriptedMessages : public malvorn::base::MessageService {
  public:
    struct Shown {
        std::string text;
        malvorn::base::MessageIcon icon;
        malvorn::base::MessageButtons buttons;
        malvorn::base::TitleForm title;
    };

    malvorn::base::MessageAnswer show(const std::string& text, malvorn::base::MessageIcon icon,
                                      malvorn::base::MessageButtons buttons,
                                      malvorn::base::TitleForm title) override {
        shown.push_back({text, icon, buttons, title});
        if (buttons == malvorn::base::MessageButtons::kOk)
            return malvorn::base::MessageAnswer::kOk;
        if (answers.empty())
            return malvorn::base::MessageAnswer::kYes;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Shown> shown;
    std::deque<malvorn::base::MessageAnswer> answers;
};
