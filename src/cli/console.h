#pragma once

#include <string>

#include "base/messages.h"
#include "core/command.h"

namespace malvorn::cli {

// Message boxes on a terminal: every text goes to stderr, one line per line
// of the box. A question is answered by the command line's own option (the
// terminal is not asked: scripted runs have nobody to answer), and the
// answer is printed after it.
class ConsoleMessages : public base::MessageService {
  public:
    explicit ConsoleMessages(bool answerYes = false) : answerYes_(answerYes) {}
    base::MessageAnswer show(const std::string& text, base::MessageIcon icon,
                             base::MessageButtons buttons, base::TitleForm title) override;
    // Whether any text has been shown.
    bool shownAny() const { return shown_; }

  private:
    bool answerYes_;
    bool shown_ = false;
};

// The command line's own words for a failed check, naming the option, path
// or user it is about; the check's own message for a check it has no words for.
std::string consoleRefusalText(const core::Check& check);

// The status line on stdout; no focus, no settings file, no pointer. Checks
// are worded for the command line.
class ConsoleFront : public core::Front {
  public:
    void setStatus(const std::string& text, bool repaintNow) override;
    std::string refusalText(const core::Check& check) override { return consoleRefusalText(check); }
};

// The box text with its CR separators as line ends.
std::string consoleLines(const std::string& boxText);

// The status of a run stopped by a signal, as a shell reports Ctrl-C.
inline constexpr int kInterruptedStatus = 130;

// 0 when done, 2 when a check refused the fields, 1 when it failed, 130 when
// it was stopped.
int exitStatus(core::Outcome outcome);

// The services of a command run from the command line.
core::Services consoleServices(ConsoleMessages& messages, ConsoleFront& front);

}  // namespace malvorn::cli
