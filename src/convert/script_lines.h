#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace malvorn::convert {

// The text of one generated table script. Lines are numbered from 1, as the
// script is read; element 0 exists and is always empty.
class ScriptLines {
  public:
    ScriptLines() : lines_(1) {}

    void clear() { lines_.assign(1, std::string()); }
    void append(std::string line) { lines_.push_back(std::move(line)); }
    // Replaces line `number` (1..count()).
    void set(std::size_t number, std::string line) { lines_.at(number) = std::move(line); }

    std::size_t count() const { return lines_.size() - 1; }
    const std::string& operator[](std::size_t number) const { return lines_.at(number); }

    // The script file: lines 1..N trimmed of spaces, each ended by CR LF, CP932.
    std::string fileForm() const;

    // The statement sent to the server: the lines that are not comment lines
    // (not starting with "/*"), each followed by CR, with every ";" outside a
    // quoted literal removed. UTF-8 text.
    std::string statementForm() const;

  private:
    std::vector<std::string> lines_;
};

}  // namespace malvorn::convert
