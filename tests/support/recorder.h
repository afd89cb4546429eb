#pragma once

#include <string>
#include <vector>

#include "core/command.h"
#include "support/scripted_messages.h"

// Everything a command shows, in order: its boxes, beeps and the front's
// calls, one text each ("box ...", "beep", "focus 5", "status ...", "save",
// "hourglass", "blocked", "idle"). Questions are answered as ScriptedMessages
// does.
struct Recorder : ScriptedMessages, malvorn::core::Front {
    malvorn::base::MessageAnswer show(const std::string& text, malvorn::base::MessageIcon icon,
                                      malvorn::base::MessageButtons buttons,
                                      malvorn::base::TitleForm title) override {
        events.push_back("box " + text);
        return ScriptedMessages::show(text, icon, buttons, title);
    }
    void beep() override { events.push_back("beep"); }
    void focus(malvorn::core::Field field) override {
        events.push_back("focus " + std::to_string(static_cast<int>(field)));
    }
    void setStatus(const std::string& text, bool repaintNow) override {
        events.push_back("status " + text);
        statusesRepainted = statusesRepainted && repaintNow;
    }
    void saveSettings() override { events.push_back("save"); }
    void setBusy(malvorn::core::Busy busy) override {
        using malvorn::core::Busy;
        events.push_back(busy == Busy::kIdle        ? "idle"
                         : busy == Busy::kHourglass ? "hourglass"
                                                    : "blocked");
    }
    std::vector<std::string> events;
    bool statusesRepainted = true;  // each status drawn at once
};
