#pragma once

#include <string>
#include <vector>

#include "localserver/lexer.h"

namespace malvorn::localserver {

// An INSERT whose translation is kept, remembered byte for byte so that the
// next statement of the same text but for its string and number literals is
// recognised without tokenising it again: a copy sends one such statement a
// row. Anything else, down to a blank more or less, is no match, and the
// statement then goes the long way.
class InsertTemplate {
  public:
    // Remembers `statement`, read as `tokens`, with the shape key of its plan.
    void remember(const std::string& statement, const std::vector<Token>& tokens,
                  const std::string& shape);
    void forget();

    // The tokens tokenize would give `statement`, when it matches the one
    // remembered; nullptr otherwise, or when reading a literal fails (the
    // long way then raises the error). Valid until the next call.
    const std::vector<Token>* match(const std::string& statement);
    const std::string& shape() const { return shape_; }

  private:
    // A literal of the remembered statement: its token and where it stood.
    struct Slot {
        std::size_t token;
        std::size_t begin;
        std::size_t end;
        bool empty;  // '' reads as NULL: a different translation
    };
    bool matchSlot(const std::string& statement, const Slot& slot, std::size_t& at);

    std::string text_;
    std::string shape_;
    std::vector<Token> tokens_;        // literals rewritten by each match
    std::vector<std::size_t> begins_;  // the tokens' offsets in text_
    std::vector<std::size_t> ends_;
    std::vector<Slot> slots_;
};

}  // namespace malvorn::localserver
