#include "cli/console.h"

#include <cstdio>

#include "app/drivers.h"
#include "convert/script_files.h"
#include "jet/jet_reader_client.h"

namespace malvorn::cli {

std::string consoleLines(const std::string& boxText) {
    std::string lines = boxText;
    for (char& c : lines) {
        if (c == '\r')
            c = '\n';
    }
    return lines + "\n";
}

shell::MessageAnswer ConsoleMessages::show(const std::string& text, shell::MessageIcon,
                                           shell::MessageButtons buttons, shell::TitleForm) {
    if (buttons == shell::MessageButtons::kOk) {
        std::fputs(consoleLines(text).c_str(), stderr);
        return shell::MessageAnswer::kOk;
    }
    std::fprintf(stderr, "%s-> %s\n", consoleLines(text).c_str(), answerYes_ ? "はい" : "いいえ");
    return answerYes_ ? shell::MessageAnswer::kYes : shell::MessageAnswer::kNo;
}

void ConsoleFront::setStatus(const std::string& text, bool) {
    if (text.empty())
        return;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

int exitStatus(core::Outcome outcome) {
    switch (outcome) {
        case core::Outcome::kDone:
            return 0;
        case core::Outcome::kRefused:
            return 2;
        case core::Outcome::kFailed:
            break;
        case core::Outcome::kInterrupted:
            return kInterruptedStatus;
    }
    return 1;
}

core::Services consoleServices(ConsoleMessages& messages, ConsoleFront& front) {
    return {messages,
            front,
            core::sessionOpener(app::defaultDrivers()),
            [](const std::string& path) { return jet::openJetSource(path); },
            shell::gFso(),
            convert::localToday};
}

}  // namespace malvorn::cli
