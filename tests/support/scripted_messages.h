#pragma once

#include <deque>
#include <string>
#include <vector>

#include "shell/messages.h"

// A message service for tests: records every box and answers questions from
// a queue (Yes when the queue is empty).
class ScriptedMessages : public malvorn::shell::MessageService {
  public:
    struct Shown {
        std::string text;
        malvorn::shell::MessageIcon icon;
        malvorn::shell::MessageButtons buttons;
        malvorn::shell::TitleForm title;
    };

    malvorn::shell::MessageAnswer show(const std::string& text, malvorn::shell::MessageIcon icon,
                                       malvorn::shell::MessageButtons buttons,
                                       malvorn::shell::TitleForm title) override {
        shown.push_back({text, icon, buttons, title});
        if (buttons == malvorn::shell::MessageButtons::kOk)
            return malvorn::shell::MessageAnswer::kOk;
        if (answers.empty())
            return malvorn::shell::MessageAnswer::kYes;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Shown> shown;
    std::deque<malvorn::shell::MessageAnswer> answers;
};
